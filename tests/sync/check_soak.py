#!/usr/bin/python3
"""A short randomized soak of the sync against Radicale: two writers, the book and a phone
(another client's HTTP PUT and DELETE with If-Match), ten rounds, each with a sync killed at
a random moment and then a whole one, with a fixed seed. After every whole sync both sides
hold the same contacts, none doubled, none lost, every edit where the merge rules put it,
and the phone's own properties still on its cards.

    check_soak.py TORVIKALEN"""
import os
import random
import re
import signal
import subprocess
import sys
import tempfile
import time

from sync_server import (FIELDS, USER, Radicale, as_multiset, check, client_setup,
                         fields_of_card, finish, generated_records, read_book, write_book)

PROGRAM = sys.argv[1]
ROUNDS = 10
rng = random.Random(2024)


def phone_card(name, i):
    return (f"BEGIN:VCARD\r\nVERSION:3.0\r\nUID:movil-{i}\r\nFN:{name}\r\nN:;{name};;;\r\n"
            f"TEL;TYPE=HOME:5550{i}\r\nNOTE:apuntada en el teléfono\r\n"
            f"X-FOREIGN:guardar-{i}\r\nEND:VCARD\r\n")


with tempfile.TemporaryDirectory() as work, Radicale(work) as server:
    env, secret = client_setup(server, work)
    url = server.make_address_book("soak")
    book = os.path.join(work, "soak.kbx")
    command = [PROGRAM, "--sync", book, url, "--user", USER, "--password-file", secret]

    def sync():
        run = subprocess.run(command, env=env, capture_output=True, text=True, timeout=300)
        check(run.returncode == 0, f"a whole sync: {run.returncode} {run.stdout}{run.stderr}")

    def killed_sync():
        p = subprocess.Popen(command, env=env, stdout=subprocess.DEVNULL,
                             stderr=subprocess.DEVNULL)
        time.sleep(rng.uniform(0.05, 1.5))
        p.send_signal(signal.SIGKILL)
        p.wait()

    def cards():
        """{name: (href, text)} of the server's cards."""
        return {fields_of_card(t)["nombre"]: (h, t) for h, t in server.cards("soak").items()}

    def phone(method, href, text=None):
        status, headers, data = server.request("GET", href)
        etag = {k.lower(): v for k, v in headers.items()}.get("etag")
        status = server.request(method, href, text, {"If-Match": etag,
                                                     "Content-Type": "text/vcard"})[0]
        check(status in (200, 201, 204), f"the phone's {method} of {href}: {status}")

    def phone_telephone(name, value):
        href, text = cards()[name]
        if re.search(r"^TEL;TYPE=home:", text, re.M | re.I):
            text = re.sub(r"^(TEL;TYPE=home:).*$", lambda m: m.group(1) + value, text,
                          count=1, flags=re.M | re.I)
        else:
            text = text.replace("END:VCARD", f"TEL;TYPE=HOME:{value}\r\nEND:VCARD")
        phone("PUT", href, text)

    expected = {r["nombre"]: r for r in generated_records(50, "Soak")}
    write_book(book, expected.values())
    sync()
    phone_made = {}  # name: its foreign line
    for rnd in range(ROUNDS):
        names = sorted(expected)
        rng.shuffle(names)
        # Telephones change there, mobiles here: a contact changed on both sides merges.
        phone_edit, book_edit = set(names[0:4]), set(names[2:6])
        phone_delete = {names[5], names[6], names[7], names[10]}  # 5 changed here: sent again
        book_delete = {names[0], names[8], names[9], names[10]}  # 0 changed there: comes back
        untouched = names[11:]
        # The phone's side.
        for i, name in enumerate(sorted(phone_edit)):
            value = f"tel-{rnd}-{i}"
            phone_telephone(name, value)
            expected[name]["telefono"] = value
        for name in sorted(phone_delete):
            phone("DELETE", cards()[name][0])
        new = f"Teléfono {rnd:02d}"
        status = server.request("PUT", f"/{USER}/soak/movil-{rnd}.vcf", phone_card(new, rnd),
                                {"If-None-Match": "*", "Content-Type": "text/vcard"})[0]
        check(status == 201, f"the phone's new card: {status}")
        phone_made[new] = f"X-FOREIGN:guardar-{rnd}"
        # The book's side.
        here = {r["nombre"]: r for r in read_book(book)}
        for i, name in enumerate(sorted(book_edit)):
            here[name]["movil"] = f"mov-{rnd}-{i}"
        for name in book_delete:
            del here[name]
        added = dict(dict.fromkeys(FIELDS, ""), nombre=f"Agenda {rnd:02d}", cp=f"{rnd}")
        here[added["nombre"]] = added
        write_book(book, here.values())
        # What the merge rules make of it.
        for name in book_edit:
            expected[name]["movil"] = here[name]["movil"]
        saved = ((phone_delete & book_edit) - book_delete) | ((book_delete & phone_edit) -
                                                              phone_delete)
        for name in (phone_delete | book_delete) - saved:
            del expected[name]
        for name in phone_delete:  # sent again, the card is ours: the phone deleted its own
            phone_made.pop(name, None)
        expected[added["nombre"]] = added
        expected[new] = dict(dict.fromkeys(FIELDS, ""), nombre=new, telefono=f"5550{rnd}")

        killed_sync()
        late = untouched[0]  # the phone again, while the sync was cut short
        phone_telephone(late, f"tarde-{rnd}")
        expected[late]["telefono"] = f"tarde-{rnd}"
        sync()

        what = f"round {rnd}"
        there = server.cards("soak")
        book_now = read_book(book)
        server_now = [{f: v.encode("cp1252", "replace").decode("cp1252")
                       for f, v in fields_of_card(t).items()} for t in there.values()]
        check(as_multiset(book_now) == as_multiset(server_now),
              f"{what}: the book and the server differ")
        check(max(as_multiset(book_now).values()) == 1, f"{what}: a contact doubled")
        check(as_multiset(book_now) == as_multiset(expected.values()),
              f"{what}: not as the merge rules say: "
              f"{sorted(as_multiset(book_now) - as_multiset(expected.values()))[:2]} / "
              f"{sorted(as_multiset(expected.values()) - as_multiset(book_now))[:2]}")
        texts = {fields_of_card(t)["nombre"]: t for t in there.values()}
        for name, line in phone_made.items():
            if name in texts:
                check(line in texts[name] and "NOTE:apuntada" in texts[name],
                      f"{what}: the phone's own properties of {name} are kept")

finish()

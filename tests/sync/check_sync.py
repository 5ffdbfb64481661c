#!/usr/bin/python3
"""The sync end to end: torvikalen --sync against Radicale over HTTPS, with a phone's own
requests beside it.

    check_sync.py TORVIKALEN"""
import os
import random
import signal
import subprocess
import sys
import tempfile
import time

from sync_server import (FIELDS, USER, Radicale, as_multiset, check, client_setup,
                         fields_of_card, finish, generated_records, read_book, write_book)

PROGRAM = sys.argv[1]


PHONE_CARD = ("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:telefono-1\r\nFN:Marta Gil\r\nN:Gil;Marta;;;\r\n"
              "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQEASABIAAD/2w==\r\n"
              "EMAIL;TYPE=INTERNET:marta@casa.example\r\n"
              "EMAIL;TYPE=INTERNET,WORK:marta@trabajo.example\r\n"
              "TEL;TYPE=HOME:910000001\r\nNOTE:la conocí en León\r\nEND:VCARD\r\n")


with tempfile.TemporaryDirectory() as work, Radicale(work) as server:
    env, secret = client_setup(server, work)

    def path(name):
        return os.path.join(work, name)

    def sync(book, url, *extra, status=0, password_file=secret, environ=None):
        run = subprocess.run([PROGRAM, "--sync", path(book), url, "--user", USER,
                              "--password-file", password_file, *extra],
                             env=environ or env, capture_output=True, text=True, timeout=300)
        check(run.returncode == status,
              f"--sync {book} {' '.join(extra)}: status {run.returncode}, not {status}: "
              f"{run.stdout}{run.stderr}")
        return run

    def server_records(name):
        """The server's contacts as the book can hold them: "?" for what cp1252 cannot."""
        return [{f: v.encode("cp1252", "replace").decode("cp1252") for f, v in
                 fields_of_card(text).items()} for text in server.cards(name).values()]

    def same_on_both_sides(book, name, what):
        here, there = as_multiset(read_book(path(book))), as_multiset(server_records(name))
        check(here == there, f"{what}: the book and the server differ: "
              f"{sorted(here - there)[:3]} / {sorted(there - here)[:3]}")
        check(max(list(here.values()) + [1]) == 1, f"{what}: duplicates in the book")

    # --- A 1,000-contact book up, a second sync with nothing to do, an empty book down ---
    grande = server.make_address_book("grande", "Grande")
    records = generated_records(1000)
    write_book(path("casa.kbx"), records)
    run = sync("casa.kbx", grande)
    check("En el servidor: 1000 añadidos" in run.stdout, f"summary of the upload: {run.stdout}")
    check(as_multiset(server_records("grande")) == as_multiset(records),
          "the server holds the book's 1,000 contacts, every field in its place")
    check(os.path.exists(path(".casa.kbx.sync")), "the state is a hidden file beside the book")
    before = server.log_offset()
    sync("casa.kbx", grande)
    requests = server.requests_since(before)
    check(requests == [f"REPORT /{USER}/grande/ 0"],
          f"a sync with nothing changed asks for the changes only: {requests}")
    # From the server's root: the one address book there is found and fetched whole.
    sync("otra.kbx", server.root)
    check(as_multiset(read_book(path("otra.kbx"))) == as_multiset(records),
          "an empty book synced with the address book gets every contact")
    server.make_address_book("movil", "Teléfono")
    # RFC 6764: the well-known place leads (through a redirect) to the user's address books.
    listed = subprocess.run([PROGRAM, "--sync-list", server.root + ".well-known/carddav",
                             "--user", USER,
                             "--password-file", secret], env=env, capture_output=True, text=True)
    check(listed.returncode == 0 and f"Grande\t{grande}\t1000 tarjetas" in listed.stdout and
          "Teléfono\t" in listed.stdout, f"--sync-list: {listed.stdout}{listed.stderr}")
    run = sync("nueva.kbx", server.root, status=1)
    check("varias libretas" in run.stderr and grande in run.stderr,
          f"several address books are listed to pick from: {run.stderr}")

    # --- Edits on each side, a phone's card, each conflict rule ---
    movil = f"{server.root}{USER}/movil/"
    people = [dict(dict.fromkeys(FIELDS, ""), nombre=n, telefono=f"91{i}", e_mail=f"{i}@e.example")
              for i, n in enumerate(["Ana Ruiz", "Bruno Sanz", "Carla Pons", "Diego Gil",
                                     "Elena Vila", "Fermín Roca", "Gema Sol"])]
    write_book(path("agenda.kbx"), people)
    sync("agenda.kbx", movil)
    hrefs = {fields_of_card(t)["nombre"]: p for p, t in server.cards("movil").items()}

    def phone_put(href, text, **edits):
        for old, new in edits.items():
            text = text.replace(old, new)
        status = server.request("PUT", href, text, {"Content-Type": "text/vcard"})[0]
        check(status in (201, 204), f"the phone's PUT of {href}: {status}")

    def phone_edit(name, old, new):
        href = hrefs[name]
        text = server.cards("movil")[href]
        check(old in text, f"{old} in {name}'s card")
        phone_put(href, text.replace(old, new))

    phone_put(f"/{USER}/movil/telefono-1.vcf", PHONE_CARD)
    phone_put(f"/{USER}/movil/telefono-2.vcf",
              PHONE_CARD.replace("telefono-1", "telefono-2").replace("Marta Gil", "李小龙"))
    phone_edit("Diego Gil", "TEL;TYPE=home:913", "TEL;TYPE=home:999")  # both change it
    phone_edit("Elena Vila", "EMAIL:4@e.example", "EMAIL:elena@nuevo.example")  # other field
    phone_edit("Fermín Roca", "TEL;TYPE=home:915", "TEL;TYPE=home:555")  # deleted here
    server.request("DELETE", hrefs["Ana Ruiz"])  # changed here
    server.request("DELETE", hrefs["Gema Sol"])  # unchanged here
    book = {r["nombre"]: r for r in read_book(path("agenda.kbx"))}
    book["Ana Ruiz"]["cp"] = "28001"
    book["Bruno Sanz"]["telefono"] = "600"
    book["Diego Gil"]["telefono"] = "777"
    book["Elena Vila"]["web"] = "https://elena.example/"
    del book["Carla Pons"], book["Fermín Roca"]
    book["Hugo Mas"] = dict(dict.fromkeys(FIELDS, ""), nombre="Hugo Mas", movil="622")
    write_book(path("agenda.kbx"), book.values())
    run = sync("agenda.kbx", movil)
    after = {r["nombre"]: r for r in read_book(path("agenda.kbx"))}
    check(after.get("Marta Gil", {}).get("e_mail") == "marta@casa.example",
          "a card written by the phone reaches the book")
    check("???" in after and "Caracteres que la página de códigos no admite, escritos como «?»: 3"
          in run.stdout, f"a name the code page cannot hold arrives as '?', counted: {run.stdout}")
    check(after["Diego Gil"]["telefono"] == "777" and "Conflicto en «Diego Gil», Teléfono: se "
          "queda «777» de la agenda; el servidor tenía «999»" in run.stdout,
          f"a field changed on both sides keeps the value changed here: {run.stdout}")
    log = open(path("agenda.kbx.conflictos.txt"), encoding="utf-8").read()
    check("«Diego Gil», Teléfono: se queda «777» de la agenda; el servidor tenía «999»" in log,
          f"the conflict is logged beside the book: {log}")
    check(after["Elena Vila"]["e_mail"] == "elena@nuevo.example" and
          after["Elena Vila"]["web"] == "https://elena.example/",
          "fields changed on different sides are merged")
    check(after.get("Fermín Roca", {}).get("telefono") == "555",
          "deleted here but changed on the server: the server's contact comes back")
    check("Gema Sol" not in after and "Carla Pons" not in after, "deletions reach the book")
    there = {r["nombre"]: r for r in server_records("movil")}
    check(there.get("Ana Ruiz", {}).get("cp") == "28001",
          "changed here but deleted on the server: uploaded again as a new card")
    check(there["Bruno Sanz"]["telefono"] == "600" and "Hugo Mas" in there and
          "Carla Pons" not in there and there["Diego Gil"]["telefono"] == "777",
          "adds, changes and deletions here reach the server")
    same_on_both_sides("agenda.kbx", "movil", "after the edits")

    # Edited here, the phone's card keeps what the book has no field for.
    book = after
    book["Marta Gil"]["movil"] = "699"
    book["???"]["telefono"] = "911"
    write_book(path("agenda.kbx"), book.values())
    sync("agenda.kbx", movil)
    cards = server.cards("movil")
    marta = cards[f"/{USER}/movil/telefono-1.vcf"]
    check("PHOTO" in marta and "marta@trabajo.example" in marta and "TEL;TYPE=cell:699" in marta
          and "NOTE:la conocí en León" in marta,
          f"the photo, second e-mail and note survive an edit made here:\n{marta}")
    check("FN:李小龙" in cards[f"/{USER}/movil/telefono-2.vcf"],
          "a '?' of the book never overwrites the server's text of a field not edited here")

    # A token the server no longer knows: the ETags are listed instead.
    state = open(path(".agenda.kbx.sync"), encoding="cp1252", newline="").read().split("\r\n")
    state[4] = "http://radicale.org/ns/sync/olvidado"  # the token
    with open(path(".agenda.kbx.sync"), "w", encoding="cp1252", newline="") as f:
        f.write("\r\n".join(state))
    phone_edit("Bruno Sanz", "TEL;TYPE=home:600", "TEL;TYPE=home:601")
    before = server.log_offset()
    sync("agenda.kbx", movil)
    check(f"PROPFIND /{USER}/movil/ 1" in server.requests_since(before),
          "a refused token falls back to a PROPFIND of the ETags")
    check({r["nombre"]: r for r in read_book(path("agenda.kbx"))}["Bruno Sanz"]["telefono"] ==
          "601", "the change on the server arrives through the fallback")

    # --- A side emptied wholesale is not mirrored without --force ---
    os.rename(path("agenda.kbx"), path("agenda.bak"))
    run = sync("agenda.kbx", movil, status=1)
    check("--force" in run.stderr and len(server.cards("movil")) == len(after),
          f"a deleted book does not wipe the server: {run.stderr}")
    os.rename(path("agenda.bak"), path("agenda.kbx"))
    for href in server.cards("movil"):
        server.request("DELETE", href)
    run = sync("agenda.kbx", movil, status=1)
    check("--force" in run.stderr and len(read_book(path("agenda.kbx"))) == len(after),
          f"an emptied address book does not wipe the book: {run.stderr}")
    sync("agenda.kbx", movil, "--force")
    check(not os.path.exists(path("agenda.kbx")) and os.path.exists(path(".agenda.kbx.sync")),
          "with --force a sync that leaves no contact removes the book and keeps the state")

    # --- Failures say what went wrong ---
    bad = os.path.join(work, "mala")
    with open(bad, "w") as f:
        f.write("otra\n")
    os.chmod(bad, 0o600)
    run = sync("casa.kbx", grande, status=1, password_file=bad)
    check("401" in run.stderr and "contraseña" in run.stderr, f"a wrong password: {run.stderr}")
    run = subprocess.run([PROGRAM, "--sync", path("casa.kbx"), grande], env=env,
                         capture_output=True, text=True)
    check(run.returncode == 1 and "--user" in run.stderr, f"a login without a user: {run.stderr}")
    os.chmod(secret, 0o644)
    run = sync("casa.kbx", grande, status=1)
    check("chmod 600" in run.stderr, f"a password file others can read: {run.stderr}")
    os.chmod(secret, 0o600)
    no_ca = {k: v for k, v in env.items() if k != "SSL_CERT_FILE"}
    run = sync("casa.kbx", grande, status=1, environ=no_ca)
    check("certificado" in run.stderr, f"an unknown authority is refused: {run.stderr}")

    # --- kill -9 at random moments, then a rerun, converges ---
    cortes = server.make_address_book("cortes")
    rng = random.Random(17)
    expected = generated_records(300, "Corte")
    write_book(path("cortes.kbx"), expected)

    def interrupted_syncs(times):
        for _ in range(times):
            p = subprocess.Popen([PROGRAM, "--sync", path("cortes.kbx"), cortes, "--user", USER,
                                  "--password-file", secret], env=env,
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(rng.uniform(0.05, 3.0))
            p.send_signal(signal.SIGKILL)
            p.wait()
        sync("cortes.kbx", cortes)

    interrupted_syncs(3)
    same_on_both_sides("cortes.kbx", "cortes", "an upload killed and rerun")
    check(as_multiset(read_book(path("cortes.kbx"))) == as_multiset(expected),
          "the killed upload ends with the book as it was")
    # Changes on both sides, then again killed mid-way.
    cards = server.cards("cortes")
    for href, text in list(cards.items())[:20]:
        name = fields_of_card(text)["nombre"]
        phone_put(href, text.replace("Planta", "Piso"))
        for r in expected:
            if r["nombre"] == name:
                r["oficina"] = r["oficina"].replace("Planta", "Piso")
    for i in range(10):
        phone_put(f"/{USER}/cortes/nuevo-{i}.vcf",
                  f"BEGIN:VCARD\r\nVERSION:3.0\r\nUID:nuevo-{i}\r\nFN:Nuevo {i}\r\n"
                  f"N:{i};Nuevo;;;\r\nEND:VCARD\r\n")
        expected.append(dict(dict.fromkeys(FIELDS, ""), nombre=f"Nuevo {i}"))
    here = read_book(path("cortes.kbx"))
    changed = {fields_of_card(t)["nombre"] for t in list(cards.values())[:20]}
    untouched = [r for r in here if r["nombre"] not in changed]
    for r in untouched[:15]:
        r["telefono"] = "000"
    deleted = {r["nombre"] for r in untouched[15:25]}
    here = [r for r in here if r["nombre"] not in deleted] + generated_records(15, "Alta")
    write_book(path("cortes.kbx"), here)
    expected = [r for r in expected if r["nombre"] not in deleted] + generated_records(15, "Alta")
    for r in expected:
        if r["nombre"] in {u["nombre"] for u in untouched[:15]}:
            r["telefono"] = "000"
    interrupted_syncs(3)
    same_on_both_sides("cortes.kbx", "cortes", "changes on both sides killed and rerun")
    check(as_multiset(read_book(path("cortes.kbx"))) == as_multiset(expected),
          "after the kills every change of both sides is there, nothing lost or doubled")

finish()

#!/usr/bin/python3
"""Contacts changed here, end to end against Radicale: a rename keeps the phone's card, a
rename here beside a change there is one contact, two contacts of one name keep their cards.

    check_sync_changes.py TORVIKALEN"""
import os
import subprocess
import sys
import tempfile

from sync_server import (USER, Radicale, as_multiset, check, client_setup, fields_of_card,
                         finish, read_book, write_book)

PROGRAM = sys.argv[1]
PHOTO = "PHOTO;ENCODING=b;TYPE=JPEG:/9j/4AAQSkZJRgABAQEASABIAAD/2w==\r\n"


def phone_card(uid, name, tel, extra=""):
    given, family = name.split(" ", 1)
    return (f"BEGIN:VCARD\r\nVERSION:3.0\r\nUID:{uid}\r\nFN:{name}\r\nN:{family};{given};;;\r\n"
            f"{PHOTO}TEL;TYPE=HOME:{tel}\r\n{extra}NOTE:nota de {uid}\r\nEND:VCARD\r\n")


with tempfile.TemporaryDirectory() as work, Radicale(work) as server:
    env, secret = client_setup(server, work)
    # LeakSanitizer's tracer can crash reading the thread-local storage of the module the
    # program loads with dlopen, depending on the layout: leaks are looked for without it,
    # and what glib keeps there for the life of the process is not one.
    with open(os.path.join(work, "lsan.supp"), "w") as f:
        f.write("leak:libglib\n")
    env["LSAN_OPTIONS"] = f"use_tls=0:suppressions={work}/lsan.supp"
    book = os.path.join(work, "libro.kbx")

    def sync(*extra, status=0):
        run = subprocess.run([PROGRAM, "--sync", book, server.root + f"{USER}/movil/", "--user",
                              USER, "--password-file", secret, *extra], env=env,
                             capture_output=True, text=True, timeout=300)
        check(run.returncode == status, f"--sync: status {run.returncode}, not {status}: "
              f"{run.stdout}{run.stderr}")
        return run

    def put(uid, text):
        status = server.request("PUT", f"/{USER}/movil/{uid}.vcf", text,
                                {"Content-Type": "text/vcard"})[0]
        check(status in (201, 204), f"the phone's PUT of {uid}: {status}")

    server.make_address_book("movil")
    put("ana", phone_card("ana", "Ana Ruiz", "910000001", "EMAIL:ana@casa.example\r\n"))
    put("bea", phone_card("bea", "Bea Sanz", "910000002"))
    put("luis-1", phone_card("luis-1", "Luis Gil", "910000003"))
    put("luis-2", phone_card("luis-2", "Luis Gil", "910000004"))
    sync()
    records = read_book(book)
    for r in records:
        if r["nombre"] == "Ana Ruiz":
            r["nombre"] = "Ana Ruiz Gil"
        elif r["nombre"] == "Bea Sanz":
            r["nombre"] = "Beatriz Sanz"
        elif r["nombre"] == "Luis Gil":
            r["movil"] = "6" + r["telefono"][-2:]
    write_book(book, reversed(records))  # the order of the book says nothing
    put("bea", phone_card("bea", "Bea Sanz", "919999999"))
    sync()

    cards = server.cards("movil")
    check(sorted(cards) == [f"/{USER}/movil/{u}.vcf" for u in ("ana", "bea", "luis-1", "luis-2")],
          f"every contact keeps its card, none is added: {sorted(cards)}")
    ana = cards.get(f"/{USER}/movil/ana.vcf", "")
    check("FN:Ana Ruiz Gil" in ana and "UID:ana\r\n" in ana and "PHOTO" in ana and
          "NOTE:nota de ana" in ana, f"a renamed contact keeps its UID, photo and note:\n{ana}")
    bea = fields_of_card(cards.get(f"/{USER}/movil/bea.vcf", phone_card("x", "x y", "")))
    check(bea["nombre"] == "Beatriz Sanz" and bea["telefono"] == "919999999",
          f"a rename here and a change there merge into one contact: {bea}")
    for uid, tel in (("luis-1", "910000003"), ("luis-2", "910000004")):
        text = cards.get(f"/{USER}/movil/{uid}.vcf", "")
        check("PHOTO" in text and f"TEL;TYPE=cell:6{tel[-2:]}" in text,
              f"each of two contacts of one name keeps its own card:\n{text}")
    here = as_multiset(read_book(book))
    there = as_multiset(fields_of_card(t) for t in cards.values())
    check(here == there, f"the book and the server hold the same contacts: {here} / {there}")

    # A log of conflicts on a full disk: the sync is done, and its status says the log failed.
    os.symlink("/dev/full", book + ".conflictos.txt")
    records = read_book(book)
    for r in records:
        if r["nombre"] == "Ana Ruiz Gil":
            r["telefono"] = "911111111"
    write_book(book, records)
    ana = server.cards("movil")[f"/{USER}/movil/ana.vcf"]
    put("ana", ana.replace("TEL;TYPE=HOME:910000001", "TEL;TYPE=HOME:922222222"))
    run = sync(status=1)
    check("no se ha podido escribir el registro de conflictos" in run.stderr and
          "Conflictos: 1." in run.stdout and "el servidor tenía «922222222»" in run.stdout,
          f"a log that cannot be written fails the run, which says what it lost: {run.stdout}"
          f"{run.stderr}")
    ana = fields_of_card(server.cards("movil")[f"/{USER}/movil/ana.vcf"])
    check(ana["telefono"] == "911111111", f"the sync itself is done: {ana}")
    before = server.log_offset()
    run = sync()
    check(server.requests_since(before) == [f"REPORT /{USER}/movil/ 0"],
          f"the state was written: the next sync has nothing to do: {server.requests_since(before)}")

    # --- A run stopped right after each kind of request, then a rerun, ends as a whole run ---
    def state_of(path):
        lines = open(path, encoding="cp1252", newline="").read().split("\r\n")
        lines = lines[6 + int(lines[5]):-1]  # after the header and the cards skipped
        return [(lines[i], tuple(lines[i + 3:i + 14])) for i in range(0, len(lines), 14)]

    def scenario(kind, name, stop):
        """A synced book, edits that make one request of `kind`, a sync (stopped right after
        that request when `stop`, and run again): the book, server, state and log after."""
        server.make_address_book(name)
        url, path = server.root + f"{USER}/{name}/", os.path.join(work, name + ".kbx")

        def run(environ={}):
            return subprocess.run([PROGRAM, "--sync", path, url, "--user", USER,
                                   "--password-file", secret], env={**env, **environ},
                                  capture_output=True, text=True, timeout=300)
        people = [dict(nombre=n, telefono=t, e_mail=f"{t}@x.example") for n, t in
                  (("Ana Gil", "1"), ("Bea Gil", "2"), ("Cid Gil", "3"), ("Dora Gil", "4"))]
        write_book(path, people)
        run()
        hrefs = {fields_of_card(t)["nombre"]: h for h, t in server.cards(name).items()}
        server.request("PUT", f"/{USER}/{name}/fede.vcf", phone_card("fede", "Fede Gil", "5"),
                       {"Content-Type": "text/vcard"})  # a card fetched in every run
        here = read_book(path)
        if kind == "create":
            here.append(dict(nombre="Eva Gil", telefono="6"))
        elif kind == "update":
            here[0]["telefono"] = "11"
        elif kind == "delete":
            del here[1]
        elif kind == "reupload":
            here[2]["web"] = "https://cid.example/"
            server.request("DELETE", hrefs["Cid Gil"])
        elif kind == "conflict":
            here[3]["telefono"] = "44"
            text = server.cards(name)[hrefs["Dora Gil"]]
            server.request("PUT", hrefs["Dora Gil"], text.replace(":4\r\n", ":45\r\n"),
                           {"Content-Type": "text/vcard"})
        write_book(path, here)
        if stop:
            cut = run({"VELDRANO_SYNC_STOP_AFTER": kind})
            check(cut.returncode == 137, f"{kind}: the run stops right after the request: "
                  f"{cut.returncode} {cut.stdout}{cut.stderr}")
        last = run()
        check(last.returncode == 0, f"{kind} {stop}: the rerun: {last.stdout}{last.stderr}")
        cards = server.cards(name)
        state = state_of(os.path.join(work, f".{name}.kbx.sync"))
        check(sorted(h for h, _ in state) == sorted(cards),
              f"{kind}: the state names the server's cards: {state} / {sorted(cards)}")
        check(not os.path.exists(os.path.join(work, f".{name}.kbx.sync-journal")),
              f"{kind}: no journal is left after a whole run")
        log = os.path.join(work, name + ".kbx.conflictos.txt")
        log = [line[20:] for line in open(log, encoding="utf-8")] if os.path.exists(log) else []
        return (as_multiset(read_book(path)), as_multiset(fields_of_card(t) for t in cards.values()),
                sorted(r for _, r in state), log)

    for kind in os.environ.get("KINDS", "create update delete reupload conflict").split():
        whole, cut = scenario(kind, kind + "-entera", False), scenario(kind, kind + "-cortada", True)
        for what, a, b in zip(("book", "server", "state", "conflict log"), whole, cut):
            check(a == b, f"{kind}: cut short and rerun, the {what} is as after a whole run:\n"
                  f"{a}\n{b}")
        check(whole[0] == whole[1], f"{kind}: both sides hold the same contacts: {whole[:2]}")
    check(any("el servidor tenía «45»" in line for line in cut[3]),
          f"the server's value of a conflict reaches the log: {cut[3]}")

finish()

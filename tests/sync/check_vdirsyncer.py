#!/usr/bin/python3
"""The address book our sync wrote, read by a second client nobody here wrote: vdirsyncer
syncs it to a folder after us, and Python's vobject reads every card with each field in its
place. A change vdirsyncer sends back reaches the book on our next sync.

    check_vdirsyncer.py TORVIKALEN"""
import glob
import os
import subprocess
import sys
import tempfile

from sync_server import (PASSWORD, USER, Radicale, as_multiset, check, client_setup,
                         fields_of_card, finish, generated_records, read_book, write_book)

PROGRAM = sys.argv[1]


with tempfile.TemporaryDirectory() as work, Radicale(work) as server:
    env, secret = client_setup(server, work)
    url = server.make_address_book("pares")
    book = os.path.join(work, "casa.kbx")
    records = generated_records(60)
    records[1].update(nombre="Ñandú Güemes", direccion="Plaza; de la Villa, 3\\B",
                      departamento="I+D", fax="913 000 000", oficina="")
    write_book(book, records)

    def sync():
        run = subprocess.run([PROGRAM, "--sync", book, url, "--user", USER, "--password-file",
                              secret], env=env, capture_output=True, text=True)
        check(run.returncode == 0, f"our sync: {run.stdout}{run.stderr}")

    sync()
    folder = os.path.join(work, "vdir")
    os.makedirs(folder)
    config = os.path.join(work, "vdirsyncer.conf")
    with open(config, "w") as f:
        f.write(f'[general]\nstatus_path = "{work}/status/"\n'
                '[pair p]\na = "local"\nb = "remote"\ncollections = null\n'
                f'[storage local]\ntype = "filesystem"\npath = "{folder}/"\nfileext = ".vcf"\n'
                f'[storage remote]\ntype = "carddav"\nurl = "{url}"\nusername = "{USER}"\n'
                f'password = "{PASSWORD}"\nverify = "{server.ca}"\n')

    def vdirsyncer(*args):
        run = subprocess.run(["vdirsyncer", "-c", config, *args], input="y\n" * 10,
                             capture_output=True, text=True)
        check(run.returncode == 0, f"vdirsyncer {' '.join(args)}: {run.stdout}{run.stderr}")

    vdirsyncer("discover")
    vdirsyncer("sync")
    files = sorted(glob.glob(os.path.join(folder, "*.vcf")))
    cards = [open(p, encoding="utf-8", newline="").read() for p in files]
    check(len(cards) == len(records), f"vdirsyncer fetched {len(cards)} cards of {len(records)}")
    check(all("VERSION:3.0" in c and "\nUID:" in c for c in cards),
          "every card is vCard 3.0 with a UID")
    check(as_multiset(fields_of_card(c) for c in cards) == as_multiset(records),
          "vobject reads every card with each field in its place")

    # vdirsyncer sends a change back; our next sync brings it into the book.
    for path, card in zip(files, cards):
        if "FN:Persona 0007 Peña" in card:
            with open(path, "w", encoding="utf-8", newline="") as f:
                f.write(card.replace("TEL;TYPE=home:910000007", "TEL;TYPE=home:555 0007"))
    vdirsyncer("sync")
    sync()
    here = {r["nombre"]: r for r in read_book(book)}
    check(here["Persona 0007 Peña"]["telefono"] == "555 0007",
          "a change vdirsyncer uploaded reaches the book")
    check(len(here) == len(records), "and nothing else changed in the book")

finish()

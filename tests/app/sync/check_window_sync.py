#!/usr/bin/python3
"""The window's sync against Radicale over HTTPS, with its password in GNOME Keyring: a book
synced once from the terminal while empty, then given a thousand contacts, while a phone
adds one on the server; the window tests (app_sync_tests) open, edit and save it. Runs
inside tests/support/with_test_keyring.sh --keyring.

    check_window_sync.py TORVIKALEN APP_SYNC_TESTS"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "sync"))
from sync_server import (PASSWORD, USER, Radicale, check, client_setup, finish,  # noqa: E402
                         generated_records, read_book, write_book)

PROGRAM, TESTS = sys.argv[1:3]

if os.environ.get("VELDRANO_TEST_KEYRING") != "keyring":
    sys.exit("run through tests/support/with_test_keyring.sh --keyring")

PHONE_CARD = ("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:telefono-nuevo\r\nFN:Teléfono Nuevo\r\n"
              "N:Nuevo;Teléfono;;;\r\nTEL;TYPE=cell:655000000\r\nEND:VCARD\r\n")

with tempfile.TemporaryDirectory() as work, Radicale(work) as server:
    env, secret = client_setup(server, work)
    url = server.make_address_book("libreta")
    book = os.path.join(work, "casa.kbx")
    run = subprocess.run([PROGRAM, "--sync", book, url, "--user", USER, "--password-file", secret],
                         env=env, capture_output=True, text=True)
    check(run.returncode == 0, f"the first sync, from the terminal: {run.stdout}{run.stderr}")
    write_book(book, generated_records(1000))
    status = server.request("PUT", f"/{USER}/libreta/telefono-nuevo.vcf", PHONE_CARD,
                            {"Content-Type": "text/vcard"})[0]
    check(status == 201, f"the phone's card is on the server: {status}")
    key = f"carddav:{USER}@127.0.0.1:{server.port}"
    subprocess.run(["secret-tool", "store", "--label", "VELDRANO (prueba)", "service", "VELDRANO",
                    "key", key], input=PASSWORD, text=True, check=True)

    env.update(VELDRANO_TEST_BOOK=book, VELDRANO_TEST_CARDDAV=url, VELDRANO_TEST_USER=USER,
               VELDRANO_TEST_PASSWORD=PASSWORD, QT_QPA_PLATFORM="offscreen")
    tests = subprocess.run([TESTS], env=env)
    check(tests.returncode == 0, "the window's sync tests pass")

    # What the window left: the server and the book hold the same contacts.
    cards = server.cards("libreta")
    names = sorted(r["nombre"] for r in read_book(book))
    check(len(cards) == len(names) == 1003,
          f"the book's contacts are the server's cards: {len(cards)} cards, {len(names)} rows")
    check({"Zoe Ruiz", "Mia Sol", "Teléfono Nuevo"} <= set(names),
          "the window's contact and the phone's are on both sides")
finish()

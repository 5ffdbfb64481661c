#!/usr/bin/python3
"""The CardDAV password in the desktop's keyring: asked once on a terminal, kept when the
user says so, taken from the keyring by later syncs without a terminal, forgotten when the
server refuses it. Runs inside tests/support/with_test_keyring.sh --keyring.

    check_sync_keyring.py TORVIKALEN"""
import os
import pty
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "sync"))
from sync_server import (PASSWORD, USER, Radicale, check, client_setup, finish,  # noqa: E402
                         generated_records, read_book, write_book)

PROGRAM = sys.argv[1]
QUESTION = "¿Guardar la contraseña en el llavero? [s/N] ".encode()

if os.environ.get("VELDRANO_TEST_KEYRING") != "keyring":
    sys.exit("run through tests/support/with_test_keyring.sh --keyring")


def on_terminal(args, env, answers):
    """Runs the program on a terminal of its own, typing each answer after its prompt;
    returns the exit status and everything the terminal showed."""
    child, terminal = pty.fork()
    if child == 0:
        os.execve(PROGRAM, [PROGRAM, *args], env)
    shown = b""
    for prompt, answer in answers:
        while prompt not in shown:
            chunk = os.read(terminal, 1024)
            if not chunk:
                return 1, shown
            shown += chunk
        os.write(terminal, answer)
    while True:
        try:
            chunk = os.read(terminal, 4096)
        except OSError:
            break
        if not chunk:
            break
        shown += chunk
    return os.waitstatus_to_exitcode(os.waitpid(child, 0)[1]), shown


def kept(key):
    return subprocess.run(["secret-tool", "lookup", "service", "VELDRANO", "key", key],
                          capture_output=True, text=True).stdout


with tempfile.TemporaryDirectory() as work, Radicale(work) as server:
    env, _ = client_setup(server, work)
    url = server.make_address_book("contactos")
    key = f"carddav:{USER}@127.0.0.1:{server.port}"
    book = os.path.join(work, "libro.kbx")
    write_book(book, generated_records(3))
    sync = ["--sync", book, url, "--user", USER]
    prompt = f"Contraseña de {USER} en {url}: ".encode()

    # First sync: the password asked on the terminal, then the offer to keep it.
    status, shown = on_terminal(sync, env, [(prompt, PASSWORD.encode() + b"\n"),
                                            (QUESTION, b"s\n")])
    check(status == 0 and b"Contrase\xc3\xb1a guardada en el llavero." in shown,
          f"first sync: status {status}: {shown!r}")
    check(PASSWORD.encode() not in shown, f"the password was shown: {shown!r}")
    check(kept(key) == PASSWORD, f"the keyring holds {kept(key)!r}")

    # Later syncs take it from the keyring: no terminal, no password file.
    write_book(book, generated_records(4))
    run = subprocess.run([PROGRAM, *sync], env=env, stdin=subprocess.DEVNULL,
                         capture_output=True, text=True, start_new_session=True, timeout=120)
    check(run.returncode == 0 and "Sincronizado con" in run.stdout,
          f"a sync with the kept password: {run.returncode} {run.stdout}{run.stderr}")
    check(len(server.cards("contactos")) == 4, "the fourth contact did not reach the server")
    sync_list = subprocess.run([PROGRAM, "--sync-list", url, "--user", USER], env=env,
                               stdin=subprocess.DEVNULL, capture_output=True, text=True,
                               start_new_session=True, timeout=120)
    check(sync_list.returncode == 0 and "4 tarjetas" in sync_list.stdout,
          f"--sync-list with the kept password: {sync_list.stdout}{sync_list.stderr}")

    # A password the server no longer takes is forgotten, so the next sync asks again.
    subprocess.run(["secret-tool", "store", "--label=prueba", "service", "VELDRANO", "key", key],
                   input="caducada", text=True, check=True)
    run = subprocess.run([PROGRAM, *sync], env=env, stdin=subprocess.DEVNULL,
                         capture_output=True, text=True, start_new_session=True, timeout=120)
    check(run.returncode == 1 and "llavero se ha olvidado" in run.stderr,
          f"a refused kept password: {run.returncode} {run.stderr}")
    check(kept(key) == "", "the refused password is still in the keyring")
    check(len(read_book(book)) == 4, "a refused sync changed the book")

    # "No" keeps nothing; a password file never reaches the keyring either.
    status, shown = on_terminal(sync, env, [(prompt, PASSWORD.encode() + b"\n"),
                                            (QUESTION, b"n\n")])
    check(status == 0 and b"llavero." not in shown, f"answered no: {status} {shown!r}")
    check(kept(key) == "", "answered no, and the keyring holds it all the same")
    secret = os.path.join(work, "clave")
    run = subprocess.run([PROGRAM, *sync, "--password-file", secret], env=env,
                         stdin=subprocess.DEVNULL, capture_output=True, text=True,
                         start_new_session=True, timeout=120)
    check(run.returncode == 0 and kept(key) == "",
          f"--password-file: {run.returncode} {run.stderr} / kept {kept(key)!r}")

finish()

#!/usr/bin/python3
"""Sync benchmark: torvikalen --sync beside `vdirsyncer sync`, each with its own address
book of the same contacts on one Radicale server (HTTPS on 127.0.0.1, in the same run).

    bench_sync.py TORVIKALEN [CONTACTS ...]     (default: 100 1000)

For each size: the initial upload of the whole book, a sync with nothing changed, and a
sync with one contact changed on each side (here and, as a phone would, on the server).
Requests are counted from the server's log, bytes (both ways, TLS included) by a relay
between the clients and the server; CPU time is the client's, user and system."""
import asyncio
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../tests/sync"))
from sync_server import PASSWORD, USER, Radicale, generated_records, write_book  # noqa: E402

PROGRAM = sys.argv[1]
SIZES = [int(n) for n in sys.argv[2:]] or [100, 1000]


class Relay:
    """A TCP relay in front of the server that counts the bytes crossing it."""

    def __init__(self, port):
        self.target = port
        self.bytes = 0
        self.loop = asyncio.new_event_loop()
        ready = threading.Event()
        threading.Thread(target=self._run, args=(ready,), daemon=True).start()
        ready.wait()

    def _run(self, ready):
        asyncio.set_event_loop(self.loop)
        server = self.loop.run_until_complete(
            asyncio.start_server(self._client, "127.0.0.1", 0))
        self.port = server.sockets[0].getsockname()[1]
        ready.set()
        self.loop.run_forever()

    async def _pipe(self, reader, writer):
        try:
            while data := await reader.read(65536):
                self.bytes += len(data)
                writer.write(data)
                await writer.drain()
        except ConnectionError:
            pass
        finally:
            writer.close()

    async def _client(self, reader, writer):
        up_reader, up_writer = await asyncio.open_connection("127.0.0.1", self.target)
        await asyncio.gather(self._pipe(reader, up_writer), self._pipe(up_reader, writer))


def measure(server, relay, command, env, **kwargs):
    offset, sent = server.log_offset(), relay.bytes
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.monotonic()
    run = subprocess.run(command, env=env, capture_output=True, text=True, **kwargs)
    wall = time.monotonic() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    if run.returncode != 0:
        raise SystemExit(f"{' '.join(command)} failed:\n{run.stdout}{run.stderr}")
    time.sleep(0.2)  # the last log lines
    cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
    return {"requests": len(server.requests_since(offset)), "bytes": relay.bytes - sent,
            "wall": wall, "cpu": cpu}


def card(record, uid):
    return (f"BEGIN:VCARD\r\nVERSION:3.0\r\nUID:{uid}\r\nFN:{record['nombre']}\r\n"
            f"N:;{record['nombre']};;;\r\nTEL;TYPE=home:{record['telefono']}\r\n"
            f"EMAIL:{record['e_mail']}\r\nEND:VCARD\r\n")


def phone_change(server, name):
    """One card of the address book changed on the server, as a phone would."""
    cards = server.cards(name)
    href, text = sorted(cards.items())[len(cards) // 2]
    lines = text.replace("\r\n", "\n").split("\n")
    lines.insert(-2, "NOTE:cambiada en el teléfono")
    status = server.request("PUT", href, "\r\n".join(lines), {"Content-Type": "text/vcard"})[0]
    assert status in (201, 204), status


def run_size(server, relay, work, env, n):
    ours_url = server.make_address_book(f"nuestra{n}").replace(server.root, "")
    theirs_url = server.make_address_book(f"suya{n}").replace(server.root, "")
    secret = os.path.join(work, "clave")
    records = generated_records(n)
    book = os.path.join(work, f"libro{n}.kbx")
    write_book(book, records)
    ours = [PROGRAM, "--sync", book, f"https://127.0.0.1:{relay.port}/{ours_url}",
            "--user", USER, "--password-file", secret]

    folder = os.path.join(work, f"vdir{n}")
    os.makedirs(folder)
    for i, r in enumerate(records):
        with open(os.path.join(folder, f"c{i}.vcf"), "w", encoding="utf-8", newline="") as f:
            f.write(card(r, f"c{i}-{n}"))
    config = os.path.join(work, f"vdirsyncer{n}.conf")
    with open(config, "w") as f:
        f.write(f'[general]\nstatus_path = "{work}/status{n}/"\n'
                '[pair p]\na = "local"\nb = "remote"\ncollections = null\n'
                f'[storage local]\ntype = "filesystem"\npath = "{folder}/"\nfileext = ".vcf"\n'
                f'[storage remote]\ntype = "carddav"\n'
                f'url = "https://127.0.0.1:{relay.port}/{theirs_url}"\n'
                f'username = "{USER}"\npassword = "{PASSWORD}"\nverify = "{server.ca}"\n')
    theirs = ["vdirsyncer", "-c", config, "sync"]
    subprocess.run(["vdirsyncer", "-c", config, "discover"], input="y\n", capture_output=True,
                   text=True, check=True)

    rows = []
    rows.append(("initial upload", measure(server, relay, ours, env),
                 measure(server, relay, theirs, env)))
    measure(server, relay, ours, env)  # both sides settle: tokens and status saved
    measure(server, relay, theirs, env)
    rows.append(("nothing changed", measure(server, relay, ours, env),
                 measure(server, relay, theirs, env)))
    # One contact changed on each side.
    records[3]["telefono"] = "555 0003"
    write_book(book, records)
    with open(os.path.join(folder, "c3.vcf"), "w", encoding="utf-8", newline="") as f:
        f.write(card(records[3], f"c3-{n}"))
    phone_change(server, f"nuestra{n}")
    phone_change(server, f"suya{n}")
    rows.append(("one change each side", measure(server, relay, ours, env),
                 measure(server, relay, theirs, env)))
    return rows


def main():
    work = tempfile.mkdtemp(prefix="bench_sync.")
    try:
        with Radicale(work) as server:
            relay = Relay(server.port)
            env = dict(os.environ, LC_ALL="es_ES.UTF-8", SSL_CERT_FILE=server.ca)
            with open(os.path.join(work, "clave"), "w") as f:
                f.write(PASSWORD + "\n")
            os.chmod(os.path.join(work, "clave"), 0o600)
            print(f"{'contacts':>8}  {'sync':<22} {'client':<11} {'requests':>8} "
                  f"{'bytes':>10} {'wall s':>8} {'cpu s':>7}")
            ratios = []
            for n in SIZES:
                for what, ours, theirs in run_size(server, relay, work, env, n):
                    for client, m in (("torvikalen", ours), ("vdirsyncer", theirs)):
                        print(f"{n:>8}  {what:<22} {client:<11} {m['requests']:>8} "
                              f"{m['bytes']:>10} {m['wall']:>8.2f} {m['cpu']:>7.2f}")
                    ratios.append((n, what, ours, theirs))
            print("\nratio torvikalen / vdirsyncer (below 1: ours takes less)")
            for n, what, ours, theirs in ratios:
                print(f"{n:>8}  {what:<22} " + "  ".join(
                    f"{k} {ours[k] / theirs[k]:.2f}" if theirs[k] else f"{k} -"
                    for k in ("requests", "bytes", "wall", "cpu")))
    finally:
        shutil.rmtree(work, ignore_errors=True)


main()

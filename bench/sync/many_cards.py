#!/usr/bin/python3
"""The sync's peak memory with many cards: a generated address book of N cards served from
127.0.0.1 (the answers are made as they are asked for, so the server costs the client
nothing), synced into a new book and then again with nothing changed, each run under
/usr/bin/time -v.

    many_cards.py N PROGRAM [ARGS ...]     (BOOK and URL are appended to the command)

e.g. many_cards.py 100000 build/release/bench/sync/bench_sync_memory
     many_cards.py 100000 build/release/bin/torvikalen --sync"""
import http.server
import os
import re
import subprocess
import sys
import tempfile
import threading

COUNT = int(sys.argv[1])
COMMAND = sys.argv[2:]
BOOK = "/ana/l/"


def href(i):
    return f"{BOOK}{i:06d}-c3f1a2b4-5d6e-4f70-8a9b-0c1d2e3f4a5b.vcf"


def card(i):
    return (f"BEGIN:VCARD\r\nVERSION:3.0\r\nUID:{i:06d}-c3f1a2b4-5d6e-4f70-8a9b-0c1d2e3f4a5b\r\n"
            f"FN:Persona {i:06d} Peña\r\nN:Peña;Persona {i:06d};;;\r\n"
            f"ADR;TYPE=home:;Planta {i % 7};Calle Mayor {i}\\, 2º;;;{28000 + i % 1000};\r\n"
            f"TEL;TYPE=home:91{i:07d}\r\nTEL;TYPE=cell:6{i:08d}\r\nEMAIL:p{i}@example.com\r\n"
            f"ORG:Taller\\; Núñez;Ventas\r\nURL:https://example.com/{i}\r\nEND:VCARD\r\n")


def etag(i):
    return f'"{i:06d}-1"'


def multistatus(parts, token=None):
    head = ('<?xml version="1.0" encoding="utf-8"?><D:multistatus xmlns:D="DAV:" '
            'xmlns:C="urn:ietf:params:xml:ns:carddav">')
    yield head.encode()
    for part in parts:
        yield part.encode()
    yield ((f"<D:sync-token>{token}</D:sync-token>" if token else "") +
           "</D:multistatus>").encode()


def listed(i):
    return (f"<D:response><D:href>{href(i)}</D:href><D:propstat><D:prop><D:getetag>"
            f"{etag(i)}</D:getetag></D:prop><D:status>HTTP/1.1 200 OK</D:status>"
            "</D:propstat></D:response>")


def fetched(i):
    text = card(i).replace("&", "&amp;").replace("<", "&lt;")
    return (f"<D:response><D:href>{href(i)}</D:href><D:propstat><D:prop><D:getetag>"
            f"{etag(i)}</D:getetag><C:address-data>{text}</C:address-data></D:prop>"
            "<D:status>HTTP/1.1 200 OK</D:status></D:propstat></D:response>")


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def answer(self, chunks):
        self.send_response(207)
        self.send_header("Content-Type", "application/xml; charset=utf-8")
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        buffer = b""
        for chunk in chunks:
            buffer += chunk
            if len(buffer) > 1 << 16:
                self.wfile.write(b"%x\r\n%s\r\n" % (len(buffer), buffer))
                buffer = b""
        if buffer:
            self.wfile.write(b"%x\r\n%s\r\n" % (len(buffer), buffer))
        self.wfile.write(b"0\r\n\r\n")

    def body(self):
        return self.rfile.read(int(self.headers.get("Content-Length", 0))).decode()

    def do_PROPFIND(self):
        self.body()
        self.answer(multistatus([
            f"<D:response><D:href>{BOOK}</D:href><D:propstat><D:prop><D:resourcetype>"
            "<D:collection/><C:addressbook/></D:resourcetype><D:displayname>Muchas"
            "</D:displayname></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat>"
            "</D:response>"]))

    def do_REPORT(self):
        body = self.body()
        if "sync-collection" in body:
            since = re.search(r"<D:sync-token>(.*?)</D:sync-token>", body)
            changed = range(COUNT) if not since or not since.group(1) else range(0)
            self.answer(multistatus((listed(i) for i in changed), token="t-1"))
        else:
            wanted = [int(h) for h in re.findall(r"<D:href>" + BOOK + r"(\d+)-", body)]
            self.answer(multistatus(fetched(i) for i in wanted))


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
threading.Thread(target=server.serve_forever, daemon=True).start()
url = f"http://127.0.0.1:{server.server_address[1]}{BOOK}"
with tempfile.TemporaryDirectory() as work:
    book = os.path.join(work, "muchas.kbx")
    for what in ("a new book gets every card", "a sync with nothing changed"):
        run = subprocess.run(["/usr/bin/time", "-v", *COMMAND, book, url],
                             capture_output=True, text=True)
        peak = re.search(r"Maximum resident set size \(kbytes\): (\d+)", run.stderr)
        elapsed = re.search(r"Elapsed \(wall clock\) time.*: (\S+)", run.stderr)
        # The baseline, from the same run: the book the sync wrote, byte for byte.
        peak_bytes, book_bytes = int(peak.group(1)) * 1024, os.path.getsize(book)
        print(f"{COUNT} cards, {what}: status {run.returncode}, peak "
              f"{peak_bytes / 2**20:.0f} MB, {elapsed.group(1)} "
              f"({book_bytes / COUNT:.0f} bytes a contact in the book; peak / book "
              f"{peak_bytes / book_bytes:.1f}) "
              f"{run.stdout.strip()} {run.stderr.splitlines()[0] if run.returncode else ''}")
server.shutdown()

"""A Radicale server for the sync tests and the benchmark: on 127.0.0.1, with an htpasswd user,
over HTTPS with a test authority made here with the openssl command, or over plain HTTP.

Also the helpers both need: books as the program writes them, and a phone's HTTP requests."""
import base64
import collections
import http.client
import os
import socket
import ssl
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

import vobject

HERE = os.path.dirname(os.path.abspath(__file__))
USER, PASSWORD = "ana", "secreto ñ"
FIELDS = ["nombre", "direccion", "telefono", "e_mail", "cp", "movil", "fax",
          "organizacion", "departamento", "web", "oficina"]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_authority(folder):
    """A test authority and a certificate for 127.0.0.1 signed by it; returns the CA's path."""
    def openssl(*args):
        subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=folder)
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out",
            "ca.pem", "-days", "2", "-subj", "/CN=Autoridad de prueba", "-addext",
            "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign")
    openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out",
            "server.csr", "-subj", "/CN=127.0.0.1")
    with open(os.path.join(folder, "san.cnf"), "w") as f:
        f.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n")
    openssl("x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "san.cnf")
    return os.path.join(folder, "ca.pem")


class Radicale:
    def __init__(self, folder, tls=True):
        self.folder = folder
        self.port = free_port()
        self.tls = tls
        self.ca = make_authority(folder) if tls else None
        with open(os.path.join(folder, "users"), "w") as f:
            f.write(f"{USER}:{PASSWORD}\n")
        config = os.path.join(folder, "radicale.conf")
        with open(config, "w") as f:
            f.write(f"[server]\nhosts = 127.0.0.1:{self.port}\n")
            if tls:
                f.write(f"ssl = True\ncertificate = {folder}/server.pem\n"
                        f"key = {folder}/server.key\n")
            f.write(f"[auth]\ntype = htpasswd\nhtpasswd_filename = {folder}/users\n"
                    "htpasswd_encryption = plain\n"
                    f"[rights]\ntype = owner_only\n"
                    f"[storage]\nfilesystem_folder = {folder}/store\n"
                    "[logging]\nlevel = info\n")
        self.log_path = os.path.join(folder, "radicale.log")
        self.log = open(self.log_path, "ab")
        self.process = subprocess.Popen(
            ["/usr/bin/python3", os.path.join(HERE, "run_radicale.py"), config],
            stdout=self.log, stderr=self.log)
        self.root = f"{'https' if tls else 'http'}://127.0.0.1:{self.port}/"
        for _ in range(100):
            try:
                if self.request("PROPFIND", "/", headers={"Depth": "0"})[0] == 207:
                    return
            except OSError:
                time.sleep(0.1)
        raise SystemExit("Radicale did not start:\n" + open(self.log_path).read())

    def stop(self):
        self.process.terminate()
        self.process.wait(10)
        self.log.close()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.stop()

    def connection(self):
        if self.tls:
            context = ssl.create_default_context(cafile=self.ca)
            return http.client.HTTPSConnection("127.0.0.1", self.port, context=context,
                                               timeout=60)
        return http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)

    def request(self, method, path, body=None, headers=None, password=PASSWORD):
        auth = base64.b64encode(f"{USER}:{password}".encode()).decode()
        conn = self.connection()
        conn.request(method, path, body=body.encode() if isinstance(body, str) else body,
                     headers={"Authorization": "Basic " + auth, **(headers or {})})
        response = conn.getresponse()
        data = response.read()
        conn.close()
        return response.status, dict(response.getheaders()), data

    def make_address_book(self, name, display=None):
        body = ('<?xml version="1.0"?><D:mkcol xmlns:D="DAV:" '
                'xmlns:C="urn:ietf:params:xml:ns:carddav"><D:set><D:prop><D:resourcetype>'
                '<D:collection/><C:addressbook/></D:resourcetype>'
                f'<D:displayname>{display or name}</D:displayname>'
                '</D:prop></D:set></D:mkcol>')
        status = self.request("MKCOL", f"/{USER}/{name}/", body)[0]
        assert status == 201, status
        return f"{self.root}{USER}/{name}/"

    def cards(self, name):
        """Every card of an address book, fetched in one addressbook-multiget: {path: text}."""
        body = ('<?xml version="1.0"?><D:propfind xmlns:D="DAV:">'
                '<D:prop><D:getetag/></D:prop></D:propfind>')
        status, _, data = self.request("PROPFIND", f"/{USER}/{name}/", body, {"Depth": "1"})
        assert status == 207, status
        paths = [e.text for e in ET.fromstring(data).iter("{DAV:}href")
                 if not e.text.endswith("/")]
        body = ('<?xml version="1.0"?><C:addressbook-multiget xmlns:D="DAV:" '
                'xmlns:C="urn:ietf:params:xml:ns:carddav"><D:prop><C:address-data/></D:prop>' +
                "".join(f"<D:href>{p}</D:href>" for p in paths) + "</C:addressbook-multiget>")
        status, _, data = self.request("REPORT", f"/{USER}/{name}/", body, {"Depth": "1"})
        assert status == 207, status
        cards = {}
        for response in ET.fromstring(data).iter("{DAV:}response"):
            card = response.find(".//{urn:ietf:params:xml:ns:carddav}address-data")
            if card is not None and card.text:
                cards[response.find("{DAV:}href").text] = card.text.replace("\n", "\r\n") \
                    if "\r\n" not in card.text else card.text
        return cards

    def log_offset(self):
        self.log.flush()
        return os.path.getsize(self.log_path)

    def requests_since(self, offset):
        """The request lines Radicale logged since an offset: "METHOD path depth"."""
        with open(self.log_path, "rb") as f:
            f.seek(offset)
            text = f.read().decode(errors="replace")
        found = []
        for line in text.splitlines():
            if "] [INFO] " in line and " request for '" in line:
                words = line.split("] [INFO] ", 1)[1].split()
                depth = line.split("with depth '")[1].split("'")[0] if "depth '" in line else ""
                found.append(f"{words[0]} {words[3].strip(chr(39))} {depth}".strip())
        return found


def write_book(path, records, encoding="cp1252"):
    lines = ["[OPCIONES]"] + ["YES"] * 11
    for r in records:
        lines += [r.get(f, "") for f in FIELDS]
    with open(path, "wb") as f:
        f.write("".join(l + "\r\n" for l in lines).encode(encoding))


def read_book(path):
    if not os.path.exists(path):
        return []
    lines = open(path, "rb").read().decode("cp1252").split("\r\n")[12:-1]
    return [dict(zip(FIELDS, lines[i:i + 11])) for i in range(0, len(lines), 11)]


def generated_records(count, prefix="Persona"):
    return [{"nombre": f"{prefix} {i:04d} Peña", "direccion": f"Calle Mayor {i}, 2º",
             "telefono": f"91{i:07d}", "e_mail": f"p{i}@example.com", "cp": f"{28000 + i}",
             "movil": f"6{i:08d}", "organizacion": "Taller; Núñez", "departamento": "Ventas",
             "web": f"https://example.com/{i},a", "oficina": f"Planta {i % 7}"}
            for i in range(count)]


def fields_of_card(text):
    """The eleven fields as vobject reads a card, by the program's mapping."""
    card = vobject.readOne(text)
    r = dict.fromkeys(FIELDS, "")
    r["nombre"] = card.fn.value
    if hasattr(card, "adr"):
        a = card.adr.value
        r["direccion"], r["cp"], r["oficina"] = a.street, a.code, a.extended
    for tel in reversed(card.contents.get("tel", [])):  # the first of each kind wins
        types = [t.lower() for t in tel.params.get("TYPE", [])]
        r["fax" if "fax" in types else "movil" if "cell" in types else "telefono"] = tel.value
    if hasattr(card, "email"):
        r["e_mail"] = card.email.value
    if hasattr(card, "org"):
        r["organizacion"] = card.org.value[0]
        r["departamento"] = ", ".join(card.org.value[1:])
    if hasattr(card, "url"):
        r["web"] = card.url.value
    return r


def as_multiset(records):
    return collections.Counter(tuple(r.get(f, "") for f in FIELDS) for r in records)


failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def finish():
    print(f"{'FAILED' if failures else 'OK'}: {len(failures)} failed checks")
    sys.exit(1 if failures else 0)


def client_setup(server, work):
    """The program's environment (Spanish locale, the test authority trusted) and a password
    file only its owner can read."""
    env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    env.update(LC_ALL="es_ES.UTF-8", SSL_CERT_FILE=server.ca)
    secret = os.path.join(work, "clave")
    with open(secret, "w") as f:
        f.write(PASSWORD + "\n")
    os.chmod(secret, 0o600)
    return env, secret

#!/usr/bin/python3
"""Checks the program's conversions against readers and writers nobody here wrote:
Python's vobject and csv modules and Debian's abook.

    check_peers.py TORVIKALEN

Each check converts with the program itself (torvikalen --convert) and compares every
field. The books are Windows-1252, the code page of a Spanish locale."""
import csv
import os
import random
import subprocess
import sys
import tempfile

import vobject

PROGRAM = sys.argv[1]
FIELDS = ["nombre", "direccion", "telefono", "e_mail", "cp", "movil", "fax",
          "organizacion", "departamento", "web", "oficina"]
HEADER = ["Nombre y Apellidos", "Dirección", "Teléfono", "Correo Electrónico",
          "Código Postal", "Móvil", "Fax", "Organización", "Departamento", "Página Web",
          "Oficina"]
failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("FAIL:", what)


def convert(src, dst, *extra):
    env = dict(os.environ, LC_ALL="es_ES.UTF-8")
    run = subprocess.run([PROGRAM, "--convert", src, dst, *extra], env=env,
                         capture_output=True, text=True)
    if run.returncode != 0:
        raise SystemExit(f"torvikalen --convert {src} {dst} failed: {run.stderr}")


def write_book(path, records):
    lines = ["[OPCIONES]"] + ["YES"] * 11
    for r in records:
        lines += [r[f] for f in FIELDS]
    with open(path, "wb") as f:
        f.write("".join(l + "\r\n" for l in lines).encode("cp1252"))


def read_book(path):
    lines = open(path, "rb").read().decode("cp1252").split("\r\n")[12:-1]
    return [dict(zip(FIELDS, lines[i:i + 11])) for i in range(0, len(lines), 11)]


def generated_records(count):
    pieces = ["Muñoz", "Ángel", "a,b", "c;d", "e\\f", '"q"', "g:h", "¿Qué?", "€ 5",
              "Peña", "x" * 80, "=3D", "Ibáñez", "año"]
    rng = random.Random(16)
    records = []
    for _ in range(count):
        r = {}
        for f in FIELDS:
            r[f] = " ".join(rng.choice(pieces) for _ in range(rng.randrange(4)))
        records.append(r)
    records[0]["nombre"] = "Ana Ruiz Gómez"
    return records


def check_export(work):
    """Every exported card and CSV row gives back each field."""
    records = generated_records(200)
    book = os.path.join(work, "gen.kbx")
    write_book(book, records)
    convert(book, os.path.join(work, "gen.vcf"))
    convert(book, os.path.join(work, "gen.csv"))

    text = open(os.path.join(work, "gen.vcf"), encoding="utf-8", newline="").read()
    cards = list(vobject.readComponents(text))
    check(len(cards) == len(records), f"vobject read {len(cards)} cards of {len(records)}")
    for i, (card, r) in enumerate(zip(cards, records)):
        def first(name, pick=lambda p: True):
            for p in card.contents.get(name, []):
                if pick(p):
                    return p.value
            return None
        tels = {}
        for t in card.contents.get("tel", []):
            tels.setdefault(t.params.get("TYPE", [""])[0], t.value)
        adr = first("adr")
        org = first("org") or ["", ""]
        got = {
            "nombre": card.fn.value,
            "direccion": adr.street if adr else "",
            "cp": adr.code if adr else "",
            "oficina": adr.extended if adr else "",
            "telefono": tels.get("home", ""),
            "movil": tels.get("cell", ""),
            "fax": tels.get("fax", ""),
            "e_mail": first("email") or "",
            "organizacion": org[0],
            "departamento": org[1] if len(org) > 1 else "",
            "web": first("url") or "",
        }
        for f in FIELDS:
            check(got[f] == r[f], f"vobject card {i} {f}: {got[f]!r} != {r[f]!r}")

    with open(os.path.join(work, "gen.csv"), encoding="utf-8", newline="") as f:
        rows = list(csv.reader(f))
    check(rows[0] == HEADER, f"csv header {rows[0]}")
    check(len(rows) == len(records) + 1, f"csv has {len(rows)} rows")
    for i, (row, r) in enumerate(zip(rows[1:], records)):
        check(row == [r[f] for f in FIELDS], f"csv row {i}: {row}")

    for middle in ("gen.vcf", "gen.csv"):
        back = os.path.join(work, "back.kbx")
        convert(os.path.join(work, middle), back)
        check(open(back, "rb").read() == open(book, "rb").read(),
              f"kbx -> {middle} -> kbx is not byte-identical")


def expect_book(path, expected, what):
    got = read_book(path)
    check(len(got) == len(expected), f"{what}: {len(got)} contacts, {len(expected)} expected")
    for i, (g, e) in enumerate(zip(got, expected)):
        for f in FIELDS:
            check(g[f] == e.get(f, ""), f"{what} contact {i} {f}: {g[f]!r} != {e.get(f, '')!r}")


def check_vobject_cards(work):
    """Cards that vobject writes import with every field in its place."""
    card = vobject.vCard()
    card.add("fn").value = "José Muñoz, hijo"
    card.add("n").value = vobject.vcard.Name(family="Muñoz", given="José")
    card.add("adr").value = vobject.vcard.Address(street="Calle Mayor; 1", city="León",
                                                  code="24001", extended="Oficina 2")
    for kind, number in (("HOME", "987 1"), ("CELL", "600 1"), ("FAX", "987 2"),
                         ("WORK", "987 3")):
        tel = card.add("tel")
        tel.value = number
        tel.type_param = kind
    card.add("email").value = "jose@example.com"
    card.add("org").value = ["Taller, S.L.", "Motores"]
    card.add("url").value = "https://taller.example/"
    path = os.path.join(work, "vobject.vcf")
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(card.serialize())
    convert(path, os.path.join(work, "vobject.kbx"))
    expect_book(os.path.join(work, "vobject.kbx"), [{
        "nombre": "José Muñoz, hijo", "direccion": "Calle Mayor; 1, León", "cp": "24001",
        "oficina": "Oficina 2", "telefono": "987 1", "movil": "600 1", "fax": "987 2",
        "e_mail": "jose@example.com", "organizacion": "Taller, S.L.",
        "departamento": "Motores", "web": "https://taller.example/"}], "vobject card")


def abook(work, informat, infile, outformat, outfile):
    subprocess.run(["abook", "--convert", "--informat", informat, "--infile", infile,
                    "--outformat", outformat, "--outfile", outfile], check=True,
                   env=dict(os.environ, HOME=work), capture_output=True)


def check_abook(work):
    """abook's vCard and CSV import; our cards keep their fields in abook."""
    native = os.path.join(work, "libreta.abook")
    with open(native, "w", encoding="utf-8") as f:
        f.write("[format]\nprogram=abook\nversion=0.6.1\n\n"
                "[0]\nname=Luis \"El\" Gil, Jr\nemail=luis@example.com,otro@example.com\n"
                "address=Calle Peña 2\naddress2=Despacho 4\ncity=Sevilla\nzip=41001\n"
                "country=España\nphone=955 1\nworkphone=955 2\nfax=955 3\nmobile=600 1\n"
                "url=https://luis.example\nnotes=nota\n\n"
                "[1]\nname=Sólo Nombre\n")
    abook(work, "abook", native, "vcard", os.path.join(work, "abook.vcf"))
    convert(os.path.join(work, "abook.vcf"), os.path.join(work, "abook-vcf.kbx"))
    expect_book(os.path.join(work, "abook-vcf.kbx"), [
        {"nombre": "Luis \"El\" Gil, Jr", "direccion": "Calle Peña 2, Sevilla, España",
         "cp": "41001", "oficina": "Despacho 4", "telefono": "955 1", "movil": "600 1",
         "fax": "955 3", "e_mail": "luis@example.com", "web": "https://luis.example"},
        {"nombre": "Sólo Nombre"}], "abook vCard")

    abook(work, "abook", native, "csv", os.path.join(work, "abook.csv"))
    convert(os.path.join(work, "abook.csv"), os.path.join(work, "abook-csv.kbx"))
    expect_book(os.path.join(work, "abook-csv.kbx"), [
        {"nombre": "Luis \"El\" Gil, Jr", "telefono": "955 1", "e_mail": "luis@example.com"},
        {"nombre": "Sólo Nombre"}], "abook CSV")

    # Our cards as abook reads them: Oficina is the address's second line there.
    ours = {"nombre": "Ana Ruiz", "direccion": "Calle Mayor 1", "cp": "28001",
            "oficina": "Oficina 3B", "telefono": "911 1", "movil": "600 2", "fax": "911 2",
            "e_mail": "ana@example.com", "web": "https://ana.example",
            "organizacion": "", "departamento": ""}
    write_book(os.path.join(work, "ours.kbx"), [ours])
    convert(os.path.join(work, "ours.kbx"), os.path.join(work, "ours.vcf"))
    abook(work, "vcard", os.path.join(work, "ours.vcf"), "abook", os.path.join(work, "ours.abook"))
    entry = {}
    for line in open(os.path.join(work, "ours.abook"), encoding="utf-8"):
        if "=" in line and not line.startswith("#"):
            key, value = line.rstrip("\n").split("=", 1)
            entry[key] = value
    wanted = {"name": "Ana Ruiz", "address": "Calle Mayor 1", "address2": "Oficina 3B",
              "zip": "28001", "phone": "911 1", "mobile": "600 2", "fax": "911 2",
              "email": "ana@example.com", "url": "https://ana.example"}
    for key, value in wanted.items():
        check(entry.get(key) == value, f"abook kept {key}={entry.get(key)!r}, not {value!r}")


with tempfile.TemporaryDirectory() as work:
    check_export(work)
    check_vobject_cards(work)
    check_abook(work)

print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
sys.exit(1 if failures else 0)

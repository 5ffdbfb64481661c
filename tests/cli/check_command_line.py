#!/usr/bin/python3
"""The command line a user types, without a display: what each use prints and its exit status.

    check_command_line.py TORVIKALEN"""
import os
import pty
import subprocess
import sys
import tempfile

PROGRAM = sys.argv[1]
ENV = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
ENV["LC_ALL"] = "es_ES.UTF-8"
failures = []


def book(records):
    lines = ["[OPCIONES]"] + ["YES"] * 11
    for i in range(records):
        lines += [f"Contacto {i}", "Calle Peña", "555"] + [""] * 8
    return "".join(l + "\r\n" for l in lines).encode("cp1252")


with tempfile.TemporaryDirectory() as work:
    def path(name):
        return os.path.join(work, name)

    files = {
        "a.kbx": book(2),
        "big.kbx": book(9000),
        "bad.vcf": b"BEGIN:VCARD\r\nVERSION:3.0\r\nFN Ana\r\nEND:VCARD\r\n",
        "ru.vcf": "BEGIN:VCARD\r\nFN:Ана\r\nEND:VCARD\r\n".encode(),
        "unknown.csv": "Full name;Tel;Notas\r\nAna Peña;955;x\r\n".encode("cp1252"),
        "google.csv": "First Name,Last Name,Notes,Birthday,Phone 1 - Label,Phone 1 - Value\n"
                      "Ana,Gil,n,1990,Mobile,600 ::: 601\nLuis,Gil,n,,,\n".encode(),
        "thunderbird.ldif": b"dn: cn=Ana\ncn:: QW5hIFBl8WE=\nmail: a@x\n",
    }
    for name, data in files.items():
        with open(path(name), "wb") as f:
            f.write(data)

    # arguments, exit status, text expected in stdout, in stderr, file that must not exist
    cases = [
        (["--version"], 0, "torvikalen (VELDRANO) 1.", "", None),
        (["--version"], 0, "GPL-3.0-or-later", "", None),
        (["--help"], 0, "--convert ENTRADA SALIDA", "", None),
        (["-h"], 0, "--lossy", "", None),
        (["--convert", "a.kbx"], 2, "", "necesita un archivo de entrada y uno de salida", None),
        (["--convert", "a.kbx", "a.txt"], 2, "", "formato", "a.txt"),
        (["--lossy"], 2, "", "solo vale con --convert", None),
        (["--convert", "a.kbx", "o.vcf", "--bogus"], 2, "", "desconocida", "o.vcf"),
        (["--convert", "bad.vcf", "o.kbx"], 1, "", "bad.vcf, línea 3", "o.kbx"),
        (["--convert", "ru.vcf", "o.kbx"], 1, "", "U+0410", "o.kbx"),
        (["--convert", "missing.vcf", "o.kbx"], 1, "", "missing.vcf", "o.kbx"),
        (["--convert", "a.vcf", "o.kbx"], 1, "", "a.vcf", "o.kbx"),
        (["--convert", "ru.vcf", "o.kbx", "--lossy"], 0, "", "no los admite: 3", None),
        (["--convert", "big.kbx", "big.csv"], 0, "", "", None),  # no progress off a terminal
        (["--help"], 0, "--columns CAMPO=COLUMNA", "", None),
        (["--columns", "Nombre=Tel"], 2, "", "--columns solo vale con --convert", None),
        (["--convert", "unknown.csv", "u.kbx"], 1, "", "columnas del archivo CSV: «Full name», "
         "«Tel», «Notas»", "u.kbx"),
        (["--convert", "unknown.csv", "u.kbx", "--columns", "Nombre=Ful"], 1, "",
         "ninguna columna «Ful»", "u.kbx"),
        (["--convert", "unknown.csv", "mapped.kbx", "--columns", "Nombre=Full name,teléfono=TEL"],
         0, "", "", None),
        (["--convert", "google.csv", "google.vcf"], 0, "",
         "agenda:\n  notas: 2 contactos\n  otros teléfonos: 1 contacto\n  cumpleaños: 1 contacto\n",
         None),
        (["--convert", "thunderbird.ldif", "l.vcf"], 1, "", "thunderbird.ldif, línea 2", "l.vcf"),
        (["--help"], 0, "--sync AGENDA URL", "", None),
        (["--sync", "a.kbx"], 2, "", "--sync necesita una agenda y la URL", None),
        (["--sync-list"], 2, "", "--sync-list necesita la URL", None),
        (["--force"], 2, "", "solo valen con --sync o --sync-list", None),
        (["--sync", "a.kbx", "https://127.0.0.1:9/", "--password-file", "a.kbx"], 2, "",
         "--password-file necesita --user", None),
        (["--sync", "a.kbx", "--sort", "https://127.0.0.1:9/"], 2, "", "no se combinan", None),
        (["--sync", "a.kbx", "http://127.0.0.1:9/"], 1, "", "no se puede conectar con",
         ".a.kbx.sync"),
    ]
    for args, status, out, err, absent in cases:
        run = subprocess.run([PROGRAM] + args, cwd=work, env=ENV, capture_output=True)
        stdout, stderr = run.stdout.decode(), run.stderr.decode()
        what = " ".join(args)
        if run.returncode != status:
            failures.append(f"{what}: status {run.returncode}, not {status}: {stderr}")
        if out not in stdout:
            failures.append(f"{what}: stdout lacks {out!r}: {stdout!r}")
        if err not in stderr or (not err and stderr):
            failures.append(f"{what}: stderr {stderr!r}, expected {err!r}")
        if absent and os.path.exists(path(absent)):
            failures.append(f"{what}: wrote {absent}")

    with open(path("mapped.kbx"), "rb") as f:
        mapped = f.read().decode("cp1252").split("\r\n")
    if mapped[12:15] != ["Ana Peña", "", "955"]:
        failures.append(f"--columns did not map the columns: {mapped[12:15]}")

    # On a terminal the conversion counts the contacts, and clears its line at the end.
    leader, follower = pty.openpty()
    run = subprocess.run([PROGRAM, "--convert", "big.kbx", "big.vcf"], cwd=work, env=ENV,
                         stderr=follower, stdout=subprocess.DEVNULL)
    os.close(follower)
    shown = b""
    while True:
        try:
            chunk = os.read(leader, 4096)
        except OSError:
            break
        if not chunk:
            break
        shown += chunk
    if run.returncode != 0 or b"Convirtiendo: 8192 contactos" not in shown:
        failures.append(f"no progress line on a terminal: {shown!r}")
    if not shown.endswith(b"\r\x1b[K"):
        failures.append(f"progress line not cleared: {shown[-20:]!r}")

    # The password is asked on the terminal, and what is typed is not shown; without a
    # session bus there is no keyring to offer it to.
    child, terminal = pty.fork()
    if child == 0:
        os.execve(PROGRAM, [PROGRAM, "--sync-list", "http://127.0.0.1:9/", "--user", "ana"], ENV)
    shown = b""
    while b": " not in shown:
        shown += os.read(terminal, 1024)
    os.write(terminal, b"secreto\n")
    while True:
        try:
            chunk = os.read(terminal, 4096)
        except OSError:
            break
        if not chunk:
            break
        shown += chunk
    status = os.waitpid(child, 0)[1]
    if not shown.startswith(b"Contrase\xc3\xb1a de ana en http://127.0.0.1:9/: ") or \
            b"secreto" in shown or b"llavero" in shown or os.waitstatus_to_exitcode(status) != 1:
        failures.append(f"password on the terminal: {shown!r}")

for f in failures:
    print("FAIL:", f)
print(f"{0 if failures else 1} passed, {1 if failures else 0} failed")
sys.exit(1 if failures else 0)

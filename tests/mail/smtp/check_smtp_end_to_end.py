"""End to end: the program's SMTP client against aiosmtpd, checked with Python's email parser.

usage: check_smtp_end_to_end.py <mail_smtp_sender>
"""

import email
import email.policy
import logging
import os
import subprocess
import sys
import tempfile
import unittest
import warnings

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from smtp_server import CaptureServer  # noqa: E402

SENDER = None



def setUpModule():
    # AUTH without TLS is what these tests want; the server's warnings about it are noise.
    # (Here rather than at import: the test runner resets the warning filters.)
    warnings.filterwarnings("ignore", message="Requiring AUTH while not requiring TLS")
    logging.getLogger("mail.log").setLevel(logging.ERROR)


def cp(text):
    """The program's texts are Windows-1252 bytes."""
    return text.encode("cp1252")


def send(server, mode, subject, to, frm, body, *extra):
    with tempfile.NamedTemporaryFile(delete=False) as f:
        f.write(body)
        path = f.name
    try:
        result = subprocess.run([SENDER, str(server.port), mode, subject, to, frm, path, *extra],
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
    finally:
        os.unlink(path)
    return result


def parse(data):
    return email.message_from_bytes(data, policy=email.policy.default)


class EndToEnd(unittest.TestCase):
    def sent_ok(self, result):
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_spanish_names_three_recipients_and_dotted_lines(self):
        subject = "Reunión de mañana: ¿café o té? ¡Sí!"
        to = 'José Núñez <jose@example.com>, "Peña, María" <maria@example.com>, Ángel <angel@example.com>'
        frm = "Lucía Ferrer <lucia@example.com>"
        lines = ["Hola a todos,", ".", "..dos puntos", ".empieza con punto", "",
                 "Un saludo desde Logroño.", "fin."]
        with CaptureServer() as server:
            self.sent_ok(send(server, "send", cp(subject), cp(to), cp(frm),
                              cp("\r\n".join(lines) + "\r\n")))
            (got,) = server.messages
        self.assertEqual(got.mail_from, "lucia@example.com")
        self.assertEqual(got.rcpt_tos, ["jose@example.com", "maria@example.com", "angel@example.com"])
        msg = parse(got.data)
        self.assertEqual(str(msg["Subject"]), subject)
        self.assertEqual([(a.display_name, a.addr_spec) for a in msg["To"].addresses],
                         [("José Núñez", "jose@example.com"), ("Peña, María", "maria@example.com"),
                          ("Ángel", "angel@example.com")])
        self.assertEqual([(a.display_name, a.addr_spec) for a in msg["From"].addresses],
                         [("Lucía Ferrer", "lucia@example.com")])
        self.assertEqual(msg["X-Priority"], "3")
        self.assertTrue(msg["X-Library"].startswith("VELDRANO Mail "))
        self.assertIsNotNone(msg["Date"].datetime)
        self.assertEqual(msg.get_payload(decode=True), cp("\r\n".join(lines) + "\r\n"))
        self.assertEqual(msg.defects, [])

    def test_group_gives_its_members(self):
        with CaptureServer() as server:
            self.sent_ok(send(server, "send", b"Grupo", cp("Equipo: ana@example.com, Luis <luis@example.com>;, eva@example.com"),
                              b"yo@example.com", b"hola\n"))
            (got,) = server.messages
        self.assertEqual(got.rcpt_tos, ["ana@example.com", "luis@example.com", "eva@example.com"])
        addresses = [a.addr_spec for a in parse(got.data)["To"].addresses]
        self.assertEqual(addresses, ["ana@example.com", "luis@example.com", "eva@example.com"])

    def test_login_against_a_server_that_requires_it(self):
        with CaptureServer(auth=("usuario", "clave secreta")) as server:
            self.sent_ok(send(server, "login", b"Con clave", b"luis@example.com", b"ana@example.com",
                              b"texto\r\n", b"usuario", b"clave secreta"))
            wrong = send(server, "login", b"Con clave", b"luis@example.com", b"ana@example.com",
                         b"texto\r\n", b"usuario", b"otra")
            got = server.messages
        self.assertEqual(len(got), 1)
        self.assertEqual(got[0].login, "usuario")
        self.assertEqual(wrong.returncode, 1)
        self.assertIn(b"Authentication credentials invalid", wrong.stdout)

    def test_refused_recipient_reports_the_server_text_and_delivers_nothing(self):
        with CaptureServer(refuse=["nadie@example.com"]) as server:
            result = send(server, "send", b"Hola", b"nadie@example.com", b"ana@example.com", b"x")
            got = server.messages
        self.assertEqual(result.returncode, 1)
        self.assertIn(b"no such user here", result.stdout)
        self.assertEqual(got, [])

    def test_japanese_subject_and_body_in_iso_2022_jp(self):
        subject = "会議のお知らせ（第２回）"
        body = ["明日の会議は十時からです。", ".以上", "ｶﾀｶﾅ"]
        with CaptureServer() as server:
            self.sent_ok(send(server, "japanese", subject.encode("cp932"), b"taro@example.jp",
                              "山田 <yamada@example.jp>".encode("cp932"),
                              "\r\n".join(body).encode("cp932")))
            (got,) = server.messages
        msg = parse(got.data)
        self.assertEqual(str(msg["Subject"]), subject)
        self.assertIn("=?ISO-2022-JP?B?", got.data.decode("ascii").split("\r\n")[1])
        self.assertEqual([a.display_name for a in msg["From"].addresses], ["山田"])
        lines = msg.get_payload(decode=True).decode("iso-2022-jp").split("\r\n")
        # Half-width katakana goes out full width, as ISO-2022-JP has no half-width set.
        self.assertEqual(lines, ["明日の会議は十時からです。", ".以上", "カタカナ", ""])

    def test_text_part_and_attachment(self):
        data = bytes(range(256)) * 40
        with CaptureServer() as server:
            self.sent_ok(send(server, "parts", b"Adjunto", b"luis@example.com", b"ana@example.com", data))
            (got,) = server.messages
        msg = parse(got.data)
        self.assertTrue(msg.is_multipart())
        text, attachment = list(msg.iter_parts())
        self.assertEqual(text.get_content().splitlines(), ["Adjunto el fichero.", ".punto"])
        self.assertEqual(attachment.get_filename(), "datos.bin")
        self.assertEqual(attachment.get_payload(decode=True), data)


if __name__ == "__main__":
    SENDER = sys.argv.pop(1)
    unittest.main(verbosity=2)

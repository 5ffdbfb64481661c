"""End to end: the program's SMTP client against aiosmtpd, checked with Python's email parser.

usage: check_smtp_end_to_end.py <mail_smtp_sender>
"""

import base64
import email
import email.policy
import logging
import quopri
import re
import resource
import os
import subprocess
import sys
import tempfile
import unittest
import warnings

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from smtp_server import CaptureServer, HostileServer, RecordingProxy  # noqa: E402

SENDER = None



def setUpModule():
    # AUTH without TLS is what these tests want; the server's warnings about it are noise.
    # (Here rather than at import: the test runner resets the warning filters.)
    warnings.filterwarnings("ignore", message="Requiring AUTH while not requiring TLS")
    # Refused handshakes are what some tests want; the server's tracebacks about them are noise.
    logging.getLogger("mail.log").setLevel(logging.CRITICAL)


def cp(text):
    """The program's texts are Windows-1252 bytes."""
    return text.encode("cp1252")


def send(server, mode, subject, to, frm, body, *extra, target=None, trust=None):
    """Runs the sender against server.port, or against target (a server text) when given;
    trust names the certificate file of the authority the sender trusts."""
    with tempfile.NamedTemporaryFile(delete=False) as f:
        f.write(body)
        path = f.name
    env = dict(os.environ)
    if trust:
        env["SSL_CERT_FILE"] = trust
    try:
        result = subprocess.run([SENDER, target or str(server.port), mode, subject, to, frm, path,
                                 *extra], stdin=subprocess.DEVNULL, capture_output=True,
                                timeout=60, env=env)
    finally:
        os.unlink(path)
    return result


STRICT = email.policy.default.clone(raise_on_defect=True)


def parse(data):
    """As a reader that follows the standards reads it: any defect raises."""
    return email.message_from_bytes(data, policy=STRICT)


ENCODED_WORD = re.compile(rb"=\?([^?]+)\?([BbQq])\?([^?]*)\?=")


def lone_words(data):
    """Every encoded word of the header block, decoded on its own: (charset, bytes, text)."""
    words = []
    for charset, letter, text in ENCODED_WORD.findall(data.split(b"\r\n\r\n", 1)[0]):
        if letter in b"Bb":
            raw = base64.b64decode(text)
        else:
            raw = quopri.decodestring(text.replace(b"_", b" "), header=True)
        words.append((charset.decode(), raw, raw.decode(charset.decode())))
    return words


def send_measured(port, body=b"x"):
    """Runs the sender like send() and returns (result, peak resident memory in MB)."""
    with tempfile.NamedTemporaryFile(delete=False) as f:
        f.write(body)
        path = f.name
    try:
        with subprocess.Popen([SENDER, str(port), "send", b"Hola", b"luis@example.com",
                               b"ana@example.com", path], stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE) as proc:
            out, err = proc.communicate(timeout=60)
        usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    finally:
        os.unlink(path)
    return subprocess.CompletedProcess(proc.args, proc.returncode, out, err), usage.ru_maxrss / 1024


class Hostile(unittest.TestCase):
    def test_endless_reply_keeps_memory_bounded(self):
        server = HostileServer(b"220-hello\r\n", b"220-" + b"x" * 70 + b"\r\n")
        result, peak_mb = send_measured(server.port)
        server.close()
        self.assertEqual(result.returncode, 1, result.stdout + result.stderr)
        self.assertIn("respuesta demasiado larga", result.stdout.decode("utf-8"))
        self.assertLess(peak_mb, 64)
        # It stopped reading: what the server got out is the reply limit plus socket buffers.
        self.assertLess(server.sent, 16 * 1024 * 1024)

    def test_garbage_reply_is_shown_as_printable_text(self):
        server = HostileServer(b"554 \x00\x07\xff\xfe\x1b[2Jbusy\x80 ahora\r\n")
        result = send(server, "send", b"Hola", b"luis@example.com", b"ana@example.com", b"x")
        server.close()
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stdout, b"error: ?????[2Jbusy? ahora\r\n\n")


class EndToEnd(unittest.TestCase):
    def sent_ok(self, result):
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)

    def test_spanish_names_three_recipients_and_dotted_lines(self):
        subject = "Reunión de mañana: ¿café o té? ¡Sí! Precio 5€"
        to = 'José Núñez <jose@example.com>, "Peña, María" <maria@example.com>, Ángel <angel@example.com>'
        frm = "Lucía Ferrer 5€ <lucia@example.com>"
        lines = ["Hola a todos,", ".", "..dos puntos", ".empieza con punto", "",
                 "Precio: 10 € acentos áéíóú ¿¡ “comillas” — fin.",
                 ("Un párrafo largo, " * 170).strip(), "ñ" * 3000,
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
                         [("Lucía Ferrer 5€", "lucia@example.com")])
        self.assertEqual(msg["X-Priority"], "3")
        self.assertTrue(msg["X-Library"].startswith("VELDRANO Mail "))
        self.assertIsNotNone(msg["Date"].datetime)
        self.assertRegex(msg["Message-ID"], r"^<[^@<>]+@example\.com>$")
        self.assertEqual(msg.get_content_type(), "text/plain")
        self.assertEqual(msg.get_content_charset(), "windows-1252")
        self.assertEqual(msg["Content-Transfer-Encoding"], "quoted-printable")
        self.assertEqual(msg.get_content().splitlines(), lines)
        body = got.data.split(b"\r\n\r\n", 1)[1]
        self.assertTrue(all(len(line) <= 76 for line in body.split(b"\r\n")))
        for charset, raw, text in lone_words(got.data):
            self.assertIn(charset, ("ISO-8859-1", "windows-1252"))

    def test_plain_ascii_goes_as_seven_bit(self):
        lines = ["Hola,", "nos vemos a las 10.", ".", "Adios"]
        with CaptureServer() as server:
            self.sent_ok(send(server, "send", b"Cita", b"luis@example.com", b"ana@example.com",
                              cp("\r\n".join(lines))))
            (got,) = server.messages
        msg = parse(got.data)
        self.assertEqual(msg.get_content_charset(), "us-ascii")
        self.assertEqual(msg["Content-Transfer-Encoding"], "7bit")
        self.assertEqual(msg.get_content().splitlines(), lines)

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
        subject = "会議のお知らせ（第２回）" + "漢字" * 15
        body = ["明日の会議は十時からです。", ".以上", "ｶﾀｶﾅ", "長" * 600]
        with CaptureServer() as server:
            self.sent_ok(send(server, "japanese", subject.encode("cp932"), b"taro@example.jp",
                              "山田 <yamada@example.jp>".encode("cp932"),
                              "\r\n".join(body).encode("cp932")))
            (got,) = server.messages
        msg = parse(got.data)
        self.assertEqual(str(msg["Subject"]), subject)
        self.assertIn("=?ISO-2022-JP?B?", got.data.decode("ascii").split("\r\n")[1])
        self.assertEqual([a.display_name for a in msg["From"].addresses], ["山田"])
        self.assertEqual(msg.get_content_charset(), "iso-2022-jp")
        # Half-width katakana goes out full width, as ISO-2022-JP has no half-width set.
        self.assertEqual(msg.get_content().splitlines(),
                         ["明日の会議は十時からです。", ".以上", "カタカナ", "長" * 600])
        words = lone_words(got.data)
        self.assertGreater(len(words), 2)
        for charset, raw, text in words:
            self.assertEqual(charset, "ISO-2022-JP")
            if b"\x1b$B" in raw:
                self.assertTrue(raw.startswith(b"\x1b$B") and raw.endswith(b"\x1b(B"), raw)


class TestAuthority:
    """Certificates made with the openssl command for one test run: an authority the sender
    trusts, a server certificate for 127.0.0.1 and localhost, one for another host name, and
    one from an authority nobody trusts."""

    def __init__(self, folder):
        self.folder = folder
        self.ca = self._authority("ca")
        self.stranger_ca = self._authority("stranger-ca")
        self.server = self._certificate("server", self.ca, "DNS:localhost,IP:127.0.0.1")
        self.other_host = self._certificate("other", self.ca, "DNS:otro.example")
        self.unknown_issuer = self._certificate("stranger", self.stranger_ca,
                                                "DNS:localhost,IP:127.0.0.1")

    def _openssl(self, *args):
        subprocess.run(["openssl", *args], check=True, capture_output=True, cwd=self.folder)

    def _authority(self, name):
        self._openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                      "-nodes", "-keyout", name + ".key", "-out", name + ".pem", "-days", "2",
                      "-subj", "/CN=Autoridad de prueba " + name,
                      "-addext", "basicConstraints=critical,CA:TRUE",
                      "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        return os.path.join(self.folder, name)

    def _certificate(self, name, authority, names):
        with open(os.path.join(self.folder, name + ".ext"), "w") as f:
            f.write("subjectAltName=%s\nextendedKeyUsage=serverAuth\n" % names)
        self._openssl("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes",
                      "-keyout", name + ".key", "-out", name + ".csr", "-subj", "/CN=" + name)
        self._openssl("x509", "-req", "-in", name + ".csr", "-CA", authority + ".pem",
                      "-CAkey", authority + ".key", "-CAcreateserial", "-days", "2",
                      "-extfile", name + ".ext", "-out", name + ".pem")
        path = os.path.join(self.folder, name)
        return (path + ".pem", path + ".key")


class Submission(unittest.TestCase):
    """The send-mail dialog's sessions: the server text, STARTTLS, implicit TLS and login."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.certs = TestAuthority(cls.folder.name)
        cls.trust = cls.certs.ca + ".pem"

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def submit(self, server, mode, *login, target=None):
        return send(server, mode, cp("Envío seguro"), b"luis@example.com",
                    b"Ana <ana@example.com>", cp("Hola, ¿qué tal?\r\n"), *login,
                    target=target or "127.0.0.1:%d" % server.port, trust=self.trust)

    def delivered(self, server, result):
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        (got,) = server.messages
        self.assertEqual(parse(got.data).get_content().splitlines(), ["Hola, ¿qué tal?"])
        return got

    def test_plain_port_25_session_is_the_one_of_today(self):
        def transcript(mode):
            with CaptureServer() as server:
                proxy = RecordingProxy(server.port)
                target = "127.0.0.1:%d" % proxy.port if mode == "submit" else None
                result = send(proxy, mode, b"Hola", b"luis@example.com", b"ana@example.com",
                              b"texto\r\n", target=target)
                proxy.close()
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
            # Only the date and the message identifier differ from one message to the next.
            return re.sub(rb"(Date|Message-ID): [^\r]*", rb"\1: -", proxy.sent)

        self.assertEqual(transcript("submit"), transcript("send"))

    def test_ipv6_address_in_brackets(self):
        with CaptureServer(host="::1") as server:
            self.delivered(server, self.submit(server, "submit",
                                               target="[::1]:%d" % server.port))

    def test_starttls_required_with_plain_login(self):
        with CaptureServer(auth=("ana", "clave secreta"), starttls=self.certs.server) as server:
            got = self.delivered(server, self.submit(server, "submit-other", b"ana",
                                                     b"clave secreta"))
            self.assertEqual(server.mechanisms, ["PLAIN"])
        self.assertEqual(got.login, "ana")

    def test_starttls_with_login_when_only_login_is_offered(self):
        with CaptureServer(auth=("ana", "clave"), starttls=self.certs.server,
                           only_login=True) as server:
            self.delivered(server, self.submit(server, "submit-other", b"ana", b"clave"))
            self.assertEqual(server.mechanisms, ["LOGIN"])

    def test_login_with_accents_goes_as_utf8_by_plain_and_by_login(self):
        # RFC 4616 (and servers reading LOGIN alike): user name and password are UTF-8.
        for only_login, mechanism in [(False, "PLAIN"), (True, "LOGIN")]:
            with self.subTest(mechanism=mechanism):
                with CaptureServer(auth=("luis.núñez", "contraseña-€5"), charset="utf-8",
                                   starttls=self.certs.server, only_login=only_login) as server:
                    self.delivered(server, self.submit(server, "submit-other", cp("luis.núñez"),
                                                       cp("contraseña-€5")))
                    self.assertEqual(server.mechanisms, [mechanism])

    def test_starttls_on_port_25_when_the_server_offers_it(self):
        with CaptureServer(auth=("ana", "clave"), starttls=self.certs.server) as server:
            self.delivered(server, self.submit(server, "submit", b"ana", b"clave"))

    def test_implicit_tls(self):
        with CaptureServer(auth=("ana", "clave"), implicit=self.certs.server) as server:
            self.delivered(server, self.submit(server, "implicit", b"ana", b"clave"))

    def test_wrong_password_shows_the_servers_text(self):
        with CaptureServer(auth=("ana", "clave"), starttls=self.certs.server) as server:
            result = self.submit(server, "submit-other", b"ana", b"otra")
            self.assertEqual(server.messages, [])
        self.assertEqual(result.returncode, 1)
        self.assertIn("no ha aceptado el usuario o la contraseña", result.stdout.decode())
        self.assertIn("Authentication credentials invalid", result.stdout.decode())

    def test_certificates_that_fail_are_refused_with_their_reason(self):
        for pair, reason in [(self.certs.other_host, "es de otro servidor"),
                             (self.certs.unknown_issuer, "lo ha emitido una autoridad desconocida")]:
            with self.subTest(reason=reason):
                with CaptureServer(auth=("ana", "clave"), starttls=pair) as server:
                    result = self.submit(server, "submit-other", b"ana", b"clave")
                    self.assertEqual(server.messages, [])
                self.assertEqual(result.returncode, 1)
                self.assertIn("El servidor no es de confianza: el certificado del servidor "
                              + reason, result.stdout.decode())

    def test_other_port_without_starttls_never_sends_the_password(self):
        with CaptureServer(auth=("ana", "clave secreta")) as server:
            proxy = RecordingProxy(server.port)
            result = self.submit(server, "submit-other", b"ana", b"clave secreta",
                                 target="127.0.0.1:%d" % proxy.port)
            proxy.close()
            self.assertEqual(server.messages, [])
        self.assertEqual(result.returncode, 1)
        self.assertIn("no ofrece conexión segura (STARTTLS)", result.stdout.decode())
        self.assertRegex(proxy.sent, rb"^EHLO [^\r]+\r\nQUIT\r\n$")


if __name__ == "__main__":
    SENDER = sys.argv.pop(1)
    unittest.main(verbosity=2)

"""The tests' SMTP peers on 127.0.0.1: aiosmtpd on a free port, keeping each message's exact
bytes and envelope (optionally requiring AUTH, LOGIN and PLAIN, offering STARTTLS or speaking
TLS from the first byte, with certificates made by the tests); a proxy that records what a
client sends; and a hostile server that scripts what no real server would say."""

import socket
import ssl
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


def free_port(host="127.0.0.1"):
    family = socket.AF_INET6 if ":" in host else socket.AF_INET
    with socket.socket(family, socket.SOCK_STREAM) as s:
        s.bind((host, 0))
        return s.getsockname()[1]


def loopback_listener():
    """A listening socket on 127.0.0.1 and a port the system picks."""
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    return listener


class Received:
    def __init__(self, mail_from, rcpt_tos, data, login):
        self.mail_from = mail_from
        self.rcpt_tos = rcpt_tos
        self.data = data  # bytes after DATA, dot-stuffing undone, final "." removed
        self.login = login


class _Handler:
    def __init__(self, refuse):
        self.messages = []
        self.lock = threading.Lock()
        self.refuse = set(refuse)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.refuse:
            return "550 5.1.1 no such user here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        login = None
        if session.authenticated and isinstance(session.auth_data, bytes):
            login = session.auth_data.decode("latin-1")
        with self.lock:
            self.messages.append(Received(envelope.mail_from, list(envelope.rcpt_tos),
                                          bytes(envelope.original_content), login))
        return "250 OK queued"


class CaptureServer:
    """with CaptureServer(auth=("user", "pass")) as server: ... server.port, server.messages"""

    def __init__(self, auth=None, refuse=(), starttls=None, implicit=None, only_login=False,
                 host="127.0.0.1", charset="latin-1"):
        """starttls / implicit: (certificate file, key file) of the server; charset: how the
        server reads the user name and password it is sent."""
        self.auth = auth
        self.charset = charset
        self.handler = _Handler(refuse)
        self.port = free_port(host)
        kwargs = {}
        if auth:
            kwargs = dict(auth_require_tls=bool(starttls), auth_required=True,
                          authenticator=self._authenticate)
            if only_login:
                kwargs["auth_exclude_mechanism"] = ["PLAIN"]
        if starttls:
            kwargs.update(tls_context=self._context(starttls), require_starttls=True)
        if implicit:
            kwargs.update(ssl_context=self._context(implicit))
        self.controller = Controller(self.handler, hostname=host, port=self.port,
                                     server_hostname="server.test", **kwargs)
        self.mechanisms = []

    @staticmethod
    def _context(pair):
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(*pair)
        return context

    def _authenticate(self, server, session, envelope, mechanism, auth_data):
        self.mechanisms.append(mechanism)
        ok = (mechanism in ("LOGIN", "PLAIN") and isinstance(auth_data, LoginPassword)
              and auth_data.login == self.auth[0].encode(self.charset)
              and auth_data.password == self.auth[1].encode(self.charset))
        # handled=False lets the server answer a refusal with its own 535.
        return AuthResult(success=ok, handled=False, auth_data=auth_data.login if ok else None)

    @property
    def messages(self):
        with self.handler.lock:
            return list(self.handler.messages)

    def __enter__(self):
        self.controller.start()
        return self

    def __exit__(self, *exc):
        self.controller.stop()
        return False


class RecordingProxy:
    """Passes bytes between a client and a server on 127.0.0.1, keeping what the client
    sent: the transcript of what went over the wire."""

    def __init__(self, upstream_port):
        self.listener = loopback_listener()
        self.port = self.listener.getsockname()[1]
        self.upstream_port = upstream_port
        self.sent = b""
        self.thread = threading.Thread(target=self._serve, daemon=True)
        self.thread.start()

    def _serve(self):
        client, _ = self.listener.accept()
        server = socket.create_connection(("127.0.0.1", self.upstream_port))
        back = threading.Thread(target=self._pump, args=(server, client, False), daemon=True)
        back.start()
        self._pump(client, server, True)
        back.join(10)
        client.close()
        server.close()

    def _pump(self, source, target, record):
        try:
            while data := source.recv(65536):
                if record:
                    self.sent += data
                target.sendall(data)
        except OSError:
            pass
        try:
            target.shutdown(socket.SHUT_WR)
        except OSError:
            pass

    def close(self):
        self.thread.join(10)
        self.listener.close()


class HostileServer:
    """A server on 127.0.0.1 that greets with `greeting` and then, when `endless`, goes on
    with reply lines until the client hangs up."""

    def __init__(self, greeting, endless=b""):
        self.sock = loopback_listener()
        self.port = self.sock.getsockname()[1]
        self.sent = 0
        self.thread = threading.Thread(target=self._serve, args=(greeting, endless), daemon=True)
        self.thread.start()

    def _serve(self, greeting, endless):
        conn, _ = self.sock.accept()
        deadline = time.monotonic() + 60  # bounded even if the client never gives up
        try:
            conn.sendall(greeting)
            while endless and time.monotonic() < deadline:
                conn.sendall(endless * 100)
                self.sent += len(endless) * 100
        except OSError:
            pass
        conn.close()

    def close(self):
        self.thread.join(70)
        self.sock.close()

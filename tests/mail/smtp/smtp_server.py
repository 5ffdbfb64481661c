"""A real SMTP peer for the tests: aiosmtpd on 127.0.0.1 and a free port, keeping each
message's exact bytes and envelope. Optionally offers AUTH LOGIN without TLS."""

import socket
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


def free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


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

    def __init__(self, auth=None, refuse=()):
        self.auth = auth
        self.handler = _Handler(refuse)
        self.port = free_port()
        kwargs = {}
        if auth:
            kwargs = dict(auth_require_tls=False, auth_required=True,
                          authenticator=self._authenticate)
        self.controller = Controller(self.handler, hostname="127.0.0.1", port=self.port,
                                     server_hostname="server.test", **kwargs)

    def _authenticate(self, server, session, envelope, mechanism, auth_data):
        ok = (mechanism == "LOGIN" and isinstance(auth_data, LoginPassword)
              and auth_data.login.decode("latin-1") == self.auth[0]
              and auth_data.password.decode("latin-1") == self.auth[1])
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

"""Runs the tests' aiosmtpd server for a window test: prints its port, waits for a line on
standard input, then writes each message received as N.eml (exact bytes) and N.env
(envelope sender, then one recipient a line) into the folder given as argument."""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "mail", "smtp"))
from smtp_server import CaptureServer  # noqa: E402

folder = sys.argv[1]
with CaptureServer() as server:
    print(server.port, flush=True)
    sys.stdin.readline()
    for i, m in enumerate(server.messages):
        with open(os.path.join(folder, f"{i}.eml"), "wb") as f:
            f.write(m.data)
        with open(os.path.join(folder, f"{i}.env"), "w", encoding="utf-8") as f:
            f.write("\n".join([m.mail_from, *m.rcpt_tos]) + "\n")

"""Prints what a mail reader shows of a message file, in UTF-8: the decoded Subject, From and
To headers, then the body bytes read as Windows-1252."""

import email
import email.policy
import sys

with open(sys.argv[1], "rb") as f:
    msg = email.message_from_binary_file(f, policy=email.policy.default)
print(str(msg["subject"]))
print(str(msg["from"]))
print(str(msg["to"]))
sys.stdout.write(msg.get_payload(decode=True).decode("cp1252"))

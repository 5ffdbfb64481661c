#!/usr/bin/python3
"""Runs Radicale with a config file, as `python3 -m radicale --config FILE` would, but
without an fsync after every write: the tests and the benchmark need no durability, and
on a slow disk the fsyncs would be most of the time they take.

    run_radicale.py CONFIG"""
import signal
import socket
import sys

from radicale import config, log, server

log.setup()
configuration = config.load([(sys.argv[1], False)])
configuration.update({"storage": {"_filesystem_fsync": "False"}}, "tests", privileged=True)
log.set_level(configuration.get("logging", "level"))
shutdown_in, shutdown_out = socket.socketpair()
signal.signal(signal.SIGTERM, lambda *_: shutdown_in.sendall(b" "))
signal.signal(signal.SIGINT, lambda *_: shutdown_in.sendall(b" "))
server.serve(configuration, shutdown_out)

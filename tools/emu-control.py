#!/usr/bin/env python3
"""Sends one command to a device emulator's control socket and prints the reply line.

    tools/emu-control.py SOCKET COMMAND

Prints an empty line when the emulator does not answer within 2 s (not started yet, or gone).
"""
import socket
import sys

try:
    s = socket.socket(socket.AF_UNIX)
    s.settimeout(2)
    s.connect(sys.argv[1])
    s.sendall((sys.argv[2] + "\n").encode())
    data = b""
    while b"\n" not in data:
        chunk = s.recv(4096)
        if not chunk:
            break
        data += chunk
    print(data.split(b"\n")[0].decode("utf-8", "replace"))
except OSError:
    print("")

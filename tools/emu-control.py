#!/usr/bin/env python3
"""The control socket of a device emulator.

    tools/emu-control.py SOCKET COMMAND
        sends one command and prints the reply line (an empty line when the emulator does not
        answer within 2 s: not started yet, or gone);
    tools/emu-control.py --wait PID SOCKET
        waits until the emulator of process PID answers PING, for at most 10 s; exits with 1
        when it does not (its process ended, or it never answered).
"""
import os
import socket
import sys
import time


def control(path, command):
    try:
        s = socket.socket(socket.AF_UNIX)
        s.settimeout(2)
        s.connect(path)
        s.sendall((command + "\n").encode())
        data = b""
        while b"\n" not in data:
            chunk = s.recv(4096)
            if not chunk:
                break
            data += chunk
        return data.split(b"\n")[0].decode("utf-8", "replace")
    except OSError:
        return ""


def running(pid):
    try:
        os.kill(pid, 0)
        return True
    except OSError:
        return False


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "--wait":
        pid, path = int(sys.argv[2]), sys.argv[3]
        deadline = time.monotonic() + 10
        while time.monotonic() < deadline:
            if control(path, "PING") == "OK":
                sys.exit(0)
            if not running(pid):
                break
            time.sleep(0.1)
        sys.exit(1)
    if len(sys.argv) != 3:
        sys.exit("usage: emu-control.py SOCKET COMMAND | --wait PID SOCKET")
    print(control(sys.argv[1], sys.argv[2]))


if __name__ == "__main__":
    main()

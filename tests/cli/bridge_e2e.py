#!/usr/bin/env python3
"""End-to-end tests of `tavlin bridge` with a real Mosquitto broker (started here on loopback,
private ports and configuration) and emulated devices on both subnets of the test network (run by
ctest inside tools/testnet.sh --lan).

    bridge_e2e.py TAVLIN EMULATOR

Messages are read with mosquitto_sub and parsed as JSON; what reached a device is read back
from the emulator (its control socket and its event log)."""
import json
import os
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import cli_e2e  # noqa: E402
from cli_e2e import Emu, check  # noqa: E402

PORT, PORT_TLS, PORT_AUTH = 18830, 18831, 18832
BROKER = "mqtt://127.0.0.1:%d" % PORT


class Broker:
    def __init__(self, work):
        self.conf = os.path.join(work, "mosquitto.conf")
        with open(self.conf, "w") as f:
            # user root: the files of this test's private folder stay readable to the broker.
            f.write("persistence false\nallow_anonymous true\nuser root\nlog_dest file %s\n" % (
                    os.path.join(work, "mosquitto.log")) +
                    "listener %d 127.0.0.1\nlistener %d 127.0.0.1\ncafile %s/ca.pem\n"
                    "certfile %s/srv.pem\nkeyfile %s/srv.key\n" % (PORT, PORT_TLS, work, work, work))
        self.proc = None
        self.start()

    def start(self):
        self.proc = subprocess.Popen(["mosquitto", "-c", self.conf], stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        wait(lambda: subprocess.run(["mosquitto_pub", "-p", str(PORT), "-t", "x", "-m", "",
                                     "-h", "127.0.0.1"], capture_output=True).returncode == 0, 10)

    def stop(self):
        self.proc.terminate()
        self.proc.wait(10)


class Sub:
    """Every message on the broker under the filters, with its arrival time."""

    def __init__(self, work, tag, *filters, opts=None):
        self.path = os.path.join(work, tag + ".sub")
        args = ["mosquitto_sub", "-h", "127.0.0.1", "-F", "%U\t%t\t%p"] + (opts or ["-p", str(PORT)])
        for f in filters or ("#",):
            args += ["-t", f]
        self.proc = subprocess.Popen(args, stdout=open(self.path, "w"), stderr=subprocess.DEVNULL)

    def messages(self):
        out = []
        with open(self.path, encoding="utf-8", errors="replace") as f:
            for line in f:
                parts = line.rstrip("\n").split("\t", 2)
                if len(parts) == 3:
                    out.append((float(parts[0]), parts[1], parts[2]))
        return out

    def last(self, topic):
        m = [p for (_, t, p) in self.messages() if t == topic]
        return m[-1] if m else None

    def stop(self):
        self.proc.terminate()
        self.proc.wait(5)


def wait(cond, seconds):
    end = time.time() + seconds
    while time.time() < end:
        if cond():
            return True
        time.sleep(0.1)
    return cond()


def pub(topic, payload=None, path=None):
    args = ["mosquitto_pub", "-h", "127.0.0.1", "-p", str(PORT), "-t", topic]
    args += ["-f", path] if path else ["-m", payload or ""]
    subprocess.run(args, check=True)


def bridge(site, *extra, log=None):
    return subprocess.Popen([TAVLIN, "bridge", "--broker", BROKER, "--site", site,
                             "--period-ms", "500"] + list(extra),
                            stdout=subprocess.DEVNULL, stderr=log or subprocess.DEVNULL)


def make_certs(work):
    def ssl(*a):
        subprocess.run(["openssl"] + list(a), check=True, capture_output=True)
    for ca in ("ca", "autre"):
        ssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=" + ca,
            "-keyout", "%s/%s.key" % (work, ca), "-out", "%s/%s.pem" % (work, ca))
    ssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=127.0.0.1", "-keyout",
        work + "/srv.key", "-out", work + "/srv.csr")
    with open(work + "/ext", "w") as f:
        f.write("subjectAltName=IP:127.0.0.1\n")
    ssl("x509", "-req", "-in", work + "/srv.csr", "-CA", work + "/ca.pem", "-CAkey",
        work + "/ca.key", "-CAcreateserial", "-days", "2", "-extfile", work + "/ext",
        "-out", work + "/srv.pem")


def http_targets(emu, ip):
    return [l.split(" ")[4] for l in emu.lines("HTTP") if l.split(" ")[2] == ip]


def scenarios(lan1, lan2, broker, work):
    devs = [(lan1, i, d) for i, d in enumerate(lan1.devices())] + \
           [(lan2, i, d) for i, d in enumerate(lan2.devices())]
    macs = [d["mac"].upper().replace(":", "-") for (_, _, d) in devs]
    sub = Sub(work, "all", "tavlin/#", "homeassistant/#")
    errlog = open(os.path.join(work, "usine.err"), "w")
    b = bridge("usine", "--homeassistant", log=errlog)
    base = "tavlin/usine/"
    try:
        check(wait(lambda: all(sub.last(base + m + "/availability") == "online" and
                               sub.last(base + m + "/state") and sub.last(base + m + "/info")
                               for m in macs), 30),
              "info, state and availability published for the %d devices of both subnets" % len(macs))
        check(sub.last(base + "bridge/status") == "online", "the bridge says it is online")
        info = json.loads(sub.last(base + macs[0] + "/info") or "{}")
        check(info.get("mac") == macs[0] and info.get("ip") == devs[0][2]["ip"] and
              "version" in info and "reachable" in info, "info carries the device's identity")

        # A state change on a device reaches a subscriber.
        emu0, i0 = devs[0][0], devs[0][1]
        emu0.cmd("SET %d ena=10100000" % i0)
        check(wait(lambda: json.loads(sub.last(base + macs[0] + "/state") or "{}").get("inputs")
                   not in (None, 0), 5), "an input change reaches the subscriber")

        # Every command topic reaches the device (its log), with a result.
        ip0 = devs[0][2]["ip"]
        cases = [("relay/2", "on", "SRELAIS="), ("outputs", "0x0F", "SNUM="),
                 ("analog/1", "100", "SANA1=100"), ("blink", "PRESS", "BLINK=1"),
                 ("clock", "now", "DATETIME="), ("uart", "bonjour", "WRITE_UART=bonjour"),
                 ("auto", "0", "AUTO=0")]
        for (cmd, payload, mark) in cases:
            pub(base + macs[0] + "/set/" + cmd, payload)
            check(wait(lambda: any(mark in t for t in http_targets(emu0, ip0)), 8),
                  "set/%s reaches the device (%s)" % (cmd, mark))
        check(wait(lambda: json.loads(sub.last(base + macs[0] + "/state") or "{}").get("relays", 0) & 2, 5),
              "relay 2 is on at the device, as its next state says (%s)" % emu0.get(i0, "relais"))
        results = [json.loads(p) for (_, t, p) in sub.messages() if t == base + "bridge/result"]
        check(len([r for r in results if r.get("result") == "queued"]) >= len(cases),
              "each command's result is published (queued)")
        pub(base + macs[0] + "/set/reboot", "")
        check(wait(lambda: len(emu0.lines("REBOOT")) > 0, 8), "set/reboot restarts the device")

        # Refused: nothing reaches any device, an error or a result says why.
        wait(lambda: False, 2)
        def commands_sent():
            return sum(1 for e in (lan1, lan2) for l in e.lines("HTTP") if "&" in l.split(" ")[4])
        before = commands_sent()
        big = os.path.join(work, "big")
        with open(big, "wb") as f:
            f.write(b"a" * (1 << 20))
        bad = os.path.join(work, "bad")
        with open(bad, "wb") as f:
            f.write(b"caf\xe9")
        pub(base + macs[1] + "/set/relay/1", "maybe")
        pub(base + macs[1] + "/set/uart", path=big)
        pub(base + macs[1] + "/set/uart", path=bad)
        pub(base + "02-00-00-00-00-99/set/blink", "")
        pub("tavlin/ailleurs/" + macs[1] + "/set/blink", "")
        check(wait(lambda: len([1 for (_, t, _) in sub.messages() if t == base + "bridge/error"]) >= 3, 5),
              "a bad payload, 1 MiB and invalid UTF-8 each get an error on bridge/error")
        check(wait(lambda: any(json.loads(p).get("result") == "absent" for (_, t, p) in sub.messages()
                               if t == base + "bridge/result"), 5), "an unknown device is 'absent'")
        wait(lambda: False, 2)
        check(commands_sent() == before and b.poll() is None,
              "refused commands send nothing to any device, and the bridge keeps running")

        # Home Assistant discovery.
        cfgs = {t: json.loads(p) for (_, t, p) in sub.messages()
                if t.startswith("homeassistant/") and p}
        mine = {t: c for t, c in cfgs.items() if macs[0].replace("-", "").lower() in t}
        check(len(mine) == 21, "21 discovery configs for one device (got %d)" % len(mine))
        relay = mine.get("homeassistant/switch/tavlin_%s/relay1/config" % macs[0].replace("-", "").lower(), {})
        check(relay.get("command_topic") == base + macs[0] + "/set/relay/1" and
              relay.get("state_topic") == base + macs[0] + "/state" and
              relay.get("availability", [{}])[0].get("topic") == base + macs[0] + "/availability",
              "a relay switch names the right topics")

        # A device renamed: its info and its discovery configs go out again, after the next hello.
        emu2, i2, m2 = devs[2][0], devs[2][1], macs[2]
        emu2.cmd("SET %d name=Atelier2" % i2)
        relay2 = "homeassistant/switch/tavlin_%s/relay1/config" % m2.replace("-", "").lower()
        check(wait(lambda: json.loads(sub.last(base + m2 + "/info") or "{}").get("name") == "Atelier2" and
                   "Atelier2" in (sub.last(relay2) or ""), 20),
              "a renamed device's info and discovery configs are published again")

        # A device gone silent turns offline, and back online.
        emu1, i1, m1 = devs[1][0], devs[1][1], macs[1]
        emu1.cmd("SET %d http=0" % i1)
        check(wait(lambda: sub.last(base + m1 + "/availability") == "offline", 20), "silent device: offline")
        pub(base + m1 + "/set/blink", "")
        check(wait(lambda: any(json.loads(p).get("result") == "offline" and json.loads(p).get("mac") == m1
                               for (_, t, p) in sub.messages() if t == base + "bridge/result"), 5),
              "a command for an offline device is refused")
        emu1.cmd("SET %d http=1" % i1)
        check(wait(lambda: sub.last(base + m1 + "/availability") == "online", 10), "answers again: online")

        # Two bridges, two sites, one broker: apart.
        b2 = bridge("atelier")
        try:
            check(wait(lambda: sub.last("tavlin/atelier/" + macs[2] + "/availability") == "online", 20),
                  "a second bridge publishes under its own site")
            n_usine = len([1 for (_, t, _) in sub.messages() if t == base + "bridge/result"])
            pub("tavlin/atelier/" + macs[2] + "/set/blink", "")
            check(wait(lambda: any(t == "tavlin/atelier/bridge/result" for (_, t, _) in sub.messages()), 5),
                  "the second site's command is answered by its bridge")
            wait(lambda: False, 1)
            check(len([1 for (_, t, _) in sub.messages() if t == base + "bridge/result"]) == n_usine,
                  "the first bridge ignores the other site's command")
        finally:
            b2.terminate()
            b2.wait(10)
        check(wait(lambda: sub.last("tavlin/atelier/bridge/status") == "offline", 5),
              "a bridge leaving says offline")

        # The broker restarted (no persistence): reconnection and republication.
        sub.stop()
        broker.stop()
        time.sleep(1)
        broker.start()
        sub2 = Sub(work, "after", "tavlin/usine/#")
        check(wait(lambda: all(sub2.last(base + m + "/info") and
                               sub2.last(base + m + "/availability") == "online" for m in macs), 40) and
              sub2.last(base + "bridge/status") == "online",
              "after a broker restart the bridge reconnects and republishes every retained topic")
        sub2.stop()
    finally:
        b.terminate()
        check(b.wait(10) == 0, "the bridge ends cleanly on SIGTERM")
        errlog.close()


def security(work):
    rc = subprocess.run([TAVLIN, "bridge", "--site", "x", "--password", "secret"],
                        capture_output=True, text=True)
    check(rc.returncode == 2 and "password-file" in rc.stderr, "a password on the command line is refused")
    conf = os.path.join(work, "bridge.conf")
    with open(conf, "w") as f:
        f.write("# test\nbroker = mqtts://127.0.0.1:%d\nsite = tls\nca-file = %s/ca.pem\n" % (PORT_TLS, work))
    sub = Sub(work, "tls", "tavlin/tls/bridge/status")
    p = subprocess.Popen([TAVLIN, "bridge", "--config", conf, "--seconds", "4"],
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    check(wait(lambda: sub.last("tavlin/tls/bridge/status") == "online", 10),
          "TLS with the test CA (from the configuration file): connected")
    p.wait(20)
    sub.stop()
    r = subprocess.run([TAVLIN, "bridge", "--config", conf, "--ca-file", work + "/autre.pem",
                        "--seconds", "4"], capture_output=True, text=True, timeout=30)
    check(r.returncode == 4 and "TLS" in r.stderr, "a wrong CA is refused with a clear error: %s (%d)"
          % ((r.stderr.strip().splitlines() or ["no message"])[-1], r.returncode))

    # A broker of its own that wants a user name and a password (mosquitto 2 reads only hashed
    # password files): the right password, read from its file, connects; a wrong one ends the
    # bridge at once with exit code 4, well before its --seconds.
    pw = os.path.join(work, "passwd")
    subprocess.run(["mosquitto_passwd", "-c", "-b", pw, "pont", "s3cret"], check=True)
    conf = os.path.join(work, "auth.conf")
    with open(conf, "w") as f:
        f.write("persistence false\nallow_anonymous false\nuser root\npassword_file %s\n"
                "listener %d 127.0.0.1\n" % (pw, PORT_AUTH))
    auth = subprocess.Popen(["mosquitto", "-c", conf], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    login = ["-p", str(PORT_AUTH), "-u", "pont", "-P", "s3cret"]
    try:
        wait(lambda: subprocess.run(["mosquitto_pub", "-h", "127.0.0.1", "-t", "x", "-m", ""] + login,
                                    capture_output=True).returncode == 0, 10)
        for (secret, seconds, code) in (("s3cret\n", 4, 0), ("faux\n", 120, 4)):
            with open(os.path.join(work, "secret"), "w") as f:
                f.write(secret)
            sub = Sub(work, "auth", "tavlin/auth/bridge/status", opts=login)
            t0 = time.time()
            try:
                r = subprocess.run([TAVLIN, "bridge", "--broker", "mqtt://127.0.0.1:%d" % PORT_AUTH,
                                    "--site", "auth", "--username", "pont", "--password-file",
                                    os.path.join(work, "secret"), "--seconds", str(seconds)],
                                   capture_output=True, text=True, timeout=30)
                rc, err = r.returncode, (r.stderr.strip().splitlines() or ["no message"])[-1]
            except subprocess.TimeoutExpired:
                rc, err = None, "still running after 30 s"
            online = wait(lambda: any(p == "online" for (_, _, p) in sub.messages()), 2)
            sub.stop()
            if code == 0:
                check(rc == 0 and online, "user name and password from its file: connected (%s)" % rc)
            else:
                check(rc == 4 and "Connection Refused" in err and not online and time.time() - t0 < 20,
                      "a wrong password: a clear error and exit code 4, no retrying: %s (%s)" % (err, rc))
    finally:
        auth.terminate()
        auth.wait(10)


def main():
    global TAVLIN
    TAVLIN, emu_exe = sys.argv[1], sys.argv[2]
    cli_e2e.TAVLIN = TAVLIN
    work = tempfile.mkdtemp(prefix="bridge-e2e-")
    os.environ["HOME"] = work
    make_certs(work)
    broker = Broker(work)
    lan1 = Emu(emu_exe, os.environ["TAVLIN_NS_LAN1"], work, "lan1",
               ["--count", "3", "--first-ip", "192.168.77.10", "--version", "2.3"])
    lan2 = Emu(emu_exe, os.environ["TAVLIN_NS_LAN2"], work, "lan2",
               ["--count", "2", "--first-ip", "192.168.78.10", "--mac-prefix", "02-54-57"])
    try:
        scenarios(lan1, lan2, broker, work)
        security(work)
    finally:
        lan1.stop()
        lan2.stop()
        broker.stop()
    print("%d failure(s)" % len(cli_e2e.failures))
    return 1 if cli_e2e.failures else 0


if __name__ == "__main__":
    sys.exit(main())

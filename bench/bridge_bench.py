#!/usr/bin/env python3
"""tavlin bridge with 250 emulated devices (125 on each subnet), poll period 1 s, a private
Mosquitto broker on loopback: the bridge's CPU and memory, and the latency from a state change
on a device (its control socket) to the message at a subscriber, beside `tavlin status --watch`
on one device (the single watched device) in the same run, and the floor under the bridge's CPU:
the same exchanges alone (bench/bridge_floor.cpp). Run by tools/bench.sh bridge.

    bridge_bench.py BUILD_DIR [changes [bridge options...]]"""
import importlib.util
import json
import os
import random
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "cli"))
from bridge_e2e import wait  # noqa: E402
from cli_e2e import CONTROL, Emu  # noqa: E402

# The control socket spoken from here: a helper process started per change would take tens of
# milliseconds (hundreds on a loaded machine) and count them as the bridge's latency.
_spec = importlib.util.spec_from_file_location("emu_control", CONTROL)
_ctl = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(_ctl)

PORT = 18840
TICK = os.sysconf("SC_CLK_TCK")


def cpu_s(pid):
    with open("/proc/%d/stat" % pid) as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class Lines:
    """A process's output lines with their arrival times, read by a thread."""

    def __init__(self, args):
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True, errors="replace")
        self.items = []
        self.lock = threading.Lock()
        threading.Thread(target=self.read, daemon=True).start()

    def read(self):
        for line in self.proc.stdout:
            with self.lock:
                self.items.append((time.time(), line.rstrip("\n")))

    def since(self, t0):
        with self.lock:
            return [(t, l) for (t, l) in self.items if t >= t0]


def pct(values, p):
    v = sorted(values)
    return v[min(len(v) - 1, int(round(p / 100.0 * (len(v) - 1))))] if v else float("nan")


def main():
    build = sys.argv[1]
    changes = int(sys.argv[2]) if len(sys.argv) > 2 else 40
    tavlin, emu_exe = os.path.join(build, "tavlin"), os.path.join(build, "tavlin-emu")
    work = tempfile.mkdtemp(prefix="bridge-bench-")
    os.environ["HOME"] = work
    conf = os.path.join(work, "m.conf")
    with open(conf, "w") as f:
        f.write("persistence false\nallow_anonymous true\nuser root\nlistener %d 127.0.0.1\n" % PORT)
    broker = subprocess.Popen(["mosquitto", "-c", conf], stderr=subprocess.DEVNULL)
    emus = [Emu(emu_exe, os.environ["TAVLIN_NS_LAN1"], work, "l1",
                ["--count", "125", "--first-ip", "192.168.77.10"]),
            Emu(emu_exe, os.environ["TAVLIN_NS_LAN2"], work, "l2",
                ["--count", "125", "--first-ip", "192.168.78.10", "--mac-prefix", "02-54-57"])]
    devs = [(e, i, d["mac"].upper().replace(":", "-")) for e in emus for i, d in enumerate(e.devices())]
    time.sleep(0.5)
    # The floor: the same exchanges with nothing else done, on plain sockets then on libcurl.
    for mode in ("raw", "curl"):
        r = subprocess.run([os.path.join(build, "bench", "bridge_floor"), mode, "20", "1000", "8",
                            "192.168.77.10", "125", "192.168.78.10", "125"],
                           capture_output=True, text=True, timeout=60)
        print("floor, 250 devices, period 1 s, " + (r.stdout.strip() or r.stderr.strip()))
    # Line-buffered: a pipe would hold the lines back and count as latency.
    sub = Lines(["stdbuf", "-oL", "mosquitto_sub", "-p", str(PORT), "-h", "127.0.0.1", "-t", "tavlin/bench/#", "-v"])
    bridge = subprocess.Popen([tavlin, "bridge", "--broker", "mqtt://127.0.0.1:%d" % PORT,
                               "--site", "bench", "--period-ms", "1000"] + sys.argv[3:],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        t_start = time.time()

        def online():
            seen = {l.split(" ", 1)[0] for (_, l) in sub.since(0) if l.endswith(" online")}
            return sum(1 for (_, _, m) in devs if "tavlin/bench/%s/availability" % m in seen)
        ok = wait(lambda: online() == len(devs), 90)
        print("devices online at the broker: %d/%d after %.1f s" % (online(), len(devs), time.time() - t_start))
        if not ok:
            return 1
        e0, i0, m0 = devs[0]
        watch = Lines([tavlin, "status", m0, "--watch", "--json-lines"])
        wait(lambda: len(watch.since(0)) > 0, 15)
        time.sleep(3)

        # Idle cost: the bridge polling 250 devices, nothing changing.
        c0, w0, t0 = cpu_s(bridge.pid), cpu_s(watch.proc.pid), time.time()
        time.sleep(20)
        dt = time.time() - t0
        cpu_b = 100 * (cpu_s(bridge.pid) - c0) / dt
        cpu_w = 100 * (cpu_s(watch.proc.pid) - w0) / dt

        lat_b, lat_b0, lat_w = [], [], []
        # Each device's inputs as last set (the emulator starts every device at 00000101): a
        # value equal to them would be no change at all, and nothing would be published.
        inputs = {}
        for k in range(changes):
            other = devs[random.randrange(1, len(devs))]
            n = k + 1
            while (n & 0xFF) in (inputs.get(m0, 5), inputs.get(other[2], 5)):
                n += 1
            value = format(n & 0xFF, "08b")
            inputs[m0] = inputs[other[2]] = n & 0xFF
            # Each change timed from just before its own command reaches the emulator.
            t_at = {}
            for (e, i, m) in ((e0, i0, m0), other):
                t_at[m] = time.time()
                _ctl.control(e.ctl, "SET %d ena=%s" % (i, value))
            t = t_at[m0]
            enum = int(value[::-1], 2)

            def at_sub(mac):
                for (ts, l) in sub.since(t_at[mac]):
                    topic, _, payload = l.partition(" ")
                    if topic == "tavlin/bench/%s/state" % mac:
                        try:
                            if json.loads(payload).get("inputs") in (enum, int(value, 2)):
                                return ts
                        except ValueError:
                            pass
                return None

            def at_watch():
                for (ts, l) in watch.since(t):
                    try:
                        if json.loads(l).get("inputs") in (enum, int(value, 2)):
                            return ts
                    except ValueError:
                        pass
                return None
            wait(lambda: at_sub(m0) and at_sub(other[2]) and at_watch(), 5)
            for (lst, ts, tc) in ((lat_b0, at_sub(m0), t), (lat_b, at_sub(other[2]), t_at[other[2]]),
                                  (lat_w, at_watch(), t)):
                if ts:
                    lst.append(1000 * (ts - tc))
            time.sleep(random.uniform(0.3, 1.2))
        lat_b += lat_b0
        print("bridge, 250 devices, period 1 s: CPU %.2f %% of one core, RSS %d KiB" %
              (cpu_b, rss_kib(bridge.pid)))
        print("  state change -> subscriber: p50 %.0f ms, p99 %.0f ms, max %.0f ms (%d of %d changes seen)" %
              (pct(lat_b, 50), pct(lat_b, 99), max(lat_b or [0]), len(lat_b), 2 * changes))
        print("watched device (tavlin status --watch): CPU %.2f %% of one core, RSS %d KiB" %
              (cpu_w, rss_kib(watch.proc.pid)))
        print("  state change -> output line: p50 %.0f ms, p99 %.0f ms, max %.0f ms (%d of %d changes seen)" %
              (pct(lat_w, 50), pct(lat_w, 99), max(lat_w or [0]), len(lat_w), changes))
        print("  same device through the bridge: p50 %.0f ms, p99 %.0f ms" % (pct(lat_b0, 50), pct(lat_b0, 99)))
        watch.proc.terminate()
        watch.proc.wait(10)
    finally:
        bridge.terminate()
        bridge.wait(10)
        sub.proc.terminate()
        for e in emus:
            e.stop()
        broker.terminate()
        broker.wait(10)
    return 0


if __name__ == "__main__":
    sys.exit(main())

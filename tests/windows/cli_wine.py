#!/usr/bin/env python3
"""tavlin.exe under Wine (one fresh prefix per run) against three emulated devices: discover
finds them with the adapter each answered on, status mirrors one, set reaches it, update brings
one from v3 to v4 through both firmware transfers. The emulator side is the Linux end-to-end
test's (tests/cli/cli_e2e.py)."""
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "cli"))
from cli_e2e import Emu, check, failures, update_folder  # noqa: E402


def main():
    if os.environ.get("TAVLIN_TESTNET") != "1" or "TAVLIN_NS_LAN1" not in os.environ:
        print("refused: run inside tools/testnet.sh --lan")
        return 2
    emu_exe, wine_run, tavlin = sys.argv[1:4]
    work = tempfile.mkdtemp(prefix="tavlin-wine-cli-")
    os.environ["HOME"] = os.path.join(work, "home")
    os.makedirs(os.environ["HOME"])
    lan1 = Emu(emu_exe, os.environ["TAVLIN_NS_LAN1"], work, "lan1",
               ["--count", "2", "--first-ip", "192.168.77.20", "--version", "Tavlin v3",
                "--comment", "Salle été", "--reboot-secs", "2"])
    lan2 = Emu(emu_exe, os.environ["TAVLIN_NS_LAN2"], work, "lan2",
               ["--count", "1", "--first-ip", "192.168.78.20", "--version", "Tavlin v3"])
    # Every tavlin.exe call of the run in one script, so one Wine prefix serves them all.
    maj = update_folder(work, 4)
    try:
        d1, d2 = lan1.devices(), lan2.devices()
        lan1.cmd("SET 0 ena=10100101")
        calls = [["discover", "--seconds", "3"], ["status", d1[0]["mac"]],
                 ["set", d1[0]["mac"], "relay", "1", "on"],
                 ["update", d2[0]["mac"], "--folder", "Z:" + maj.replace("/", "\\")]]
        script = os.path.join(work, "calls.bat")
        outs = [os.path.join(work, "out%d.json" % i) for i in range(len(calls))]
        with open(script, "w") as f:
            f.write("@echo off\r\n")
            for c, o in zip(calls, outs):
                f.write('"Z:%s" %s --json > "Z:%s"\r\n' % (tavlin.replace("/", "\\"),
                        " ".join('"%s"' % a for a in c), o.replace("/", "\\")))
        p = subprocess.run([wine_run, "cmd.exe", "/c", "Z:" + script.replace("/", "\\")],
                           capture_output=True, text=True, timeout=900)
        print(p.stdout, p.stderr)
        docs = []
        for o in outs:
            try:
                with open(o, encoding="utf-8") as f:
                    docs.append(json.load(f))
            except (OSError, ValueError) as e:
                print("no JSON in %s: %s" % (o, e))
                docs.append({})
        found = {d["mac"]: d for d in docs[0].get("devices", [])}
        check(len(found) == 3, "discover finds the 3 devices (%s)" % sorted(found))
        for d, adapter in [(x, "192.168.77.1") for x in d1] + [(x, "192.168.78.1") for x in d2]:
            f = found.get(d["mac"], {})
            check(f.get("adapter", {}).get("ip") == adapter and f.get("ip") == d["ip"],
                  "discover: %s at %s via %s (%s)" % (d["mac"], d["ip"], adapter, f.get("adapter")))
        check(found.get(d1[0]["mac"], {}).get("comment") == "Salle été", "accented comment intact")
        check(docs[1].get("inputs") == 0xA5 and docs[1].get("version") == "Tavlin v3",
              "status mirrors the device: %s" % docs[1])
        check(docs[2].get("done") is True and lan1.get(0, "relais") == "0001",
              "set relay reaches the device (%s)" % lan1.get(0, "relais"))
        res = (docs[3].get("results") or [{}])[0]
        check(res.get("result") == "updated" and res.get("version_after") == "Tavlin v4" and
              lan2.get(0, "version") == "Tavlin v4", "update to v4: %s" % res)
    finally:
        lan1.stop()
        lan2.stop()
    print("%d failure(s)" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

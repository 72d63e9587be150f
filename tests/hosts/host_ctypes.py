#!/usr/bin/env python3
"""A Python host of the flat interface through ctypes (standard library only).

    host_ctypes.py LIBRARY [--paswx]

Watches the emulated device named by the environment of with-emu.sh, reads its inputs,
drives outputs, relays and an analog output, reads and writes serial port text, stops.
The library runs the toolkit itself here: each call also serves its timers and sockets, so
the host calls in every 50 ms while it waits. Exit code 0 when every check passed.
"""
import ctypes
import os
import sys
import time

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)
        print("host_ctypes: FAILED", what, file=sys.stderr)


def load(path):
    lib = ctypes.CDLL(path)
    u32, u16p, u32p = ctypes.c_uint32, ctypes.POINTER(ctypes.c_uint16), ctypes.POINTER(ctypes.c_uint32)
    signatures = {
        "GetDLLVersion": [],
        "GetInterfaceType": [u32],
        "Tavlin_Start": [ctypes.c_char_p, ctypes.c_int],
        "Tavlin_StartPasWx": [ctypes.c_char_p, ctypes.c_int],
        "Tavlin_Stop": [],
        "Tavlin_SurveillerAddrMAC": [ctypes.c_char_p],
        "Tavlin_SetDefaultTimeSurveillanceMs": [ctypes.c_int],
        "GetIO": [u32, u32, u16p],
        "GetIO32": [u32, u32p],
        "SetIO32": [u32, u32],
        "GetAdc": [u32, u32, u16p],
        "GetDac": [u32, u32, u16p],
        "SetDac": [u32, u32, u32],
        "Tavlin_ReadUart": [ctypes.c_char_p, ctypes.c_int],
        "Tavlin_WriteUart": [ctypes.c_char_p],
    }
    for name, args in signatures.items():
        fn = getattr(lib, name)
        fn.argtypes = args
        fn.restype = ctypes.c_int
    return lib


def wait_for(predicate, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(0.05)
    return False


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    lib = load(sys.argv[1])
    paswx = "--paswx" in sys.argv[2:]
    mac = os.environ["TAVLIN_EMU_MAC"].encode()
    want_enum = int(os.environ["TAVLIN_EXPECT_ENUM"], 0)
    want_adc = int(os.environ["TAVLIN_EXPECT_ADC0"], 0)
    want_uart = os.environ["TAVLIN_EXPECT_UART"].encode("latin-1")

    check(lib.GetDLLVersion() == 100, "version")
    check(lib.GetInterfaceType(0x10000) == 65536, "interface type with a high half")
    start = lib.Tavlin_StartPasWx if paswx else lib.Tavlin_Start
    check(start(b"hotepy", 0) == 1, "start")
    check(lib.Tavlin_SetDefaultTimeSurveillanceMs(50) == 1, "poll spacing")
    check(lib.Tavlin_SurveillerAddrMAC(mac) == 1, "watch")

    word = ctypes.c_uint32(0)

    def io32():
        lib.GetIO32(0, ctypes.byref(word))
        return word.value

    t0 = time.monotonic()
    if not wait_for(lambda: io32() & 0xFF == want_enum, 20):
        check(False, "inputs 0x%02X never seen, last 0x%08X" % (want_enum, word.value))
        lib.Tavlin_Stop()
        return 1
    print("host_ctypes: inputs seen after %d ms" % ((time.monotonic() - t0) * 1000))

    v16 = ctypes.c_uint16(0)
    check(lib.GetAdc(0, 0, ctypes.byref(v16)) == 1 and v16.value == want_adc,
          "analog input %d, want %d" % (v16.value, want_adc))
    check(lib.GetIO(0, 5, ctypes.byref(v16)) == 0, "port 5 refused")
    check(lib.GetIO32(0, None) == 0, "null pointer refused")

    check(lib.SetIO32(0, 0x00A05A00) == 1, "SetIO32")
    check(wait_for(lambda: io32() & 0x00F0FF00 == 0x00A05A00, 10),
          "outputs and relays, last 0x%08X" % word.value)
    check(lib.SetDac(0, 1, 300) == 1, "SetDac")

    def dac():
        lib.GetDac(0, 1, ctypes.byref(v16))
        return v16.value

    check(wait_for(lambda: dac() == 44, 10), "analog output %d, want 44" % v16.value)

    buf = ctypes.create_string_buffer(64)
    check(lib.Tavlin_ReadUart(buf, 64) == 1, "ReadUart")
    check(buf.value == want_uart, "UART text %r, want %r" % (buf.value, want_uart))
    small = ctypes.create_string_buffer(b"\xff" * 4, 4)
    lib.Tavlin_ReadUart(small, 2)
    check(small.raw[:2] == want_uart[:2] and small.raw[2:] == b"\xff\xff",
          "short buffer %r" % small.raw)
    check(lib.Tavlin_WriteUart(b"bonjour") == 1, "WriteUart")
    wait_for(lambda: io32() is None, 0.5)

    check(lib.Tavlin_Stop() == 1, "stop")
    print("host_ctypes:", "FAILED" if failures else "passed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())

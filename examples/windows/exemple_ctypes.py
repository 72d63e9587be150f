"""Drives one Tavlin device from Python on Windows through ctypes (ZorTavlinDllCom.dll beside
this script or on the PATH).

    python exemple_ctypes.py 00-04-A3-12-34-56
"""
import ctypes
import sys
import time

dll = ctypes.WinDLL("ZorTavlinDllCom.dll")  # __stdcall functions, plain names
dll.Tavlin_Start(b"exemple", 0)
dll.Tavlin_SurveillerAddrMAC(sys.argv[1].encode("ascii"))
io = ctypes.c_uint32(0)
for _ in range(100):  # the library serves its events inside each call
    dll.GetIO32(0, ctypes.byref(io))
    if io.value:
        break
    time.sleep(0.1)
print("inputs 0x%02X, outputs 0x%02X" % (io.value & 0xFF, (io.value >> 8) & 0xFF))
dll.SetIO32(0, 0x00000100)  # output 1 on, relays off
time.sleep(0.5)
dll.Tavlin_Stop()

#!/usr/bin/python3
"""Corrected points through libvnactl with ctypes: opens the instrument, loads a cal file and
prints the corrected Rs and Xs (Port A) and, with -b, S21 (Port B) at each frequency.

    point.py [--lib PATH] [-p PORT] [-b] [-a AVERAGE] CALFILE MHZ...

The library is PATH, else $VNACTL, else libvnactl.so beside this script or on the loader's path.
The instrument is on port PORT (default 1, /dev/ttyUSB0) unless VNA_SERIAL names its device.
"""
import argparse
import ctypes
import os
import struct
import sys


def load(path):
    here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "libvnactl.so")
    for candidate in (path, os.environ.get("VNACTL"), here, "libvnactl.so"):
        if not candidate:
            continue
        try:
            lib = ctypes.CDLL(candidate)
            break
        except OSError:
            continue
    else:
        sys.exit("point.py: libvnactl.so not found (name it with --lib or VNACTL)")
    i32, dbl, pdbl = ctypes.c_int32, ctypes.c_double, ctypes.POINTER(ctypes.c_double)
    for name, result, args in [
            ("VNA_CommPort", i32, [i32, i32, i32]), ("VNA_LoadCalFile", i32, [ctypes.c_char_p]),
            ("VNA_AvgReadings", i32, [i32]), ("VNA_ScanPointA", i32, [i32, dbl, pdbl, pdbl]),
            ("VNA_ScanPointB", i32, [i32, dbl, pdbl, pdbl]), ("VNA_ProgRelay", i32, [i32]),
            # The version text is ours to release: keep it as a plain pointer.
            ("VNA_GetVersion", ctypes.c_void_p, [i32]), ("VNA_FreeText", None, [ctypes.c_void_p]),
            ("VNA_GetTemperature", ctypes.c_int64, [i32]), ("VNA_LastMessage", ctypes.c_char_p, [])]:
        function = getattr(lib, name)
        function.restype = result
        function.argtypes = args
    return lib


def main():
    parser = argparse.ArgumentParser(description="Corrected points through libvnactl")
    parser.add_argument("--lib")
    parser.add_argument("-p", "--port", type=int, default=1)
    parser.add_argument("-b", action="store_true", help="also S21 at Port B")
    parser.add_argument("-a", "--average", type=int, default=16)
    parser.add_argument("calfile")
    parser.add_argument("mhz", type=float, nargs="+")
    args = parser.parse_args()
    vna = load(args.lib)

    def fail(what, code):
        message = (vna.VNA_LastMessage() or b"").decode(errors="replace")
        vna.VNA_CommPort(0, 0, 0)
        sys.exit("point.py: %s (code %d): %s" % (what, code, message))

    code = vna.VNA_CommPort(1, args.port, 57600)
    if code:
        fail("the instrument does not answer", code)
    text = vna.VNA_GetVersion(0)
    print("instrument: %s" % ctypes.string_at(text).decode(errors="replace"))
    vna.VNA_FreeText(text)
    code = vna.VNA_LoadCalFile(args.calfile.encode())
    if code:
        fail("the cal file cannot be used", code)
    vna.VNA_AvgReadings(args.average)
    first, second = ctypes.c_double(), ctypes.c_double()
    for mhz in args.mhz:
        code = vna.VNA_ScanPointA(1, mhz, ctypes.byref(first), ctypes.byref(second))
        if code:
            fail("no Port A reading", code)
        print("%.6f MHz  Rs= %.4f ohm  Xs= %.4f ohm" % (mhz, first.value, second.value))
        if args.b:
            code = vna.VNA_ScanPointB(1, mhz, ctypes.byref(first), ctypes.byref(second))
            if code:
                fail("no Port B reading", code)
            print("%.6f MHz  S21= %.3f dB  phase= %.2f deg" % (mhz, first.value, second.value * 57.2958))
    # The temperature comes as the 64 bits of a double.
    celsius = struct.unpack("<d", struct.pack("<q", vna.VNA_GetTemperature(0)))[0]
    print("temperature: %.1f C" % celsius)
    vna.VNA_ProgRelay(0)
    vna.VNA_CommPort(0, 0, 0)


if __name__ == "__main__":
    main()

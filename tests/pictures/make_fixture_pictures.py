#!/usr/bin/env python3
"""Writes the picture resources the picture tests load, into OUTDIR.

The 24 set numbers get synthetic content whose every byte a test can
predict: picture n, pixel k is (n & 0xFF, (k // 300) & 0xFF, k & 0xFF) in
blue, green, red order; map n, byte k is k % 26 (0 background .. 25 fixed).
Numbers 190 and up are broken streams for the failure paths.
"""
import os
import sys
import zlib

PIXELS = 300 * 320
SETS = list(range(145, 157)) + list(range(162, 174))
MAPS = {147, 150, 153, 156, 164, 167, 170, 172}


def picture(n):
    out = bytearray(PIXELS * 3)
    b = n & 0xFF
    for k in range(PIXELS):
        out[3 * k] = b
        out[3 * k + 1] = (k // 300) & 0xFF
        out[3 * k + 2] = k & 0xFF
    return bytes(out)


def element_map():
    return bytes(k % 26 for k in range(PIXELS))


def main():
    outdir = sys.argv[1]
    os.makedirs(outdir, exist_ok=True)
    files = {}
    for n in SETS:
        raw = element_map() if n in MAPS else picture(n)
        files[n] = zlib.compress(raw, 6)
    full = zlib.compress(picture(190), 6)
    files[190] = full[: len(full) // 2]                # stream breaks off
    damaged = bytearray(full)
    for i in range(len(damaged) // 2, len(damaged) // 2 + 64):
        damaged[i] ^= 0x5A                              # corrupt in the middle
    files[191] = bytes(damaged)
    files[192] = zlib.compress(picture(192) + bytes(range(256)) * 100, 6)  # inflates past 288000
    files[193] = zlib.compress(picture(193)[:1000], 6)  # valid but short
    files[194] = b"\x78\x9c" + b"\xff" * 32             # garbage after the header
    for n, data in files.items():
        with open(os.path.join(outdir, "%d.z" % n), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()

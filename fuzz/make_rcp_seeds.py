#!/usr/bin/env python3
"""Writes the seed songs of the RCP converter's fuzz harness (RCP and G36
images with notes, loops, a measure repeat, exclusives and comments)."""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data", "demos"))
from make_demo_rcp import track as demo_track  # noqa: E402


def track(g36, ch, key, events):
    return demo_track(g36, 1, ch, key, "Track", events)


def header(g36):
    if g36:
        b = bytearray(0xC98)
        b[0:31] = b"COME ON MUSIC RECOMPOSER RCP3.0"
        b[0x20:0xA0] = b"Seed G36".ljust(0x80)
        struct.pack_into("<HHHBBBb", b, 0x208, 18, 480, 120, 4, 4, 0, 0)
        sysex = 0xB18
    else:
        b = bytearray(0x586)
        b[0:30] = b"RCM-PC98V2.0(C)COME ON MUSIC\r\n"
        b[0x20:0x60] = b"Seed RCP".ljust(0x40)
        b[0x1C0:0x1C6] = bytes([48, 120, 4, 4, 0, 0])
        b[0x1E6] = 18
        sysex = 0x406
    for n in range(8):
        at = sysex + n * 0x30
        b[at:at + 0x18] = b" " * 0x18
        b[at + 0x18:at + 0x30] = b"\xf7" * 0x18
    b[sysex + 0x18:sysex + 0x18 + 12] = bytes([0x41, 0x10, 0x42, 0x12, 0x83, 0x40, 0x82, 0x15, 0x80, 0x81, 0x84, 0xF7])
    return b


def song(g36):
    b = header(g36)
    size = 0x2E if g36 else 0x2C
    ev = 6 if g36 else 4
    fc = (0x30, 0) if g36 else ((size) & 0xFF, size >> 8)
    b += track(g36, 0, 0, [(0xEC, 0, 5), (0xEB, 0, 7, 100), (0xF9, 1), (60, 24, 30, 100), (60, 24, 20, 90),
                           (0xF8, 3), (0xFD, 0), (0xFC, 0, fc[0], fc[1]), (0xFD, 0), (0xE7, 0, 96, 8),
                           (0x90, 10, 1, 0x22), (0xDF, 0, 0x10, 0x42), (0xDD, 0, 0x40, 0), (0xDE, 0, 0x7F, 0),
                           (0xF6, 0, ord("h"), ord("i")), (0xF7, 0, ord("!"), ord(" ")), (0xE6, 0, 0x12),
                           (0x98, 0, 1, 2), (0xF7, 0, 0x41, 0x10), (0xF7, 0, 0x80, 0xF7), (0xF5, 0x0A),
                           (0xEE, 10, 0, 0x40)])
    b += track(g36, 9, 0x80, [(36, 12, 6, 120), (38, 12, 6, 120)])
    return bytes(b)


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, g36 in (("seed.rcp", False), ("seed.g36", True)):
        with open(os.path.join(out, name), "wb") as f:
            f.write(song(g36))


main()

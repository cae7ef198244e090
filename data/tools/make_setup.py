#!/usr/bin/env python3
"""Builds MELKO's default setup template _SETUP.MID, a format 1 file of ours.

The conductor track holds 120 BPM, 4/4 and C major; tracks 1..16 each take
one MIDI channel with a General MIDI program, volume 100, pan centre,
reverb 40 and chorus 0 at tick 0, channel 10 being the drum kit. A new song
made from the template starts with every channel set up.
Usage: make_setup.py OUT.mid
"""
import struct
import sys

TPQN = 480
PROGRAMS = [0, 33, 48, 25, 4, 61, 73, 80, 89, 0, 11, 40, 56, 65, 52, 95]
NAMES = ["Piano", "Bass", "Strings", "Guitar", "E.Piano", "Brass", "Flute", "Lead",
         "Pad", "Drums", "Vibraphone", "Violin", "Trumpet", "Alto Sax", "Choir", "Sweep"]


def varlen(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def meta(kind, payload):
    if isinstance(payload, str):
        payload = payload.encode("ascii")
    return b"\x00\xFF" + bytes([kind]) + varlen(len(payload)) + payload


def chunk(body):
    body += b"\x00\xFF\x2F\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + body


def build():
    cond = meta(0x03, "Setup") + meta(0x58, bytes([4, 2, 24, 8])) + meta(0x59, bytes([0, 0]))
    cond += meta(0x51, struct.pack(">I", 500000)[1:])
    chunks = [chunk(cond)]
    for ch in range(16):
        body = meta(0x03, NAMES[ch])
        body += bytes([0, 0xB0 | ch, 0, 0, 0, 0xB0 | ch, 32, 0, 0, 0xC0 | ch, PROGRAMS[ch]])
        for cc, value in ((7, 100), (10, 64), (91, 40), (93, 0)):
            body += bytes([0, 0xB0 | ch, cc, value])
        chunks.append(chunk(body))
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(chunks), TPQN)
    return header + b"".join(chunks)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_setup.py OUT.mid")
    with open(sys.argv[1], "wb") as f:
        f.write(build())


if __name__ == "__main__":
    main()

#!/usr/bin/env python3
"""Builds MELKO's demo song, a short format 1 Standard MIDI File of our own.

Ten measures in G major at 112 BPM: drums on channel 10, bass, piano
chords with a volume sweep, and a flute melody; tempo, meter, key, markers
and program changes in the usual places. Usage: make_demo.py OUT.mid
"""
import struct
import sys

TPQN = 480
BAR = TPQN * 4
BARS = 10


def varlen(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


class Track:
    def __init__(self):
        self.events = []  # (tick, order, bytes)

    def add(self, tick, data):
        self.events.append((tick, len(self.events), bytes(data)))

    def meta(self, tick, kind, payload):
        if isinstance(payload, str):
            payload = payload.encode("ascii")
        self.add(tick, bytes([0xFF, kind]) + varlen(len(payload)) + payload)

    def note(self, tick, ch, key, vel, length):
        self.add(tick, [0x90 | ch, key, vel])
        self.add(tick + length, [0x80 | ch, key, 64])

    def chunk(self):
        body = b""
        last = 0
        # Note-offs sort before other events of the same tick.
        for tick, _, data in sorted(self.events, key=lambda e: (e[0], 0 if e[2][0] & 0xF0 == 0x80 else 1, e[1])):
            body += varlen(tick - last) + data
            last = tick
        body += varlen(0) + b"\xFF\x2F\x00"
        return b"MTrk" + struct.pack(">I", len(body)) + body


def build():
    conductor = Track()
    conductor.meta(0, 0x03, "MELKO Demo")
    conductor.meta(0, 0x02, "(C) 2026 MELKO developers")
    conductor.meta(0, 0x58, bytes([4, 2, 24, 8]))
    conductor.meta(0, 0x59, bytes([1, 0]))  # G major
    conductor.meta(0, 0x51, struct.pack(">I", 60000000 // 112)[1:])
    conductor.meta(0, 0x06, "Intro")
    conductor.meta(2 * BAR, 0x06, "Theme")
    conductor.meta(8 * BAR, 0x06, "Ending")
    conductor.meta(9 * BAR, 0x51, struct.pack(">I", 60000000 // 100)[1:])

    drums = Track()
    drums.meta(0, 0x03, "Drums")
    drums.add(0, [0xC9, 0])
    for bar in range(BARS):
        base = bar * BAR
        for beat in range(4):
            t = base + beat * TPQN
            drums.note(t, 9, 36 if beat in (0, 2) else 38, 110 if beat in (0, 2) else 96, 120)
            for half in (0, TPQN // 2):
                drums.note(t + half, 9, 42, 80 if half == 0 else 60, 60)
        if bar == BARS - 1:
            drums.note(base + 3 * TPQN, 9, 49, 112, 240)

    progression = [(55, [67, 71, 74]), (52, [64, 67, 71]), (48, [64, 67, 72]), (50, [66, 69, 74])]

    bass = Track()
    bass.meta(0, 0x03, "Bass")
    bass.add(0, [0xB1, 0, 0])
    bass.add(0, [0xC1, 33])
    bass.add(0, [0xB1, 7, 100])
    for bar in range(BARS):
        root = progression[bar % 4][0] - 12
        for beat in range(4):
            key = root + (7 if beat == 2 else 0)
            bass.note(bar * BAR + beat * TPQN, 1, key, 100, TPQN - 40)

    chords = Track()
    chords.meta(0, 0x03, "Chords")
    chords.add(0, [0xC2, 0])
    chords.add(0, [0xB2, 10, 48])
    for step in range(0, BARS * 16):  # a volume sweep up over the song
        chords.add(step * TPQN // 4, [0xB2, 7, 60 + step * 50 // (BARS * 16)])
    for bar in range(BARS):
        for key in progression[bar % 4][1]:
            chords.note(bar * BAR, 2, key, 76, BAR - 60)

    melody = Track()
    melody.meta(0, 0x03, "Melody")
    melody.add(0, [0xC3, 73])
    melody.add(0, [0xB3, 10, 80])
    tune = [(74, 2), (71, 1), (72, 1), (74, 2), (79, 2), (76, 2), (72, 2), (74, 4),
            (72, 2), (71, 1), (69, 1), (67, 2), (69, 2), (71, 2), (69, 2), (67, 4)]
    tick = 2 * BAR
    for key, quarters in tune:
        length = quarters * TPQN
        melody.note(tick, 3, key, 92, length - 30)
        tick += length
    melody.add(2 * BAR + 7 * TPQN, [0xE3, 0x00, 0x44])  # a little bend
    melody.add(2 * BAR + 8 * TPQN, [0xE3, 0x00, 0x40])

    tracks = [conductor, drums, bass, chords, melody]
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TPQN)
    return header + b"".join(t.chunk() for t in tracks)


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], "wb") as f:
        f.write(build())

#!/usr/bin/env python3
"""Builds the demo songs in the old PC sequencer formats, so the RCP import
can be tried without a song collection: eight measures in C major at 128 BPM
(flute melody, bass in a loop, piano chords, drums on a rhythm track, a
tempo change, a same-measure repeat and a Shift-JIS comment).

Usage: make_demo_rcp.py OUT.rcp [OUT.g36]
"""
import struct
import sys

TPQN = 48


def header(g36, tracks):
    if g36:
        b = bytearray(0xC98)
        b[0:31] = b"COME ON MUSIC RECOMPOSER RCP3.0"
        b[0x20:0xA0] = b"MELKO Demo (G36)".ljust(0x80)
        memo_at, memo_len = 0xA0, 0x1E
        struct.pack_into("<HHHBBBb", b, 0x208, tracks, TPQN, 128, 4, 4, 0, 0)
        sysex = 0xB18
    else:
        b = bytearray(0x586)
        b[0:32] = b"RCM-PC98V2.0(C)COME ON MUSIC\r\n\0\0"
        b[0x20:0x60] = b"MELKO Demo (RCP)".ljust(0x40)
        memo_at, memo_len = 0x60, 0x1C
        b[0x1C0:0x1C6] = bytes([TPQN & 0xFF, 128, 4, 4, 0, 0])
        b[0x1E6] = tracks
        b[0x1E7] = TPQN >> 8
        sysex = 0x406
    memo = ["MELKO demo song", "デモ曲: 変換のお試し用".encode("shift_jis")]
    for i in range(12):
        line = memo[i] if i < len(memo) else b""
        if isinstance(line, str):
            line = line.encode("ascii")
        b[memo_at + i * memo_len:memo_at + (i + 1) * memo_len] = line.ljust(memo_len)
    for n in range(8):
        at = sysex + n * 0x30
        b[at:at + 0x18] = b" " * 0x18
        b[at + 0x18:at + 0x30] = b"\xf7" * 0x18
    # User exclusive 1: GS reverb level, value from the command's gate.
    name = b"GS Reverb Level"
    b[sysex:sysex + len(name)] = name
    body = bytes([0x41, 0x10, 0x42, 0x12, 0x83, 0x40, 0x01, 0x33, 0x80, 0x84, 0xF7])
    b[sysex + 0x18:sysex + 0x18 + len(body)] = body
    return b


def event(g36, code, step, gate=0, vel=0):
    if g36:
        return struct.pack("<BBHH", code, vel, step, gate)
    return bytes([code, step & 0xFF, gate & 0xFF, vel & 0xFF])


def track(g36, number, ch, key, name, events):
    size = 0x2E if g36 else 0x2C
    t = bytearray(size)
    f = 4 if g36 else 2
    t[f:f + 6] = bytes([number, 0, ch, key, 0, 0])
    t[f + 6:f + 42] = name.encode("ascii").ljust(36)
    for e in events:
        t += event(g36, *e)
    t += event(g36, 0xFE, 0)
    if g36:
        struct.pack_into("<I", t, 0, len(t))
    else:
        struct.pack_into("<H", t, 0, len(t))
    return t


Q = TPQN          # quarter
E = TPQN // 2     # eighth
H = TPQN * 2      # half
W = TPQN * 4      # whole
BAR_END = (0xFD, 0)


def melody():
    ev = [(0xEC, 0, 73), (0xEB, 0, 7, 100), (0xEB, 0, 91, 60), (0x90, 0, 72)]
    bars = [
        [(72, Q, Q - 4, 100), (74, Q, Q - 4, 90), (76, Q, Q - 4, 96), (79, Q, Q - 2, 104)],
        [(77, H, H - 6, 96), (76, Q, Q - 4, 90), (74, Q, Q - 4, 86)],
        [(72, Q, Q - 4, 100), (74, Q, Q - 4, 90), (76, Q, Q - 4, 96), (79, Q, Q - 2, 104)],
        [(81, Q, Q - 4, 104), (79, Q, Q - 4, 96), (77, E, E - 2, 90), (76, E, E - 2, 86), (74, Q, Q - 4, 90)],
        [(76, H, H - 6, 100), (72, H, H - 6, 92)],
        [(74, Q, Q - 4, 96), (76, Q, Q - 4, 92), (77, Q, Q - 4, 96), (79, Q, Q - 4, 100)],
        # A tie: the second C is struck while the first one still sounds.
        [(76, H, H - 4, 96), (72, Q, Q + E, 92), (72, Q, Q - 4, 92)],
        [(72, W, W - 8, 96)],
    ]
    for i, bar in enumerate(bars):
        if i == 6:
            ev.append((0xE7, 0, 56, 48))  # slow down to 7/8 over one beat
        ev += bar + [BAR_END]
    return ev


def bass():
    ev = [(0xEC, 0, 33), (0xEB, 0, 7, 110)]
    # Two measures, played four times.
    ev.append((0xF9, 0))
    for root in (36, 43):
        ev += [(root, Q, Q - 6, 110), (root, E, E - 4, 90), (root + 12, E, E - 4, 96),
               (root, Q, Q - 6, 104), (root + 7, Q, Q - 6, 96), BAR_END]
    ev.append((0xF8, 4))
    return ev


def piano(g36):
    ev = [(0xEC, 0, 0), (0xEB, 0, 7, 84), (0x90, 0, 70)]
    chords = [(60, 64, 67), (59, 62, 67), (57, 60, 64), (53, 57, 60)]
    first = None
    for i in range(8):
        keys = chords[i % 4]
        if i < 4:
            for k in keys[:-1]:
                ev.append((k, 0, H - 6, 70))
            ev.append((keys[-1], H, H - 6, 74))
            for k in keys[:-1]:
                ev.append((k, 0, H - 6, 64))
            ev.append((keys[-1], H, H - 6, 68))
            ev.append(BAR_END)
        else:
            # Measures 5..8 play measures 1..4 again (same-measure repeat).
            ev.append(repeat(g36, i - 4))
            ev.append(BAR_END)
    return ev


def repeat(g36, measure):
    # The repeat names the measure and where its first command lies: in RCP
    # as a byte offset from the start of the track (header included), in G36
    # as a command count from 0x30. Measures 1..4 of the piano track start
    # after the 3 set-up commands and 7 commands per measure (six notes, FD).
    index = 3 + 7 * measure
    if g36:
        return (0xFC, measure, 0x30 + index, 0)
    offset = 0x2C + index * 4
    return (0xFC, measure, offset & 0xFF, offset >> 8)


def drums():
    ev = []
    for i in range(8):
        for beat in range(4):
            kick = 36 if beat in (0, 2) else 38
            ev += [(kick, 0, 6, 110), (42, E, 4, 80), (42, E, 4, 64)]
        ev.append(BAR_END)
    return ev


def song(g36):
    tracks = 18
    b = header(g36, tracks)
    b += track(g36, 1, 0, 0, "Flute", melody())
    b += track(g36, 2, 1, 0, "Bass", bass())
    b += track(g36, 3, 2, 0, "Piano", piano(g36))
    b += track(g36, 4, 9, 0x80, "Drums", drums())
    for n in range(5, tracks + 1):
        b += track(g36, n, 0xFF, 0, "", [])
    return bytes(b)


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: make_demo_rcp.py OUT.rcp [OUT.g36]")
    with open(sys.argv[1], "wb") as f:
        f.write(song(False))
    if len(sys.argv) > 2:
        with open(sys.argv[2], "wb") as f:
            f.write(song(True))


if __name__ == "__main__":
    main()

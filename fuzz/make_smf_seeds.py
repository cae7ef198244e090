#!/usr/bin/env python3
"""Writes a small seed corpus of Standard MIDI Files for the reader's fuzz
harness: well-formed files of both formats and a few damaged ones."""
import os
import struct
import sys


def varlen(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def chunk(events, eot=True, declared=None):
    body = b"".join(varlen(d) + bytes(e) for d, e in events)
    if eot:
        body += b"\x00\xFF\x2F\x00"
    return b"MTrk" + struct.pack(">I", len(body) if declared is None else declared) + body


def smf(fmt, division, chunks):
    return b"MThd" + struct.pack(">IHHh", 6, fmt, len(chunks), division) + b"".join(chunks)


def main(out):
    os.makedirs(out, exist_ok=True)
    conductor = chunk([(0, b"\xFF\x03\x04Song"), (0, b"\xFF\x51\x03\x07\xA1\x20"), (0, b"\xFF\x58\x04\x03\x02\x18\x08"),
                       (0, b"\xFF\x59\x02\x01\x00"), (480, b"\xFF\x06\x01A")])
    notes = chunk([(0, b"\xB0\x00\x01"), (0, b"\xC0\x05"), (0, b"\x90\x3C\x64"), (0, b"\x3E\x64"), (240, b"\x80\x3C\x40"),
                   (0, b"\x90\x3E\x00"), (0, b"\xE0\x00\x50"), (0, b"\xF0\x05\x7E\x7F\x09\x01\xF7"), (0, b"\xA0\x3C\x10"),
                   (0, b"\xD0\x20"), (0, b"\xFF\x21\x01\x01"), (0, b"\xFF\x04\x02GM")])
    mixed = chunk([(0, b"\xFF\x20\x01\x02"), (0, b"\x91\x40\x64"), (0, b"\x99\x24\x64"), (120, b"\x81\x40\x40"),
                   (0, b"\x89\x24\x40"), (0, b"\xF7\x02\x01\x02")])
    seeds = {
        "format1.mid": smf(1, 480, [conductor, notes, mixed]),
        "format0.mid": smf(0, 96, [mixed]),
        "rmid.mid": b"RIFF\x00\x00\x00\x00RMIDdata\x00\x00\x00\x00" + smf(0, 480, [notes]),
        "no_eot.mid": smf(1, 480, [conductor, chunk([(0, b"\x90\x3C\x64")], eot=False)]),
        "long_chunk.mid": smf(1, 480, [conductor, chunk([(0, b"\x90\x3C\x64")], declared=999)]),
        "smpte.mid": smf(0, -7688, [notes]),
        "format2.mid": smf(2, 480, [notes]),
        # Chunks of other types between the tracks (the last one cut short); the header counts the two tracks.
        "unknown_chunks.mid": b"MThd" + struct.pack(">IHHh", 6, 1, 2, 480) + b"XFIH\x00\x00\x00\x02\x01\x02"
                              + conductor + b"XFKM\x00\x00\x00\x00" + notes + b"abcd\x00\x00\xFF\xFF",
        "unpaired.mid": smf(0, 480, [chunk([(0, bytes([0x90, k, 100])) for k in range(40)])]),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1])

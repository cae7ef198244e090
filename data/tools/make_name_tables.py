#!/usr/bin/env python3
"""Writes MELKO's shipped name tables and General MIDI definitions.

Everything here comes from the public MIDI 1.0 standard (controller,
meta event and registered parameter numbers), the General MIDI System
Level 1 sound set and its percussion key map. Run it from anywhere; it
rewrites the files below data/MELKO/. Usage: make_name_tables.py [DATA_DIR]
"""
import os
import sys

GM_PROGRAMS = [
    "Acoustic Grand Piano", "Bright Acoustic Piano", "Electric Grand Piano", "Honky-tonk Piano",
    "Electric Piano 1", "Electric Piano 2", "Harpsichord", "Clavi",
    "Celesta", "Glockenspiel", "Music Box", "Vibraphone", "Marimba", "Xylophone", "Tubular Bells", "Dulcimer",
    "Drawbar Organ", "Percussive Organ", "Rock Organ", "Church Organ", "Reed Organ", "Accordion", "Harmonica",
    "Tango Accordion",
    "Acoustic Guitar (nylon)", "Acoustic Guitar (steel)", "Electric Guitar (jazz)", "Electric Guitar (clean)",
    "Electric Guitar (muted)", "Overdriven Guitar", "Distortion Guitar", "Guitar harmonics",
    "Acoustic Bass", "Electric Bass (finger)", "Electric Bass (pick)", "Fretless Bass", "Slap Bass 1",
    "Slap Bass 2", "Synth Bass 1", "Synth Bass 2",
    "Violin", "Viola", "Cello", "Contrabass", "Tremolo Strings", "Pizzicato Strings", "Orchestral Harp", "Timpani",
    "String Ensemble 1", "String Ensemble 2", "SynthStrings 1", "SynthStrings 2", "Choir Aahs", "Voice Oohs",
    "Synth Voice", "Orchestra Hit",
    "Trumpet", "Trombone", "Tuba", "Muted Trumpet", "French Horn", "Brass Section", "SynthBrass 1", "SynthBrass 2",
    "Soprano Sax", "Alto Sax", "Tenor Sax", "Baritone Sax", "Oboe", "English Horn", "Bassoon", "Clarinet",
    "Piccolo", "Flute", "Recorder", "Pan Flute", "Blown Bottle", "Shakuhachi", "Whistle", "Ocarina",
    "Lead 1 (square)", "Lead 2 (sawtooth)", "Lead 3 (calliope)", "Lead 4 (chiff)", "Lead 5 (charang)",
    "Lead 6 (voice)", "Lead 7 (fifths)", "Lead 8 (bass + lead)",
    "Pad 1 (new age)", "Pad 2 (warm)", "Pad 3 (polysynth)", "Pad 4 (choir)", "Pad 5 (bowed)", "Pad 6 (metallic)",
    "Pad 7 (halo)", "Pad 8 (sweep)",
    "FX 1 (rain)", "FX 2 (soundtrack)", "FX 3 (crystal)", "FX 4 (atmosphere)", "FX 5 (brightness)",
    "FX 6 (goblins)", "FX 7 (echoes)", "FX 8 (sci-fi)",
    "Sitar", "Banjo", "Shamisen", "Koto", "Kalimba", "Bag pipe", "Fiddle", "Shanai",
    "Tinkle Bell", "Agogo", "Steel Drums", "Woodblock", "Taiko Drum", "Melodic Tom", "Synth Drum", "Reverse Cymbal",
    "Guitar Fret Noise", "Breath Noise", "Seashore", "Bird Tweet", "Telephone Ring", "Helicopter", "Applause",
    "Gunshot",
]
assert len(GM_PROGRAMS) == 128

GM_DRUMS = {
    35: "Acoustic Bass Drum", 36: "Bass Drum 1", 37: "Side Stick", 38: "Acoustic Snare", 39: "Hand Clap",
    40: "Electric Snare", 41: "Low Floor Tom", 42: "Closed Hi-Hat", 43: "High Floor Tom", 44: "Pedal Hi-Hat",
    45: "Low Tom", 46: "Open Hi-Hat", 47: "Low-Mid Tom", 48: "Hi-Mid Tom", 49: "Crash Cymbal 1", 50: "High Tom",
    51: "Ride Cymbal 1", 52: "Chinese Cymbal", 53: "Ride Bell", 54: "Tambourine", 55: "Splash Cymbal",
    56: "Cowbell", 57: "Crash Cymbal 2", 58: "Vibraslap", 59: "Ride Cymbal 2", 60: "Hi Bongo", 61: "Low Bongo",
    62: "Mute Hi Conga", 63: "Open Hi Conga", 64: "Low Conga", 65: "High Timbale", 66: "Low Timbale",
    67: "High Agogo", 68: "Low Agogo", 69: "Cabasa", 70: "Maracas", 71: "Short Whistle", 72: "Long Whistle",
    73: "Short Guiro", 74: "Long Guiro", 75: "Claves", 76: "Hi Wood Block", 77: "Low Wood Block",
    78: "Mute Cuica", 79: "Open Cuica", 80: "Mute Triangle", 81: "Open Triangle",
}

# Control change numbers defined by MIDI 1.0 (and its recommended practices).
CONTROLLERS = [
    (0, "Bank Select MSB"), (1, "Modulation"), (2, "Breath Controller"), (4, "Foot Controller"),
    (5, "Portamento Time"), (6, "Data Entry MSB"), (7, "Volume"), (8, "Balance"), (10, "Pan"),
    (11, "Expression"), (12, "Effect Control 1"), (13, "Effect Control 2"), (16, "General Purpose 1"),
    (17, "General Purpose 2"), (18, "General Purpose 3"), (19, "General Purpose 4"), (32, "Bank Select LSB"),
    (33, "Modulation LSB"), (38, "Data Entry LSB"), (39, "Volume LSB"), (42, "Pan LSB"), (43, "Expression LSB"),
    (64, "Sustain"), (65, "Portamento"), (66, "Sostenuto"), (67, "Soft Pedal"), (68, "Legato Footswitch"),
    (69, "Hold 2"), (70, "Sound Variation"), (71, "Resonance"), (72, "Release Time"), (73, "Attack Time"),
    (74, "Cutoff"), (75, "Decay Time"), (76, "Vibrato Rate"), (77, "Vibrato Depth"), (78, "Vibrato Delay"),
    (79, "Sound Controller 10"), (80, "General Purpose 5"), (81, "General Purpose 6"), (82, "General Purpose 7"),
    (83, "General Purpose 8"), (84, "Portamento Control"), (91, "Reverb Send"), (92, "Tremolo Depth"),
    (93, "Chorus Send"), (94, "Celeste Depth"), (95, "Phaser Depth"), (96, "Data Increment"),
    (97, "Data Decrement"), (98, "NRPN LSB"), (99, "NRPN MSB"), (100, "RPN LSB"), (101, "RPN MSB"),
    (120, "All Sound Off"), (121, "Reset All Controllers"), (122, "Local Control"), (123, "All Notes Off"),
    (124, "Omni Off"), (125, "Omni On"), (126, "Mono On"), (127, "Poly On"),
]

# Codes of two characters would be read as hexadecimal, so controller
# numbers are written with three decimal digits.
# Controllers that make sense as curves and for the dynamics tool.
DYN_CONTROLLERS = [1, 2, 4, 5, 7, 8, 10, 11, 64, 71, 72, 73, 74, 91, 93]

META_TYPES = [
    (0x00, "Sequence Number"), (0x01, "Text"), (0x02, "Copyright"), (0x03, "Sequence/Track Name"),
    (0x04, "Instrument Name"), (0x05, "Lyric"), (0x06, "Marker"), (0x07, "Cue Point"),
    (0x20, "Channel Prefix"), (0x21, "Port"), (0x51, "Tempo"), (0x54, "SMPTE Offset"),
    (0x58, "Time Signature"), (0x59, "Key Signature"), (0x7F, "Sequencer Specific"),
]

# name: data kind index (0 Tempo, 1 Velocity, 2 KyPrs, 3 ChPrs, 4 Bend, 5.. DYNCTRL.TXT), line type, then the line's values (see the value curve tool).
LINE_PRESETS = [
    "Crescendo: 1, 0, 40, 120",
    "Decrescendo: 1, 0, 120, 40",
    "Fade In: 9, 0, 0, 100",
    "Fade Out: 9, 0, 100, 0",
    "Vibrato Bend: 4, 1, 8, 32, 0",
]

SYSEX = [
    ("GM System On", "F0 7E 7F 09 01 F7"),
    ("GM System Off", "F0 7E 7F 09 02 F7"),
    ("Master Volume 127", "F0 7F 7F 04 01 00 7F F7"),
    ("Master Volume 100", "F0 7F 7F 04 01 00 64 F7"),
    ("GS Reset", "F0 41 10 42 12 40 00 7F 00 41 F7"),
    ("XG System On", "F0 43 10 4C 00 00 7E 00 F7"),
]


def write(path, lines):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline="\r\n") as f:
        for line in lines:
            f.write(line + "\n")


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "MELKO")
    names = dict(CONTROLLERS)
    write(os.path.join(root, "CONTROL.TXT"), ["%03d %s" % (c, n) for c, n in CONTROLLERS])
    write(os.path.join(root, "DYNCTRL.TXT"), ["%03d %s" % (c, names[c]) for c in DYN_CONTROLLERS])
    write(os.path.join(root, "META.TXT"), ["%02X %s" % (t, n) for t, n in META_TYPES])
    write(os.path.join(root, "LINE.TXT"), LINE_PRESETS)
    write(os.path.join(root, "RPN.TXT"), [
        "[RPN]",
        "000 000 2 Pitch Bend Sensitivity",
        "000 001 2 Fine Tuning",
        "000 002 1 Coarse Tuning",
        "000 003 1 Tuning Program Select",
        "000 004 1 Tuning Bank Select",
        "000 005 2 Modulation Depth Range",
        "127 127 1 RPN Null",
    ])
    write(os.path.join(root, "NRPN.TXT"), [
        "[NRPN]",
        "127 127 1 NRPN Null",
    ])
    write(os.path.join(root, "SYSEX.TXT"), ["%s:%s" % (n, h) for n, h in SYSEX])
    ins = ["GM", "[General MIDI]"]
    ins += ["000 000 %03d %s" % (p + 1, name) for p, name in enumerate(GM_PROGRAMS)]
    ins += ["", "[GM Drum Set]", "000 000 001 Standard Kit", ""]
    write(os.path.join(root, "INST", "GM.INS"), ins)
    drm = ["[InstInfo]", "Name=GM Drums", "", "[Standard Kit]", "BankMSB=0", "BankLSB=0", "Program=1"]
    drm += ["%03d=%s" % (k, n) for k, n in sorted(GM_DRUMS.items())]
    write(os.path.join(root, "INST", "GM.DRM"), drm)


if __name__ == "__main__":
    main()

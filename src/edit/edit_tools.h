// The five edit tools (dynamics, transpose, gate time, quantize, event
// cutter): their settings, which live for the whole run, and the one-track
// operations the dispatcher runs over each track of the edit range. Each
// operation rebuilds the track into its shadow and commits it with SwapTrack;
// events are touched only when from <= tick < to. UI thread (the song's).
#pragma once

#include <cstdint>

#include "song/song.h"

namespace melko {

enum DynamicsKind { kDynNote = 0, kDynKeyPressure, kDynControl, kDynChannelPressure, kDynBend };
enum ToolMethod { kMethodAdd = 0, kMethodChange, kMethodSet, kMethodCompress };

struct DynamicsSettings {
  int Kind = kDynNote;
  int Control = 0;       // controller number for kDynControl
  int ControlIndex = 0;  // its index in the dialog's list
  int Method = kMethodAdd;
  int Add = 10;
  uint16_t Change = 100;  // percent
  int Set = 100;
  int CompCenter = 64;
  uint16_t CompPerc = 100;
  int Lower = 40;
  int Upper = 80;
};

enum TransposeMode { kTransposeChange = 0, kTransposeBy = 1 };

struct TransposeSettings {
  int Mode = kTransposeBy;
  int FromNote = 60;
  int ToNote = 72;
};

struct GateSettings {
  int Method = kMethodAdd;
  int Add = 10;  // ticks, signed
  uint16_t Change = 100;
  int Set = 240;
  int CompCenter = 240;
  uint16_t CompPerc = 100;
  int Lower = 200;
  int Upper = 280;
};

enum QuantizeType { kQuantizeGrid = 0, kQuantizeShuffle, kQuantizeGate };

// One record, as the quantize pass takes it.
struct QuantizeSettings {
  uint8_t Type = kQuantizeGrid;
  uint16_t Grid = 120;
  uint8_t Strength = 100;  // percent
  uint8_t Ratio = 90;      // percent, 1..200
  int16_t Shift = 40;
};

enum CutterKind { kCutNote = 0, kCutKeyPressure, kCutControl, kCutProgram, kCutChannelPressure, kCutBend, kCutSysEx, kCutMeta };

struct CutterSettings {
  int Kind = kCutNote;
  uint8_t Status = 0x90;  // set when the dialog ends with OK
  uint8_t Low = 60;
  uint8_t High = 60;
  int FromNote = 60;
  int ToNote = 60;
  int ControlIndex = 0;  // remembered list choice for Ctrl (CONTROL.TXT)
  int MetaIndex = 0;     // and for Meta (META.TXT)
};

// Every tool's settings, kept for the run.
struct ToolSettings {
  DynamicsSettings Dynamics;
  TransposeSettings Transpose;
  GateSettings Gate;
  QuantizeSettings Quantize;
  int QuantizeResolution = 6;  // index into the resolution list
  CutterSettings Cutter;
};

// The resolution list of the quantize dialog: item text and divisor of a whole note.
struct QuantizeResolution {
  const char* Text;
  int Divisor;
};
extern const QuantizeResolution kQuantizeResolutions[10];
// 4 × tpqn div the divisor of the resolution index (at least 1).
uint16_t QuantizeGrid(uint32_t tpqn, int resolutionIndex);

// The value range of a dynamics kind: notes 1..127, bend -8192..8191, others 0..127.
void DynamicsRange(int kind, int& lo, int& hi);
// The event cutter's status and data bounds of a kind (low > high swapped);
// code is the chosen controller or meta type for Ctrl and Meta.
void CutterBounds(CutterSettings& s, uint8_t code);

// A track is rebuilt into its shadow, whose old contents (the version before
// the last command) are dropped; the block is kept so that a long track does
// not get fresh pages on every edit. A rebuilt track counts as written when
// its source did or when anything was written into it.
void StartRebuild(TMidiData& dest, const TMidiData& src);
void FinishRebuild(TMidiData& dest, const TMidiData& src);

// The shared pass of dynamics (mode 0), transpose (1) and gate time (2).
enum OnePassMode { kPassDynamics = 0, kPassTranspose = 1, kPassGate = 2 };
void ApplyOnePass(Song& song, int track, uint32_t from, uint32_t to, OnePassMode mode, const ToolSettings& s);

// Quantize of one track (grid, shuffle or gate).
void ApplyQuantize(Song& song, int track, uint32_t from, uint32_t to, const QuantizeSettings& q);

// Moves the events of track that match status and low..high (any Data1 when
// low is 255) with from <= tick < to into Clipboard[clipIndex], timed from `from`.
void ApplyEventCutter(Song& song, int track, int clipIndex, uint32_t from, uint8_t status, uint8_t low,
                      uint8_t high, uint32_t to);

}  // namespace melko

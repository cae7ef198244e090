// The records of the SysEx parameter tables: ranges, types, byte-pattern
// extras, models, parameters, the nodes of the byte-pattern tree and the
// result of analysing a message. All of them are owned by TSysExParamNodes
// (sysex_param_nodes.h); pointers between them stay valid until its next
// Load or Clear. UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace melko {

// Value conversions bound by name from the Parmix library (or the fallbacks).
using TSysExGetText = void (*)(int32_t value, char* buffer);
using TSysExSetText = int32_t (*)(const char* text, int32_t current);

// Kinds of type.
constexpr uint8_t kSysExNumeric = 0;
constexpr uint8_t kSysExNibbled = 1;
constexpr uint8_t kSysExTable = 2;
constexpr uint8_t kSysExText = 3;

struct TSysExTableEntry {
  std::string Text;  // raw bytes of the display text
  int32_t Value = 0;
};
using TSysExTable = std::vector<TSysExTableEntry>;

struct TSysExRange {
  int32_t Size = 1;  // data bytes (nibbles for a nibbled type, characters for text)
  int32_t Min = 0;   // limits of the raw data value
  int32_t Max = 127;
  int32_t Offset = 0;  // raw value = shown value + Offset
};

struct TSysExType {
  const TSysExRange* Range = nullptr;
  const TSysExTable* Table = nullptr;  // none when the type has no table
  TSysExGetText GetText = nullptr;
  TSysExSetText SetText = nullptr;
  uint8_t Kind = kSysExNumeric;
  int UnitsIndex = 0;
};

struct TSysExExtra {
  uint8_t Mask = 0xFF;      // bits of the byte fixed by the pattern
  uint8_t MaxValue = 0x7F;  // largest value of the variable part
  std::string Name;
  std::string Symbol;
  std::string Format;
  // Overwritten by every walk of the tree: where the byte lies in the last
  // walked body and the variable part's value found there.
  size_t Pos = 0;
  int Value = 0;
};

struct TSysExModel {
  std::string Data;         // header patterns after F0, e.g. "41 dd 42 12"
  uint8_t DefDevID = 0xFF;  // 255: none
  int32_t BgnCheckSum = -1;  // 1-based body position of the first summed byte; <= 0: no checksum
};

struct TSysExNode;

struct TSysExParam {
  const TSysExModel* Model = nullptr;
  const TSysExType* Type = nullptr;
  TSysExNode* Node = nullptr;  // the leaf of its path
  int32_t Default = 0;         // as the user sees it
  int GroupIndex = 0;
};

struct TSysExNode {
  uint8_t Value = 0;       // the byte with its variable bits cleared
  uint8_t ExtraIndex = 0;  // 0 for a fully fixed byte
  TSysExNode* Next = nullptr;
  TSysExNode* Child = nullptr;
  TSysExNode* Parent = nullptr;
  int ParamIndex = -1;
};

struct TSysExInfo {
  std::string Name;       // empty when the message is not recognised
  std::string ValueText;
  std::string HexText;    // set only when the message is not recognised
  int32_t Value = 0;      // not set for text types
  const TSysExParam* Param = nullptr;
  std::string Comment;    // kept empty
  std::string Units;
  int ExtraCount = 0;
  std::array<TSysExExtra*, 3> Extras{};  // the first ExtraCount are valid
};

}  // namespace melko

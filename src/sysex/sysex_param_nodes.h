// TSysExParamNodes: the SysEx parameter tables and the byte-pattern tree made
// from them. Loads the six table files of the SysEx folder (and binds the
// Parmix conversions), recognises which parameter a message body addresses,
// shows its value as text, sets its value from text, builds a message for a
// named parameter and computes the Roland-style checksum.
//
// A body is the message without its F0: the bytes after F0 up to and
// including the closing F7. One object lives for the whole program and is
// used from the UI thread only. It owns every record, table and tree node;
// pointers in a TSysExInfo stay valid until the next Load or Clear, and the
// variable fields it points to are overwritten by the next walk of the tree.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "sysex/parmix_library.h"
#include "sysex/sysex_named_list.h"
#include "sysex/sysex_records.h"

namespace melko {

// The texts of the six table files, in loading order.
struct TSysExTableTexts {
  std::string Tables, Ranges, Types, Extras, Models, Params;
};

class TSysExParamNodes {
 public:
  static constexpr size_t kMaxRawBytes = 512;

  TSysExParamNodes();
  // Creates and loads from folder (see Load).
  explicit TSysExParamNodes(const std::string& folder);
  ~TSysExParamNodes();
  TSysExParamNodes(const TSysExParamNodes&) = delete;
  TSysExParamNodes& operator=(const TSysExParamNodes&) = delete;

  // Clears, then loads Parmix.so and the six files from folder. A missing file
  // or library is silent. A bad number ends the loading: false, LoadError()
  // says why, and everything read before it stays. A file larger than
  // kMaxTableFileBytes is not read (the others are): false, LoadError() names it.
  static constexpr uint64_t kMaxTableFileBytes = uint64_t{64} << 20;
  bool Load(const std::string& folder);
  // The same from texts already in memory, with the library of libraryFolder
  // (none when empty: fallback conversions).
  bool LoadTexts(const TSysExTableTexts& texts, const std::string& libraryFolder = {});
  const std::string& LoadError() const { return loadError_; }
  bool HasLibrary() const { return library_.IsOpen(); }

  // Frees every record, table and tree node (without recursion) and the library.
  void Clear();

  // Parameter index of the body, or -1; dataPos is left on the first data byte.
  int FindParam(std::span<const uint8_t> body, size_t& dataPos);
  TSysExInfo Analyse(std::span<const uint8_t> body);
  // 0 on success, else an error code for ErrorText; the body is then unchanged.
  int SetFromText(std::vector<uint8_t>& body, std::string_view text);
  // Sets the variable fields found by Analyse to values (field i gets values[i]).
  void SetExtras(std::span<uint8_t> body, const std::array<int, 3>& values);
  // The parameter's message with its default value; empty with no such parameter.
  std::vector<uint8_t> MakeDefault(std::string_view paramName);
  std::string DefaultHexText(std::string_view paramName);
  static std::string HexText(std::span<const uint8_t> body);
  static std::string ErrorText(int code);

  std::vector<std::string> GetGroupNames() const;
  // Every parameter (empty prefix) or those whose group begins with prefix, in file order.
  std::vector<std::string> GetParamNames(std::string_view groupPrefix) const;
  // The table of the body's parameter (empty when it has none).
  std::vector<TSysExTableEntry> GetTableEntries(std::span<const uint8_t> body);

  // The lists, for listing and tests.
  const TSysExNamedList<int>& Units() const { return units_; }
  const TSysExNamedList<int>& Groups() const { return groups_; }
  const TSysExNamedList<TSysExTable>& Tables() const { return tables_; }
  const TSysExNamedList<TSysExRange>& Ranges() const { return ranges_; }
  const TSysExNamedList<TSysExType>& Types() const { return types_; }
  const TSysExNamedList<TSysExExtra>& Extras() const { return extras_; }
  const TSysExNamedList<TSysExModel>& Models() const { return models_; }
  const TSysExNamedList<TSysExParam>& Params() const { return params_; }
  const TSysExNode* Root() const { return root_; }

 private:
  struct LoadFailure {
    std::string Message;
  };

  void MakeBuiltIns();
  void LoadTables(std::string_view text);
  void LoadRanges(std::string_view text);
  void LoadTypes(std::string_view text);
  void LoadExtras(std::string_view text);
  void LoadModels(std::string_view text);
  void LoadParams(std::string_view text);

  TSysExNode* NewNode(uint8_t value, uint8_t extraIndex, TSysExNode* parent);
  void ParseToken(std::string_view token, uint8_t& value, uint8_t& extraIndex);
  TSysExNode* InsertPath(std::string_view path, int paramIndex);
  void FreeTree();
  uint8_t MaskOf(const TSysExNode* node) const;

  int32_t DecodeValue(const TSysExType& type, std::span<const uint8_t> body, size_t pos) const;
  void EncodeValue(const TSysExType& type, std::span<uint8_t> body, size_t pos, int32_t value) const;
  std::string ValueToText(const TSysExType& type, const TSysExModel& model, std::span<const uint8_t> body,
                          size_t pos, int32_t value) const;
  size_t ExpectedLength(const TSysExParam& param, size_t dataPos) const;
  static void ChecksumAndEnd(std::vector<uint8_t>& body, size_t dataEnd, int32_t bgnCheckSum);

  TSysExNamedList<int> units_;
  TSysExNamedList<int> groups_;
  TSysExNamedList<TSysExTable> tables_;
  TSysExNamedList<TSysExRange> ranges_;
  TSysExNamedList<TSysExType> types_;
  TSysExNamedList<TSysExExtra> extras_;
  TSysExNamedList<TSysExModel> models_;
  TSysExNamedList<TSysExParam> params_;
  TParmixLibrary library_;
  TSysExNode* root_ = nullptr;
  std::vector<TSysExExtra*> fields_;  // variable fields of the last walk
  std::string loadError_;
};

}  // namespace melko

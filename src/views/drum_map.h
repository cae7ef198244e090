// The drum maps of the rhythm pattern editor: at most 256 named maps, each
// the 128 note numbers of the grid's rows in display order, kept for the
// program's run with "Standard" (notes 0..127) first, and read from and
// written to DRUMMAP.DAT in the data folder (32-bit map count, then per map
// a string name and its 128 bytes). The file is untrusted: a count past the
// limit or past the bytes there is refused, never allocated. UI thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace melko {

constexpr int kMaxDrumMaps = 256;
constexpr const char* kMsgDrumMapLimit = "MapListの最大は256です。";
constexpr const char* kDrumMapFileName = "DRUMMAP.DAT";

struct TDrumMap {
  std::string Name;                // raw bytes
  std::array<uint8_t, 128> Notes{};  // row r shows note Notes[r]
};

// The map "Standard": row r shows note r.
TDrumMap StandardDrumMap();

class TDrumMapList {
 public:
  TDrumMapList() { Maps.push_back(StandardDrumMap()); }
  std::vector<TDrumMap> Maps;

  int Count() const { return int(Maps.size()); }
  // Map index, map 0 when index lies beyond the list.
  const TDrumMap& Get(int index) const;
  // Appends a map; false (the list unchanged) when it holds 256 already:
  // the caller shows kMsgDrumMapLimit.
  bool Add(TDrumMap map);
  bool Delete(int index);  // false for map 0 and out of range

  // Replaces the list with the file's maps. Notes of 128 and above are
  // taken modulo 128. False, the list unchanged, when the bytes are not a
  // map file: a count of 0 or above 256, or a name or map past the end.
  bool ReadBytes(std::string_view bytes);
  std::string WriteBytes() const;
  // Reading a missing or unreadable file keeps the list; writing goes
  // through a temporary beside the file.
  bool Load(const std::string& path);
  bool Save(const std::string& path) const;
};

}  // namespace melko

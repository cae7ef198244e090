#include "views/drum_map.h"

#include <fstream>
#include <sstream>

#include "base/atomic_write.h"
#include "views/rhythm_bytes.h"

namespace melko {

TDrumMap StandardDrumMap() {
  TDrumMap m;
  m.Name = "Standard";
  for (int i = 0; i < 128; ++i) m.Notes[size_t(i)] = uint8_t(i);
  return m;
}

const TDrumMap& TDrumMapList::Get(int index) const {
  return index >= 0 && index < Count() ? Maps[size_t(index)] : Maps[0];
}

bool TDrumMapList::Add(TDrumMap map) {
  if (Count() >= kMaxDrumMaps) return false;
  Maps.push_back(std::move(map));
  return true;
}

bool TDrumMapList::Delete(int index) {
  if (index <= 0 || index >= Count()) return false;
  Maps.erase(Maps.begin() + index);
  return true;
}

bool TDrumMapList::ReadBytes(std::string_view bytes) {
  ByteReader r(bytes);
  uint32_t count;
  if (!r.U32(count) || count == 0 || count > uint32_t(kMaxDrumMaps)) return false;
  std::vector<TDrumMap> maps;
  maps.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    TDrumMap m;
    if (!r.String(m.Name) || r.Left() < 128) return false;
    const std::string_view notes = r.Take(128);
    for (size_t n = 0; n < 128; ++n) m.Notes[n] = uint8_t(notes[n]) & 0x7F;
    maps.push_back(std::move(m));
  }
  Maps = std::move(maps);
  return true;
}

std::string TDrumMapList::WriteBytes() const {
  std::string out;
  PutU32(out, uint32_t(Maps.size()));
  for (const TDrumMap& m : Maps) {
    PutString(out, m.Name);
    out.append(reinterpret_cast<const char*>(m.Notes.data()), 128);
  }
  return out;
}

bool TDrumMapList::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  // 256 maps with names of any sensible length fit well within this.
  constexpr std::streamoff kMaxBytes = 1 << 24;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxBytes) return false;
  in.seekg(0);
  std::string bytes(size_t(size), '\0');
  if (!in.read(bytes.data(), size)) return false;
  return ReadBytes(bytes);
}

bool TDrumMapList::Save(const std::string& path) const { return WriteFileAtomically(path, WriteBytes()); }

}  // namespace melko

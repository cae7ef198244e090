#include "views/rhythm_file.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "base/atomic_write.h"
#include "views/rhythm_bytes.h"
#include "views/rhythm_pattern.h"

namespace melko {

std::string DeletePatternsQuestion(int first, int last) {
  char text[64];
  std::snprintf(text, sizeof text, "Pattern %.2d ～ %.2d", first, last);
  return std::string(text) + kMsgDeletePatterns;
}

namespace {
TRymPattern EmptyPattern() { return {"Pattern", TRhythmPattern().StoreStream()}; }
}  // namespace

TRymPatternList::TRymPatternList() { Patterns.push_back(EmptyPattern()); }

int TRymPatternList::Add(int index, bool copyPrevious) {
  index = std::clamp(index, 0, Count() - 1);
  TRymPattern p = copyPrevious ? Patterns[size_t(index)] : EmptyPattern();
  Patterns.insert(Patterns.begin() + index + 1, std::move(p));
  return index + 1;
}

int TRymPatternList::Delete(int first, int last) {
  first = std::clamp(first, 0, Count() - 1);
  last = std::clamp(last, first, Count() - 1);
  Patterns.erase(Patterns.begin() + first, Patterns.begin() + last + 1);
  if (Patterns.empty()) Patterns.push_back(EmptyPattern());
  return std::min(first, Count() - 1);
}

bool TRymPatternList::Rename(int index, std::string name) {
  if (index < 0 || index >= Count()) return false;
  Patterns[size_t(index)].Name = std::move(name);
  return true;
}

void TRymPatternList::Clear() { Patterns.assign(1, EmptyPattern()); }

bool TRymPatternList::ReadBytes(std::string_view bytes) {
  ByteReader r(bytes);
  uint8_t version;
  if (!r.Tag("RYM") || !r.U8(version) || version != kRymVersion) return false;
  uint32_t headerLength, count;
  if (!r.U32(headerLength) || headerLength > r.Left()) return false;
  r.Take(headerLength);
  // Each pattern takes at least its two lengths: a larger count cannot be there.
  if (!r.U32(count) || count > r.Left() / 8) return false;
  if (count == 0) {  // nothing in it: the editor shows one empty pattern
    Clear();
    return true;
  }
  std::vector<TRymPattern> patterns;
  patterns.reserve(count);
  TRhythmPattern check;
  for (uint32_t i = 0; i < count; ++i) {
    TRymPattern p;
    uint32_t length;
    if (!r.String(p.Name) || !r.U32(length) || length > r.Left()) return false;
    p.Stream = std::string(r.Take(length));
    if (!check.LoadStream(p.Stream)) return false;
    patterns.push_back(std::move(p));
  }
  Patterns = std::move(patterns);
  return true;
}

std::string TRymPatternList::WriteBytes() const {
  std::string out = "RYM";
  out += char(kRymVersion);
  PutU32(out, 0);
  PutU32(out, uint32_t(Patterns.size()));
  for (const TRymPattern& p : Patterns) {
    PutString(out, p.Name);
    PutString(out, p.Stream);
  }
  return out;
}

bool TRymPatternList::Load(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || uint64_t(size) > kMaxRymFileBytes) return false;
  in.seekg(0);
  std::string bytes(size_t(size), '\0');
  if (!in.read(bytes.data(), size)) return false;
  return ReadBytes(bytes);
}

bool TRymPatternList::Save(const std::string& path) const { return WriteFileAtomically(path, WriteBytes()); }

}  // namespace melko

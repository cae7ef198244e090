#include "archive/lha_format.h"

#include <array>

#include "archive/archive_path.h"

namespace melko {

namespace {

uint32_t Le(std::string_view b, size_t at, int n) {
  uint32_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + size_t(i)]);
  return v;
}

void PutLe(std::string& out, uint32_t v, int n) {
  for (int i = 0; i < n; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

bool IsSjisLead(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// Folder separators of old headers ("\" and 0xFF) made "/", leaving the second
// byte of a Shift-JIS character alone (it may be 0x5C).
std::string NormaliseName(std::string_view raw) {
  std::string name;
  for (size_t i = 0; i < raw.size(); ++i) {
    uint8_t c = static_cast<uint8_t>(raw[i]);
    if (IsSjisLead(c) && i + 1 < raw.size()) {
      name += raw[i];
      name += raw[++i];
    } else if (c == '\\' || c == 0xFF) {
      name += '/';
    } else {
      name += raw[i];
    }
  }
  return name;
}

// The extended headers of levels 1 and 2 starting at `at` with the first one's
// size `next`, within [at, end). Takes the name and the folder from them.
bool ReadExtendedHeaders(std::string_view b, size_t at, size_t end, uint32_t next, std::string& fileName,
                         std::string& folder, size_t& after) {
  int guard = 0;
  while (next != 0) {
    if (next < 3 || at + next > end || ++guard > 4096) return false;
    uint8_t type = static_cast<uint8_t>(b[at]);
    std::string_view data = b.substr(at + 1, next - 3);
    if (type == 0x01) fileName = std::string(data);
    if (type == 0x02) folder = std::string(data);
    at += next;
    next = Le(b, at - 2, 2);
  }
  after = at;
  return true;
}

}  // namespace

uint16_t LhaCrc16(std::string_view bytes, uint16_t crc) {
  static const std::array<uint16_t, 256> table = [] {
    std::array<uint16_t, 256> t{};
    for (unsigned i = 0; i < 256; ++i) {
      unsigned r = i;
      for (int k = 0; k < 8; ++k) r = (r & 1) ? (r >> 1) ^ 0xA001u : r >> 1;
      t[i] = static_cast<uint16_t>(r);
    }
    return t;
  }();
  for (char c : bytes) crc = static_cast<uint16_t>(table[(crc ^ static_cast<uint8_t>(c)) & 0xFF] ^ (crc >> 8));
  return crc;
}

LhaListing ReadLhaListing(std::string_view b) {
  LhaListing listing;
  size_t at = 0;
  // Some archives carry a self-extractor or other bytes before the first
  // header; we only read archives that start with one.
  while (at < b.size()) {
    if (b[at] == 0) return listing;  // the end mark
    if (listing.Members.size() >= kMaxArchiveMembers || b.size() - at < 22) break;
    LhaMember m;
    m.Offset = at;
    m.Method = std::string(b.substr(at + 2, 5));
    if (m.Method.size() != 5 || m.Method[0] != '-' || m.Method[4] != '-' || m.Method[1] != 'l') break;
    uint32_t packed = Le(b, at + 7, 4);
    m.Info.Size = Le(b, at + 11, 4);
    m.Level = static_cast<uint8_t>(b[at + 20]);
    std::string fileName, folder;
    uint64_t dataEnd = 0;
    if (m.Level == 0 || m.Level == 1) {
      size_t headerEnd = at + 2 + static_cast<uint8_t>(b[at]);
      size_t nameLen = static_cast<uint8_t>(b[at + 21]);
      if (headerEnd > b.size() || 22 + nameLen + 2 > headerEnd - at) break;
      m.Info.Time = Le(b, at + 15, 4);
      fileName = std::string(b.substr(at + 22, nameLen));
      size_t dataStart = headerEnd;
      if (m.Level == 1) {
        if (headerEnd - at < 22 + nameLen + 5) break;
        uint32_t next = Le(b, headerEnd - 2, 2);
        std::string extName;
        if (!ReadExtendedHeaders(b, headerEnd, b.size(), next, extName, folder, dataStart)) break;
        if (!extName.empty()) fileName = extName;
        // The packed size of level 1 counts the extended headers.
        if (packed < dataStart - headerEnd) break;
        packed -= static_cast<uint32_t>(dataStart - headerEnd);
      }
      m.Crc = static_cast<uint16_t>(Le(b, at + 22 + nameLen, 2));
      m.DataOffset = dataStart;
      dataEnd = uint64_t(dataStart) + packed;
    } else if (m.Level == 2) {
      uint32_t total = Le(b, at, 2);
      if (total < 26 || at + total > b.size()) break;
      m.Info.Time = UnixToDosTime(static_cast<int64_t>(Le(b, at + 15, 4)));
      size_t after = 0;
      if (!ReadExtendedHeaders(b, at + 26, at + total, Le(b, at + 24, 2), fileName, folder, after)) break;
      m.Crc = static_cast<uint16_t>(Le(b, at + 21, 2));
      m.DataOffset = at + total;
      dataEnd = uint64_t(at) + total + packed;
    } else {
      break;  // level 3 and unknown levels
    }
    if (dataEnd > b.size()) break;
    std::string name = NormaliseName(folder);
    if (!name.empty() && name.back() != '/') name += '/';
    name += NormaliseName(fileName);
    if (m.Method == "-lhd-" && !name.empty() && name.back() != '/') name += '/';
    m.Info.Name = std::move(name);
    m.Length = static_cast<size_t>(dataEnd) - at;
    listing.Members.push_back(std::move(m));
    at = static_cast<size_t>(dataEnd);
  }
  // Bytes that end without the end mark are accepted when the last member
  // ended exactly there (some writers leave the mark out).
  listing.Complete = at == b.size();
  return listing;
}

std::string MakeLh0Member(std::string_view name, std::string_view data, int64_t unixTime) {
  return MakeLhaEntry("-lh0-", name, static_cast<uint32_t>(data.size()), LhaCrc16(data), data, unixTime);
}

std::string MakeLhaEntry(std::string_view method, std::string_view name, uint32_t originalSize, uint16_t crc,
                         std::string_view data, int64_t unixTime) {
  std::string fileName(name), folder;
  size_t slash = name.rfind('/');
  if (slash != std::string_view::npos) {
    fileName = std::string(name.substr(slash + 1));
    for (char c : name.substr(0, slash + 1)) folder += c == '/' ? static_cast<char>(0xFF) : c;
  }
  std::string ext;
  auto addExtended = [&ext](uint8_t type, std::string_view body, bool last) {
    ext += static_cast<char>(type);
    ext += body;
    PutLe(ext, last ? 0 : 0xFFFF, 2);  // patched below
  };
  // The common header (its CRC filled in at the end), the name, the folder.
  addExtended(0x00, std::string_view("\0\0", 2), false);
  addExtended(0x01, fileName, folder.empty());
  if (!folder.empty()) addExtended(0x02, folder, true);
  std::string h;
  PutLe(h, 0, 2);  // total header size, below
  h += method.substr(0, 5);
  PutLe(h, static_cast<uint32_t>(data.size()), 4);
  PutLe(h, originalSize, 4);
  PutLe(h, static_cast<uint32_t>(unixTime < 0 ? 0 : unixTime), 4);
  h += static_cast<char>(0x20);
  h += static_cast<char>(2);
  PutLe(h, crc, 2);
  h += 'M';
  PutLe(h, 3 + 2, 2);  // size of the common header
  // Each extended header ends with the size of the one after it.
  size_t sizes[3] = {5, 1 + fileName.size() + 2, 1 + folder.size() + 2};
  ext[sizes[0] - 2] = static_cast<char>(sizes[1] & 0xFF);
  ext[sizes[0] - 1] = static_cast<char>(sizes[1] >> 8);
  if (!folder.empty()) {
    ext[sizes[0] + sizes[1] - 2] = static_cast<char>(sizes[2] & 0xFF);
    ext[sizes[0] + sizes[1] - 1] = static_cast<char>(sizes[2] >> 8);
  }
  h += ext;
  // A first byte of 0 would read as the end mark: one byte of padding.
  if ((h.size() & 0xFF) == 0) h += '\0';
  h[0] = static_cast<char>(h.size() & 0xFF);
  h[1] = static_cast<char>(h.size() >> 8);
  uint16_t headerCrc = LhaCrc16(h);
  h[26 + 1] = static_cast<char>(headerCrc & 0xFF);
  h[26 + 2] = static_cast<char>(headerCrc >> 8);
  h += data;
  return h;
}

bool StoreLhaMember(std::string_view old, std::string_view name, std::string_view data, int64_t unixTime,
                    std::string& out) {
  // The name field of a level-2 extended header is at most 65535 - 3 bytes.
  if (name.empty() || name.size() > 4096 || data.size() > 0xFFFFFFFFu) return false;
  LhaListing listing = ReadLhaListing(old);
  if (!listing.Complete) return false;
  TMemberList infos;
  for (const LhaMember& m : listing.Members) infos.push_back(m.Info);
  int replace = FindMember(infos, name);
  std::string result;
  bool stored = false;
  for (size_t i = 0; i < listing.Members.size(); ++i) {
    const LhaMember& m = listing.Members[i];
    if (static_cast<int>(i) == replace) {
      // The member keeps the name it had (its own bytes for a name typed as shown).
      result += MakeLh0Member(m.Info.Name, data, unixTime);
      stored = true;
    } else {
      result += old.substr(m.Offset, m.Length);
    }
  }
  if (!stored) result += MakeLh0Member(name, data, unixTime);
  result += '\0';
  out.swap(result);
  return true;
}

}  // namespace melko

// Fuzz harness: any bytes opened as an LHA or a ZIP archive list, extract
// and (for LHA) take a stored member without reading out of bounds, without
// allocating past the limits and without hanging. The first byte picks the kind.
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "archive/archive_access.h"
#include "archive/lha_format.h"
#include "archive/zip_directory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > (1u << 20)) return 0;
  const bool lha = data[0] & 1;
  std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  if (lha) {
    melko::LhaListing listing = melko::ReadLhaListing(bytes);
    for (const auto& m : listing.Members)
      if (m.Offset + m.Length > bytes.size() || m.DataOffset > m.Offset + m.Length) std::abort();
    std::string stored;
    if (melko::StoreLhaMember(bytes, "fuzz/new.mid", "data", 0, stored)) {
      melko::LhaListing after = melko::ReadLhaListing(stored);
      if (!after.Complete || after.Members.size() != listing.Members.size() + 1) {
        // Only a member already named fuzz/new.mid is replaced instead of added.
        bool replaced = after.Complete && after.Members.size() == listing.Members.size();
        if (!replaced) std::abort();
      }
    }
  } else {
    std::vector<melko::ZipEntry> entries;
    auto reader = [&bytes](uint64_t o, size_t l, std::string& out) {
      if (o > bytes.size() || l > bytes.size() - o) return false;
      out.assign(bytes, static_cast<size_t>(o), l);
      return true;
    };
    melko::ReadZipDirectory(reader, bytes.size(), entries);
  }

  // The whole road through a file: listing and extracting into memory.
  static const std::string base = "/tmp/melko-archive-fuzz-" + std::to_string(getpid());
  const std::string path = base + (lha ? ".lzh" : ".zip");
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  melko::TMemberList list;
  melko::ListMembers(path, list);
  for (size_t i = 0; i < list.size() && i < 8; ++i) {
    std::string member;
    // A name that several members share finds the first of them.
    size_t same = 0;
    for (const auto& m : list) same += m.Name == list[i].Name;
    if (melko::ExtractToMemory(path, list[i].Name, member, 1u << 22) && same == 1 && member.size() != list[i].Size)
      std::abort();
  }
  std::remove(path.c_str());
  return 0;
}

// What an archive tells of one member. Plain values, copied freely.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace melko {

struct TFileInfoObj {
  // The member's name as the archive stores it (raw bytes: Shift-JIS in old
  // archives, UTF-8 in newer ones); DisplayText() makes it readable.
  std::string Name;
  // -1 (0xFFFFFFFF) for a member that is not there.
  uint32_t Size = 0xFFFFFFFFu;
  // DOS time word in the low half, DOS date word in the high half.
  uint32_t Time = 0;

  bool Exists() const { return Size != 0xFFFFFFFFu; }
};

using TMemberList = std::vector<TFileInfoObj>;

// The member `name` names: its raw name, or the name as shown (UTF-8) for a
// raw name in another encoding, so a name typed by the user finds it too.
// Directory entries ("dir/") are never found. -1 when absent.
int FindMember(const TMemberList& list, std::string_view name);

// Members the listing readers accept at most; an archive claiming more is
// read up to this count.
constexpr size_t kMaxArchiveMembers = 1u << 20;

}  // namespace melko

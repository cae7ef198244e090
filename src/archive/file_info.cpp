#include "archive/file_info.h"

#include "base/text_encoding.h"

namespace melko {

int FindMember(const TMemberList& list, std::string_view name) {
  if (name.empty() || name.back() == '/') return -1;
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].Name == name) return static_cast<int>(i);
  for (size_t i = 0; i < list.size(); ++i)
    if (!IsValidUtf8(list[i].Name) && DisplayText(list[i].Name) == name) return static_cast<int>(i);
  return -1;
}

}  // namespace melko

#include "archive/filer_listing.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "archive/archive_path.h"
#include "base/text_encoding.h"

namespace melko {

namespace fs = std::filesystem;

FilerKind GetFilerKind(const std::string& name) {
  std::string file = MemberFileName(name);
  size_t dot = file.rfind('.');
  if (dot == std::string::npos) return FilerKind::Other;
  std::string ext = file.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (ext == ".MID" || ext == ".RMI") return FilerKind::Mid;
  if (ext == ".RCP" || ext == ".R36" || ext == ".G36") return FilerKind::Rcp;
  if (ext == ".DOC" || ext == ".HED" || ext == ".TXT") return FilerKind::Doc;
  if (ext == ".LZH" || ext == ".ZIP") return FilerKind::Arc;
  return FilerKind::Other;
}

const char* FilerKindText(FilerKind kind) {
  switch (kind) {
    case FilerKind::Mid: return "mid";
    case FilerKind::Rcp: return "rcp";
    case FilerKind::Doc: return "doc";
    case FilerKind::Arc: return "arc";
    case FilerKind::Other: break;
  }
  return "";
}

namespace {
bool LessNoCase(const FilerEntry& a, const FilerEntry& b) {
  if (a.Folder != b.Folder) return a.Folder;
  return std::lexicographical_compare(a.Name.begin(), a.Name.end(), b.Name.begin(), b.Name.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
  });
}
}  // namespace

bool ListFolder(const std::string& folder, std::vector<FilerEntry>& out) {
  out.clear();
  std::error_code ec;
  fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
  if (ec) return false;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    FilerEntry e;
    e.Name = it->path().filename().string();
    if (e.Name.empty() || e.Name[0] == '.') continue;
    e.Path = it->path().string();
    std::error_code sec;
    if (it->is_directory(sec)) {
      e.Folder = true;
    } else {
      e.Kind = GetFilerKind(e.Name);
      if (e.Kind == FilerKind::Other || !it->is_regular_file(sec)) continue;
      e.Size = it->file_size(sec);
      auto t = it->last_write_time(sec);
      if (!sec) {
        auto sys = std::chrono::time_point_cast<std::chrono::seconds>(
            t - fs::file_time_type::clock::now() + std::chrono::system_clock::now());
        e.DosTime = UnixToDosTime(sys.time_since_epoch().count());
      }
    }
    out.push_back(std::move(e));
  }
  std::sort(out.begin(), out.end(), LessNoCase);
  return true;
}

bool ListArchive(const std::string& archive, TArcCache& cache, std::vector<FilerEntry>& out) {
  out.clear();
  TMemberList list;
  if (!cache.CachedList(archive, list)) return false;
  for (const TFileInfoObj& m : list) {
    if (MemberFileName(m.Name).empty()) continue;  // folder entries
    FilerEntry e;
    // Names are shown and handed on in UTF-8; the archive layer finds the
    // stored (perhaps Shift-JIS) name from that form.
    e.Name = DisplayText(m.Name);
    e.Path = JoinArchivePath(archive, e.Name);
    e.Kind = GetFilerKind(m.Name);
    e.Size = m.Size;
    e.DosTime = m.Time;
    out.push_back(std::move(e));
  }
  return true;
}

}  // namespace melko

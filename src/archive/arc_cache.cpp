#include "archive/arc_cache.h"

#include <filesystem>

#include "archive/archive_access.h"
#include "base/atomic_write.h"

namespace melko {

namespace {

void PutLe(std::string& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint32_t Le(std::string_view b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + size_t(i)]);
  return v;
}

void PutChunk(std::string& out, const char* tag, std::string_view body) {
  out.append(tag, 4);
  PutLe(out, static_cast<uint32_t>(body.size()));
  out += body;
}

// A text that cannot be written as one line of the file.
bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t lf = text.find('\n', at);
    size_t end = lf == std::string_view::npos ? text.size() : lf;
    std::string_view line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    at = lf == std::string_view::npos ? text.size() : lf + 1;
  }
  return lines;
}

// A checked walk over the chunks.
class ChunkReader {
 public:
  explicit ChunkReader(std::string_view b) : b_(b) {}
  bool Magic() {
    if (b_.substr(0, 4) != "ache") return false;
    at_ = 4;
    return true;
  }
  // The body of the next chunk when its tag is `tag` and it fits.
  bool Next(const char* tag, std::string_view& body) {
    if (b_.size() - at_ < 8 || b_.substr(at_, 4) != std::string_view(tag, 4)) return false;
    uint32_t length = Le(b_, at_ + 4);
    if (length > b_.size() - at_ - 8) return false;
    body = b_.substr(at_ + 8, length);
    at_ += 8 + length;
    return true;
  }

 private:
  std::string_view b_;
  size_t at_ = 0;
};

}  // namespace

int TArcCache::Find(const std::string& archive) const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].Archive == archive) return static_cast<int>(i);
  return -1;
}

int TArcCache::Add(const std::string& archive) {
  Entry e;
  e.Archive = archive;
  if (!ArchiveStamp(archive, e.Stamp) || !ListMembers(archive, e.Members)) return -1;
  entries_.push_back(std::move(e));
  dirty_ = true;
  return static_cast<int>(entries_.size() - 1);
}

int TArcCache::Validate(size_t i) {
  uint32_t stamp = 0;
  if (!ArchiveStamp(entries_[i].Archive, stamp)) {
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    dirty_ = true;
    return -1;
  }
  if (stamp == entries_[i].Stamp) return static_cast<int>(i);
  std::string archive = entries_[i].Archive;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
  dirty_ = true;
  return Add(archive);
}

bool TArcCache::CachedList(const std::string& archive, TMemberList& list) {
  int i = Find(archive);
  if (i >= 0) i = Validate(static_cast<size_t>(i));
  else i = Add(archive);
  if (i < 0) {
    list.clear();
    return false;
  }
  list = entries_[static_cast<size_t>(i)].Members;
  return true;
}

TFileInfoObj TArcCache::CachedInfo(const std::string& archive, std::string_view member) {
  TMemberList list;
  TFileInfoObj info;
  info.Name = std::string(member);
  if (!CachedList(archive, list)) return info;
  int i = FindMember(list, member);
  return i < 0 ? info : list[static_cast<size_t>(i)];
}

void TArcCache::Forget(const std::string& archive) {
  int i = Find(archive);
  if (i < 0) return;
  entries_.erase(entries_.begin() + i);
  dirty_ = true;
}

std::string TArcCache::Serialize() const {
  // Archives whose path or member names hold a line break cannot be written
  // as lines; they are listed afresh next time instead.
  std::vector<const Entry*> kept;
  for (const Entry& e : entries_) {
    bool ok = !HasLineBreak(e.Archive);
    for (const TFileInfoObj& m : e.Members) ok = ok && !HasLineBreak(m.Name);
    if (ok) kept.push_back(&e);
  }
  std::string out = "ache";
  std::string paths, stamps;
  for (const Entry* e : kept) {
    paths += e->Archive + "\r\n";
    PutLe(stamps, e->Stamp);
  }
  PutChunk(out, "arcs", paths);
  PutChunk(out, "aldt", stamps);
  for (const Entry* e : kept) {
    std::string names, infos;
    for (const TFileInfoObj& m : e->Members) {
      names += m.Name + "\r\n";
      PutLe(infos, m.Size);
      PutLe(infos, m.Time);
    }
    PutChunk(out, "pacs", names);
    PutChunk(out, "infs", infos);
  }
  return out;
}

void TArcCache::Deserialize(std::string_view bytes) {
  entries_.clear();
  ChunkReader r(bytes);
  std::string_view body;
  if (!r.Magic() || !r.Next("arcs", body)) return;
  std::vector<std::string> paths = Lines(body);
  if (!r.Next("aldt", body)) return;
  // Each archive needs its stamp; more of either than of the other are left out.
  size_t n = std::min(paths.size(), body.size() / 4);
  std::string_view stamps = body;
  for (size_t i = 0; i < n; ++i) {
    std::string_view names, infos;
    if (!r.Next("pacs", names) || !r.Next("infs", infos)) return;
    std::vector<std::string> members = Lines(names);
    // A list whose names and sizes disagree is damaged: it is not kept.
    if (infos.size() != 8 * members.size()) return;
    Entry e;
    e.Archive = std::move(paths[i]);
    e.Stamp = Le(stamps, 4 * i);
    e.Members.resize(members.size());
    for (size_t k = 0; k < members.size(); ++k) {
      e.Members[k].Name = std::move(members[k]);
      e.Members[k].Size = Le(infos, 8 * k);
      e.Members[k].Time = Le(infos, 8 * k + 4);
    }
    entries_.push_back(std::move(e));
  }
}

bool TArcCache::Load(const std::string& file) {
  std::string bytes;
  entries_.clear();
  std::error_code ec;
  auto size = std::filesystem::file_size(file, ec);
  bool read = !ec && size <= kMaxFileBytes && ReadWholeFile(file, bytes);
  if (read) Deserialize(bytes);
  dirty_ = false;
  // An entry that was listed again moved to the end; the one now at its
  // place is validated next. Each entry moves at most once.
  size_t i = 0, guard = 2 * entries_.size() + 1;
  while (i < entries_.size() && guard-- > 0) {
    int j = Validate(i);
    if (j == static_cast<int>(i)) ++i;
  }
  return read && bytes.compare(0, 4, "ache") == 0;
}

bool TArcCache::Save(const std::string& file) {
  if (!dirty_) return true;
  if (!WriteFileAtomically(file, Serialize())) return false;
  dirty_ = false;
  return true;
}

}  // namespace melko

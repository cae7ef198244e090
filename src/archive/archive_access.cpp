#include "archive/archive_access.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <memory>
#include <vector>

#include "archive/archive_path.h"
#include "archive/lha_format.h"
#include "archive/zip_directory.h"
#include "base/atomic_write.h"
#include "base/text_encoding.h"

namespace melko {

namespace {

// libarchive converts member names between the archive's charset and the
// thread's locale. Under a UTF-8 locale it hands ZIP names through as they
// are stored, which is what we compare against; the thread's locale is set
// for the length of one operation only.
class Utf8ThreadLocale {
 public:
  Utf8ThreadLocale() {
    static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    if (utf8) old_ = uselocale(utf8);
  }
  ~Utf8ThreadLocale() {
    if (old_) uselocale(old_);
  }
  Utf8ThreadLocale(const Utf8ThreadLocale&) = delete;
  Utf8ThreadLocale& operator=(const Utf8ThreadLocale&) = delete;

 private:
  locale_t old_ = static_cast<locale_t>(nullptr);
};

struct ReadDeleter {
  void operator()(archive* a) const { archive_read_free(a); }
};
struct WriteDeleter {
  void operator()(archive* a) const { archive_write_free(a); }
};
using ReadArchive = std::unique_ptr<archive, ReadDeleter>;
using WriteArchive = std::unique_ptr<archive, WriteDeleter>;

void SetError(std::string* error, std::string text) {
  if (error) *error = std::move(text);
}

// A plain file read through pread; never past its end.
class FileSource {
 public:
  explicit FileSource(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
    struct stat st{};
    if (fd_ >= 0 && (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
      ::close(fd_);
      fd_ = -1;
    }
    if (fd_ >= 0) size_ = static_cast<uint64_t>(st.st_size);
  }
  ~FileSource() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;
  bool Ok() const { return fd_ >= 0; }
  uint64_t Size() const { return size_; }
  bool Read(uint64_t offset, size_t length, std::string& out) const {
    if (fd_ < 0 || offset > size_ || length > size_ - offset) return false;
    out.resize(length);
    size_t done = 0;
    while (done < length) {
      ssize_t n = ::pread(fd_, out.data() + done, length - done, static_cast<off_t>(offset + done));
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  ByteReader Reader() const {
    return [this](uint64_t o, size_t l, std::string& out) { return Read(o, l, out); };
  }

 private:
  int fd_ = -1;
  uint64_t size_ = 0;
};

bool ReadArchiveFile(const std::string& path, std::string& out) {
  FileSource file(path);
  if (!file.Ok() || file.Size() > kMaxArchiveFileBytes) return false;
  return file.Read(0, static_cast<size_t>(file.Size()), out);
}

bool ListZip(const FileSource& file, std::vector<ZipEntry>& entries) {
  return file.Ok() && ReadZipDirectory(file.Reader(), file.Size(), entries);
}

// Reads the first entry of an archive in memory into `out`, at most
// `maxBytes`, and checks that it decompressed to `expected` bytes.
bool ReadFirstEntry(std::string_view bytes, bool lha, uint64_t maxBytes, uint32_t expected, std::string& out) {
  ReadArchive a(archive_read_new());
  if (!a) return false;
  if (lha) archive_read_support_format_lha(a.get());
  else archive_read_support_format_zip_streamable(a.get());
  if (archive_read_open_memory(a.get(), bytes.data(), bytes.size()) != ARCHIVE_OK) return false;
  archive_entry* entry = nullptr;
  int r = archive_read_next_header(a.get(), &entry);
  if (r != ARCHIVE_OK && r != ARCHIVE_WARN) return false;
  if (archive_entry_filetype(entry) != AE_IFREG) return false;
  std::string data;
  // The stated size is a hint, not trusted: the data may be longer or shorter.
  data.reserve(std::min<uint64_t>(expected, maxBytes));
  char buffer[65536];
  for (;;) {
    la_ssize_t n = archive_read_data(a.get(), buffer, sizeof buffer);
    if (n < 0) return false;
    if (n == 0) break;
    if (data.size() + static_cast<size_t>(n) > maxBytes) return false;
    data.append(buffer, static_cast<size_t>(n));
  }
  if (data.size() != expected) return false;
  out.swap(data);
  return true;
}

bool ExtractLha(const std::string& path, std::string_view member, std::string& out, uint64_t maxBytes) {
  std::string bytes;
  if (!ReadArchiveFile(path, bytes)) return false;
  LhaListing listing = ReadLhaListing(bytes);
  TMemberList infos;
  for (const LhaMember& m : listing.Members) infos.push_back(m.Info);
  int i = FindMember(infos, member);
  if (i < 0) return false;
  const LhaMember& m = listing.Members[size_t(i)];
  if (m.Info.Size > maxBytes || MemberFileName(m.Info.Name).empty()) return false;
  // libarchive reads the member's data alone, under a level-2 header of ours
  // with a plain name: it need not (and in some builds cannot) convert the
  // archive's Shift-JIS names.
  std::string one = MakeLhaEntry(m.Method, "m", m.Info.Size, m.Crc,
                                 std::string_view(bytes).substr(m.DataOffset, m.Offset + m.Length - m.DataOffset), 0);
  one += '\0';
  return ReadFirstEntry(one, true, maxBytes, m.Info.Size, out);
}

bool ExtractZip(const std::string& path, std::string_view member, std::string& out, uint64_t maxBytes) {
  FileSource file(path);
  if (!file.Ok()) return false;
  // Most names are given as stored: those are looked up without listing.
  std::vector<ZipEntry> entries;
  ReadZipDirectory(file.Reader(), file.Size(), entries, member);
  int i = entries.empty() ? -1 : 0;
  if (i < 0) {
    if (!ListZip(file, entries)) return false;
    TMemberList infos;
    infos.reserve(entries.size());
    for (const ZipEntry& e : entries) infos.push_back(e.Info);
    i = FindMember(infos, member);
    if (i < 0) return false;
  }
  const ZipEntry& e = entries[size_t(i)];
  if (e.Info.Size > maxBytes || MemberFileName(e.Info.Name).empty()) return false;
  // Only the member's local header, its data and a data descriptor are read:
  // libarchive's streaming reader then sees an archive of one member.
  std::string local;
  if (!file.Read(e.LocalOffset, 30, local) || local.compare(0, 4, "PK\x03\x04") != 0) return false;
  uint64_t header = 30 + (static_cast<uint8_t>(local[26]) | static_cast<uint8_t>(local[27]) << 8) +
                    (static_cast<uint8_t>(local[28]) | static_cast<uint8_t>(local[29]) << 8);
  uint64_t end = e.LocalOffset + header;
  if (e.CompressedSize > file.Size() || end > file.Size() - e.CompressedSize) return false;
  end = std::min<uint64_t>(end + e.CompressedSize + 24, file.Size());
  if (end - e.LocalOffset > kMaxArchiveFileBytes) return false;
  std::string bytes;
  if (!file.Read(e.LocalOffset, static_cast<size_t>(end - e.LocalOffset), bytes)) return false;
  return ReadFirstEntry(bytes, false, maxBytes, e.Info.Size, out);
}

// Clears the "name is UTF-8" bit (11 of the general purpose flags) of the
// members named `names`, in the central directory and the local headers.
void ClearUtf8Marks(std::string& zip, const std::vector<std::string>& names) {
  std::vector<ZipEntry> entries;
  auto reader = [&zip](uint64_t o, size_t l, std::string& out) {
    if (o > zip.size() || l > zip.size() - o) return false;
    out.assign(zip, static_cast<size_t>(o), l);
    return true;
  };
  if (!ReadZipDirectory(reader, zip.size(), entries)) return;
  for (const ZipEntry& e : entries) {
    if (std::find(names.begin(), names.end(), e.Info.Name) == names.end()) continue;
    for (uint64_t at : {e.CentralOffset + 9, e.LocalOffset + 7})
      if (at < zip.size()) zip[static_cast<size_t>(at)] = static_cast<char>(zip[static_cast<size_t>(at)] & ~0x08);
  }
}

// libarchive's output collected in memory.
la_ssize_t AppendToString(archive*, void* client, const void* buffer, size_t length) {
  static_cast<std::string*>(client)->append(static_cast<const char*>(buffer), length);
  return static_cast<la_ssize_t>(length);
}

bool WriteEntry(archive* w, archive_entry* entry, std::string_view data) {
  if (archive_write_header(w, entry) != ARCHIVE_OK) return false;
  size_t done = 0;
  while (done < data.size()) {
    la_ssize_t n = archive_write_data(w, data.data() + done, std::min<size_t>(data.size() - done, 1 << 20));
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return archive_write_finish_entry(w) == ARCHIVE_OK;
}

archive_entry* NewFileEntry(std::string_view name, size_t size) {
  archive_entry* entry = archive_entry_new();
  archive_entry_copy_pathname(entry, std::string(name).c_str());
  archive_entry_set_filetype(entry, AE_IFREG);
  archive_entry_set_perm(entry, 0644);
  archive_entry_set_size(entry, static_cast<la_int64_t>(size));
  archive_entry_set_mtime(entry, std::time(nullptr), 0);
  return entry;
}

bool StoreZip(const std::string& path, std::string_view member, std::string_view data, std::string* error) {
  std::string old;
  bool exists = access(path.c_str(), F_OK) == 0;
  if (exists && !ReadArchiveFile(path, old)) {
    SetError(error, "cannot read " + path);
    return false;
  }
  TMemberList infos;
  std::vector<uint16_t> flags;
  int replace = -1;
  if (exists) {
    std::vector<ZipEntry> entries;
    auto reader = [&old](uint64_t o, size_t l, std::string& out) {
      if (o > old.size() || l > old.size() - o) return false;
      out.assign(old, static_cast<size_t>(o), l);
      return true;
    };
    if (!ReadZipDirectory(reader, old.size(), entries)) {
      SetError(error, path + " is not a readable ZIP archive");
      return false;
    }
    for (const ZipEntry& e : entries) {
      infos.push_back(e.Info);
      flags.push_back(e.Flags);
    }
    replace = FindMember(infos, member);
  }

  // A member typed as shown keeps its stored name; a new one is stored in UTF-8.
  std::string name = replace >= 0 ? infos[size_t(replace)].Name : std::string(member);

  std::string out;
  WriteArchive w(archive_write_new());
  if (!w || archive_write_set_format_zip(w.get()) != ARCHIVE_OK ||
      archive_write_open2(w.get(), &out, nullptr, AppendToString, nullptr, nullptr) != ARCHIVE_OK) {
    SetError(error, "cannot start writing the archive");
    return false;
  }
  bool stored = false;
  if (exists) {
    ReadArchive r(archive_read_new());
    archive_read_support_format_zip_seekable(r.get());
    if (archive_read_open_memory(r.get(), old.data(), old.size()) != ARCHIVE_OK) {
      SetError(error, archive_error_string(r.get()) ? archive_error_string(r.get()) : "cannot read the archive");
      return false;
    }
    archive_entry* entry = nullptr;
    size_t index = 0;
    std::string body;
    for (;;) {
      int rc = archive_read_next_header(r.get(), &entry);
      if (rc == ARCHIVE_EOF) break;
      if (rc != ARCHIVE_OK && rc != ARCHIVE_WARN) {
        SetError(error, "cannot read a member of the archive");
        return false;
      }
      const char* p = archive_entry_pathname(entry);
      std::string entryName = p ? p : "";
      if (!stored && entryName == name) {
        archive_entry* fresh = NewFileEntry(name, data.size());
        bool ok = WriteEntry(w.get(), fresh, data);
        archive_entry_free(fresh);
        if (!ok) {
          SetError(error, "cannot write the member");
          return false;
        }
        stored = true;
        ++index;
        continue;
      }
      // Every other member is copied with its data; any that does not read
      // completely fails the store rather than be lost.
      body.clear();
      char buffer[65536];
      for (;;) {
        la_ssize_t n = archive_read_data(r.get(), buffer, sizeof buffer);
        if (n < 0) {
          SetError(error, "cannot read member " + DisplayText(entryName));
          return false;
        }
        if (n == 0) break;
        if (body.size() + size_t(n) > kMaxArchiveFileBytes) {
          SetError(error, "member too large: " + DisplayText(entryName));
          return false;
        }
        body.append(buffer, size_t(n));
      }
      if (archive_entry_filetype(entry) == AE_IFREG) archive_entry_set_size(entry, la_int64_t(body.size()));
      if (!WriteEntry(w.get(), entry, body)) {
        SetError(error, "cannot write member " + DisplayText(entryName));
        return false;
      }
      ++index;
    }
    if (index != infos.size()) {
      SetError(error, "the archive's members could not all be read");
      return false;
    }
  }
  if (!stored) {
    archive_entry* fresh = NewFileEntry(name, data.size());
    bool ok = WriteEntry(w.get(), fresh, data);
    archive_entry_free(fresh);
    if (!ok) {
      SetError(error, "cannot write the member");
      return false;
    }
  }
  if (archive_write_close(w.get()) != ARCHIVE_OK) {
    SetError(error, "cannot finish the archive");
    return false;
  }
  // libarchive marks every name it writes as UTF-8; the names of old
  // archivers (Shift-JIS and the like) get their unmarked form back.
  std::vector<std::string> unmarked;
  for (size_t i = 0; i < infos.size(); ++i)
    if (!(flags[i] & 0x800) && !IsValidUtf8(infos[i].Name)) unmarked.push_back(infos[i].Name);
  if (!unmarked.empty()) ClearUtf8Marks(out, unmarked);
  if (!WriteFileAtomically(path, out)) {
    SetError(error, "cannot write " + path);
    return false;
  }
  return true;
}

bool StoreLha(const std::string& path, std::string_view member, std::string_view data, std::string* error) {
  std::string old;
  if (access(path.c_str(), F_OK) == 0 && !ReadArchiveFile(path, old)) {
    SetError(error, "cannot read " + path);
    return false;
  }
  // Old LHA tools read names as Shift-JIS: a new name typed in UTF-8 is
  // stored so when it can be (an existing member keeps its own bytes).
  LhaListing listing = ReadLhaListing(old);
  TMemberList infos;
  for (const LhaMember& m : listing.Members) infos.push_back(m.Info);
  std::string name = FindMember(infos, member) >= 0 ? std::string(member) : StoreText(member);
  std::string out;
  if (!StoreLhaMember(old, name, data, static_cast<int64_t>(std::time(nullptr)), out)) {
    SetError(error, path + " is not an LHA archive that can be read to its end");
    return false;
  }
  if (!WriteFileAtomically(path, out)) {
    SetError(error, "cannot write " + path);
    return false;
  }
  return true;
}

}  // namespace

bool ListMembers(const std::string& archive, TMemberList& list) {
  list.clear();
  switch (GetArchiveKind(archive)) {
    case ArchiveKind::Lha: {
      std::string bytes;
      if (!ReadArchiveFile(archive, bytes)) return false;
      LhaListing listing = ReadLhaListing(bytes);
      list.reserve(listing.Members.size());
      for (LhaMember& m : listing.Members) list.push_back(std::move(m.Info));
      // An archive whose first header does not read is no LHA archive.
      return listing.Complete || !list.empty();
    }
    case ArchiveKind::Zip: {
      FileSource file(archive);
      std::vector<ZipEntry> entries;
      bool ok = ListZip(file, entries);
      list.reserve(entries.size());
      for (ZipEntry& e : entries) list.push_back(std::move(e.Info));
      return ok;
    }
    case ArchiveKind::None:
      break;
  }
  return false;
}

TFileInfoObj GetMemberInfo(const std::string& archive, std::string_view member) {
  TMemberList list;
  TFileInfoObj info;
  info.Name = std::string(member);
  if (!ListMembers(archive, list)) return info;
  int i = FindMember(list, member);
  return i < 0 ? info : list[size_t(i)];
}

bool ExtractToMemory(const std::string& archive, std::string_view member, std::string& out, uint64_t maxBytes) {
  if (MemberFileName(member).empty()) return false;
  Utf8ThreadLocale locale;
  switch (GetArchiveKind(archive)) {
    case ArchiveKind::Lha:
      return ExtractLha(archive, member, out, maxBytes);
    case ArchiveKind::Zip:
      return ExtractZip(archive, member, out, maxBytes);
    case ArchiveKind::None:
      break;
  }
  return false;
}

bool ExtractToFolder(const std::string& archive, const std::string& folder, std::string_view member) {
  std::string name = MemberFileName(member);
  std::string data;
  if (name.empty() || !ExtractToMemory(archive, member, data)) return false;
  std::string target = folder.empty() ? name : (folder.back() == '/' ? folder + name : folder + "/" + name);
  return WriteFileAtomically(target, data);
}

bool StoreFromMemory(const std::string& archive, std::string_view member, std::string_view data, std::string* error) {
  if (MemberFileName(member).empty() || member.find('\0') != std::string_view::npos) {
    SetError(error, "the member has no file name");
    return false;
  }
  if (data.size() > 0xFFFFFFFFu) {
    SetError(error, "the member is too large");
    return false;
  }
  Utf8ThreadLocale locale;
  switch (GetArchiveKind(archive)) {
    case ArchiveKind::Lha:
      return StoreLha(archive, member, data, error);
    case ArchiveKind::Zip:
      return StoreZip(archive, member, data, error);
    case ArchiveKind::None:
      break;
  }
  SetError(error, archive + " is not an LZH or ZIP archive");
  return false;
}

bool ArchiveStamp(const std::string& archive, uint32_t& stamp) {
  struct stat st{};
  if (stat(archive.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  // The seconds alone would miss a store within the same second as the
  // listing; nanoseconds and size are folded in.
  uint64_t v = static_cast<uint64_t>(st.st_mtim.tv_sec);
  v = v * 1000003u ^ static_cast<uint64_t>(st.st_mtim.tv_nsec);
  v = v * 1000003u ^ static_cast<uint64_t>(st.st_size);
  stamp = static_cast<uint32_t>(v ^ (v >> 32));
  return true;
}

}  // namespace melko

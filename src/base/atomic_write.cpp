#include "base/atomic_write.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>

namespace melko {

namespace {

constexpr std::string_view kTempPrefix = ".melko-";
constexpr std::string_view kTempSuffix = ".tmp";
constexpr size_t kTempRandom = 6;
// A temporary younger than this is never removed: it may have been created a
// moment ago by a save that has not taken its lock yet.
constexpr time_t kStaleSeconds = 60;

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// A song reached through a symbolic link is saved into the file the link
// names, so the link stays a link; anything else is written where it is.
std::string ResolveLinks(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return path;  // a dangling link is replaced like a missing file
  std::string resolved(real);
  std::free(real);
  return resolved;
}

// Six characters that differ between processes, threads and calls.
std::string RandomPart() {
  static std::atomic<uint64_t> counter{0};
  uint64_t x = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  x ^= static_cast<uint64_t>(::getpid()) << 40;
  x += 0x9E3779B97F4A7C15ull * (counter.fetch_add(1) + 1);
  // splitmix64 finaliser: spreads the bits over the characters
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  x ^= x >> 31;
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string s;
  for (size_t i = 0; i < kTempRandom; ++i) {
    s += kChars[x % 62];
    x /= 62;
  }
  return s;
}

bool FolderRefused(int err) { return err == EACCES || err == EPERM || err == EROFS; }

// Overwrites an existing regular file with the bytes.
bool WriteInPlace(const std::string& path, std::string_view bytes) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ok = ok && WriteAll(fd, bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  return ok;
}

}  // namespace

bool IsTemporaryName(std::string_view name) {
  if (name.size() != kTempPrefix.size() + kTempRandom + kTempSuffix.size()) return false;
  if (name.substr(0, kTempPrefix.size()) != kTempPrefix || name.substr(name.size() - kTempSuffix.size()) != kTempSuffix)
    return false;
  for (char c : name.substr(kTempPrefix.size(), kTempRandom)) {
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

void RemoveStaleTemporaries(const std::string& folder) {
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return;
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    return;
  }
  const time_t now = ::time(nullptr);
  while (const dirent* e = ::readdir(dir)) {
    if (!IsTemporaryName(e->d_name)) continue;
    struct stat st {};
    if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(st.st_mode) || st.st_uid != ::geteuid() || now - st.st_mtime < kStaleSeconds) continue;
    int fd = ::openat(dirFd, e->d_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    // A save in progress holds the lock; one that was killed does not.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlinkat(dirFd, e->d_name, 0);
    ::close(fd);
  }
  ::closedir(dir);
}

bool WriteFileAtomically(const std::string& target, std::string_view bytes, FolderReadOnly readOnlyFolder) {
  if (target.empty()) return false;
  const std::string path = ResolveLinks(target);
  const std::string folder = FolderOf(path);
  RemoveStaleTemporaries(folder);
  const std::string base = folder == "/" ? std::string() : folder;
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = base + "/" + std::string(kTempPrefix) + RandomPart() + std::string(kTempSuffix);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) break;
    if (errno == EEXIST) continue;
    // A folder that is not ours to write in may still hold a file we may
    // overwrite; the caller says whether that is safe.
    if (FolderRefused(errno) && readOnlyFolder == FolderReadOnly::WriteInPlace) return WriteInPlace(path, bytes);
    return false;
  }
  if (fd < 0) return false;
  ::flock(fd, LOCK_EX);

  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);

  bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
  // Closing drops the lock; the temporary is then only moments old, so no
  // cleaner takes it before the rename.
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable; a failure here does not undo the save.
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
  return true;
}

bool ReadWholeFile(const std::string& path, std::string& out) {
  out.clear();
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      out.clear();
      return false;
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

}  // namespace melko

#include "base/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace melko {

namespace {
bool Fail(std::string* error, const std::string& what) {
  if (error) *error = what + ": " + std::strerror(errno);
  return false;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}
}  // namespace

bool WriteFileAtomic(const std::string& path, const void* data, size_t size, std::string* error) {
  std::string tmpl = path + ".XXXXXX";
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return Fail(error, "cannot create a temporary file beside " + path);
  // Keep the permissions of the file being replaced, or the usual ones.
  struct stat st;
  mode_t mode = 0644;
  if (stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
  fchmod(fd, mode);
  const char* p = static_cast<const char*>(data);
  size_t left = size;
  while (left > 0) {
    ssize_t n = write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      int saved = errno;
      close(fd);
      unlink(name.data());
      errno = saved;
      return Fail(error, "cannot write " + path);
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (fsync(fd) != 0 || close(fd) != 0) {
    int saved = errno;
    unlink(name.data());
    errno = saved;
    return Fail(error, "cannot write " + path);
  }
  if (rename(name.data(), path.c_str()) != 0) {
    int saved = errno;
    unlink(name.data());
    errno = saved;
    return Fail(error, "cannot replace " + path);
  }
  // Make the rename itself durable.
  int dir = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return true;
}

bool CopyFileAtomic(const std::string& from, const std::string& to, std::string* error) {
  std::ifstream in(from, std::ios::binary);
  if (!in) return Fail(error, "cannot read " + from);
  std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return Fail(error, "cannot read " + from);
  return WriteFileAtomic(to, bytes.data(), bytes.size(), error);
}

}  // namespace melko

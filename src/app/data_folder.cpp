#include "app/data_folder.h"

#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace melko {

namespace fs = std::filesystem;

namespace {

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

bool IsFolder(const std::string& path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(path, ec);
}

// Copies through a temporary name, so that a kill leaves no half file and a
// library another run has loaded is replaced, not overwritten.
bool CopyOne(const fs::path& from, const fs::path& to, std::string& error) {
  fs::path part = to;
  part += ".part";
  std::error_code ec;
  fs::copy_file(from, part, fs::copy_options::overwrite_existing, ec);
  if (!ec) fs::permissions(part, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::add, ec);
  if (!ec) fs::rename(part, to, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(part, ignored);
    error = to.string() + ": " + ec.message();
    return false;
  }
  return true;
}

}  // namespace

bool FillDataFolder(const std::string& shipped, const std::string& user, std::string& error) {
  std::error_code ec;
  fs::create_directories(user, ec);
  if (ec || !IsFolder(user)) {
    error = user + ": " + (ec ? ec.message() : std::string("not a folder"));
    return false;
  }
  const fs::path from(shipped), to(user);
  fs::recursive_directory_iterator it(from, ec), end;
  if (ec) {
    error = shipped + ": " + ec.message();
    return false;
  }
  for (; it != end; it.increment(ec)) {
    if (ec) {
      error = shipped + ": " + ec.message();
      return false;
    }
    const fs::path target = to / fs::relative(it->path(), from, ec);
    if (ec) continue;
    if (it->is_directory(ec)) {
      fs::create_directories(target, ec);
      if (ec) {
        error = target.string() + ": " + ec.message();
        return false;
      }
      continue;
    }
    if (!it->is_regular_file(ec)) continue;
    std::error_code missing;
    const bool exists = fs::exists(fs::symlink_status(target, missing));
    bool copy = !exists;
    if (exists && target.extension() == ".so") {
      std::error_code e1, e2;
      const auto shippedTime = fs::last_write_time(it->path(), e1);
      const auto userTime = fs::last_write_time(target, e2);
      copy = !e1 && (e2 || shippedTime > userTime);
    }
    if (copy && !CopyOne(it->path(), target, error)) return false;
  }
  return true;
}

DataFolderChoice ChooseDataFolder(const DataFolderPlaces& places) {
  DataFolderChoice choice;
  const std::string exeDir = WithSlash(places.ExeDir);
  const std::string beside = exeDir + "MELKO/";
  const std::string shipped = places.ShippedRel.empty() ? std::string() : WithSlash(exeDir + places.ShippedRel);
  if (IsFolder(beside) || shipped.empty() || !IsFolder(shipped)) {
    choice.ProgramDir = exeDir;
    choice.DataDir = places.Option.empty() ? beside : WithSlash(places.Option);
    return choice;
  }
  // Installed: the program's folder is not ours to write.
  std::string base = places.XdgDataHome;
  if (base.empty() || base[0] != '/') base = places.Home.empty() ? std::string() : WithSlash(places.Home) + ".local/share";
  choice.ProgramDir = places.Home.empty() ? (base.empty() ? exeDir : WithSlash(base)) : WithSlash(places.Home);
  if (!places.Option.empty()) {
    choice.DataDir = WithSlash(places.Option);
    return choice;
  }
  choice.Shipped = shipped;
  if (base.empty()) {
    choice.DataDir = shipped;
    choice.Warning = "no home folder to keep the data folder in; using " + shipped + " as it is";
    return choice;
  }
  const std::string user = WithSlash(base) + "melko/MELKO/";
  std::string error;
  if (!FillDataFolder(shipped, user, error)) {
    choice.DataDir = shipped;
    choice.Warning = "the data folder " + user + " could not be made (" + error + "); using " + shipped + " as it is";
    return choice;
  }
  choice.DataDir = user;
  choice.Installed = true;
  return choice;
}

DataFolderPlaces ThisProcessPlaces(const std::string& option) {
  DataFolderPlaces places;
  char buf[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  std::string path = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string("./melko");
  places.ExeDir = path.substr(0, path.find_last_of('/') + 1);
#ifdef MELKO_SHIPPED_DATA_REL
  places.ShippedRel = MELKO_SHIPPED_DATA_REL;
#endif
  places.Option = option;
  if (const char* xdg = std::getenv("XDG_DATA_HOME")) places.XdgDataHome = xdg;
  if (const char* home = std::getenv("HOME"); home && *home) {
    places.Home = home;
  } else if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) {
    places.Home = pw->pw_dir;
  }
  return places;
}

}  // namespace melko

#include "instruments/instruments.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "base/ini_file.h"
#include "instruments/read_file.h"
#include "instruments/tm_ini_file.h"

namespace melko {

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// By path without regard to ASCII case, as the listing was always sorted;
// paths that differ only in case keep a fixed order by their bytes.
bool PathLess(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const char x = LowerAscii(a[i]), y = LowerAscii(b[i]);
    if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

void ListFiles(const std::string& folder, std::vector<std::string>& ins, std::vector<std::string>& drm) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return;
  // Symbolic links to folders are not followed, so a loop cannot make the
  // listing endless; unreadable subfolders are passed over.
  fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code fileEc;
    if (!it->is_regular_file(fileEc)) continue;
    std::string ext = it->path().extension().string();
    for (char& c : ext) c = LowerAscii(c);
    if (ext == ".ins") ins.push_back(it->path().string());
    else if (ext == ".drm") drm.push_back(it->path().string());
  }
  std::sort(ins.begin(), ins.end(), PathLess);
  std::sort(drm.begin(), drm.end(), PathLess);
}

int IndexOfName(const std::vector<std::string>& names, std::string_view name) {
  for (size_t i = 0; i < names.size(); ++i) {
    if (EqualsNoCase(names[i], name)) return static_cast<int>(i);
  }
  return -1;
}

std::string TrimBlanks(const std::string& s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

TmInstruments::TmInstruments(const std::string& folder, LogSink* log) : folder_(folder), log_(log) {
  ListFiles(folder, InsFiles, DrmFiles);
  InsNames.reserve(InsFiles.size());
  for (const std::string& path : InsFiles) InsNames.push_back(TrimBlanks(ReadFirstLine(path)));
  DrmNames.reserve(DrmFiles.size());
  for (const std::string& path : DrmFiles) {
    TmIniFile ini(path);
    DrmNames.push_back(TmDrumInst::ReadDisplayName(ini));
  }
  insts_.resize(InsFiles.size());
  drumInsts_.resize(DrmFiles.size());
}

TmInst* TmInstruments::GetInst(int index) {
  if (index < 0 || index >= static_cast<int>(insts_.size())) return nullptr;
  auto& slot = insts_[static_cast<size_t>(index)];
  if (!slot) {
    slot = std::make_unique<TmInst>();
    slot->Load(InsFiles[static_cast<size_t>(index)], log_);
  }
  return slot.get();
}

TmDrumInst* TmInstruments::GetDrumInst(int index) {
  if (index < 0 || index >= static_cast<int>(drumInsts_.size())) return nullptr;
  auto& slot = drumInsts_[static_cast<size_t>(index)];
  if (!slot) {
    slot = std::make_unique<TmDrumInst>();
    slot->Load(DrmFiles[static_cast<size_t>(index)], log_);
  }
  return slot.get();
}

bool TmInstruments::InstLoaded(int index) const {
  return index >= 0 && index < static_cast<int>(insts_.size()) && insts_[static_cast<size_t>(index)];
}

bool TmInstruments::DrumInstLoaded(int index) const {
  return index >= 0 && index < static_cast<int>(drumInsts_.size()) && drumInsts_[static_cast<size_t>(index)];
}

int TmInstruments::IndexOfInst(std::string_view displayName) const { return IndexOfName(InsNames, displayName); }

int TmInstruments::IndexOfDrumInst(std::string_view displayName) const { return IndexOfName(DrmNames, displayName); }

}  // namespace melko

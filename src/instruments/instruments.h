// TmInstruments: every instrument (.INS) and drum (.DRM) definition in the
// INST folder and its subfolders. Creating it lists the files (sorted by
// path, extensions compared without regard to case) and reads only their
// display names; a file's patches or drum sets are read on its first
// GetInst / GetDrumInst and kept for the object's life. A missing folder
// gives empty lists. One object lives for the program's run, used from the
// UI thread; it owns the TmInst and TmDrumInst objects it hands out.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/log_sink.h"
#include "instruments/inst_defs.h"

namespace melko {

class TmInstruments {
 public:
  // log (may be null) receives the lines that loading a file skips; it must
  // outlive this object.
  explicit TmInstruments(const std::string& folder, LogSink* log = nullptr);

  // Full paths, sorted; display names in the same order.
  std::vector<std::string> InsFiles, DrmFiles;
  std::vector<std::string> InsNames, DrmNames;

  // The definition of InsFiles[index] / DrmFiles[index], loaded on the first
  // request; null when index is out of range. An unreadable file gives an
  // empty definition (said in the log), not null.
  TmInst* GetInst(int index);
  TmDrumInst* GetDrumInst(int index);
  bool InstLoaded(int index) const;
  bool DrumInstLoaded(int index) const;

  // The first file of that display name (ASCII case ignored), or -1.
  int IndexOfInst(std::string_view displayName) const;
  int IndexOfDrumInst(std::string_view displayName) const;

  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
  LogSink* log_;
  std::vector<std::unique_ptr<TmInst>> insts_;
  std::vector<std::unique_ptr<TmDrumInst>> drumInsts_;
};

}  // namespace melko

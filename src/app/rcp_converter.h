// Import of RCP, R36 and G36 songs through an outside converter library,
// loaded by name on first use and kept until the program ends. The library
// is looked for as RCPCV.so in the data folder, then as librcpcv.so on the
// system's library path; all six functions must be present
// (rcpcvConvertFileFromBuffer, rcpcvConvertFile, rcpcvDeleteObject,
// rcpcvGetSMFLength, rcpcvGetSMF, rcpcvSaveSMF). UI thread.
#pragma once

#include <string>
#include <vector>

#include "song/smf_reader.h"

namespace melko {

class DlRcpConverter : public SongConverter {
 public:
  // Candidates are tried in order; the default list is the one above.
  explicit DlRcpConverter(std::vector<std::string> libraryPaths);
  ~DlRcpConverter() override;
  bool Available() override;
  bool Convert(const FileImage& source, FileImage& smf) override;

  static std::vector<std::string> DefaultPaths(const std::string& dataDir);

 private:
  bool Load();
  using ConvertFromBuffer = void* (*)(const void*, int, int, int, int, int, int);
  using DeleteObject = void (*)(void*);
  using GetLength = int (*)(void*);
  using GetSmf = const void* (*)(void*);

  std::vector<std::string> paths_;
  bool tried_ = false;
  void* lib_ = nullptr;
  ConvertFromBuffer convert_ = nullptr;
  DeleteObject delete_ = nullptr;
  GetLength length_ = nullptr;
  GetSmf smf_ = nullptr;
};

}  // namespace melko

// Batch commands over song files: `--dump FILE` and `--convert IN OUT
// [--format0]`. Each loads the file exactly as opening a song does, writes the
// load's log lines to `out`, and reports failures with the program's messages
// on `err`. Return the process exit status.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "song/smf_reader.h"
#include "song/song.h"

namespace melko {

// Prints the loader's messages on a stream; questions are answered Yes.
class StreamPrompt : public SongPrompt {
 public:
  explicit StreamPrompt(std::ostream& err) : err_(err) {}
  void ShowError(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;

 private:
  std::ostream& err_;
};

// Log lines written to a stream, with the Windows line breaks made plain.
class StreamLog : public LogSink {
 public:
  explicit StreamLog(std::ostream& out) : out_(out) {}
  void Line(std::string_view text) override;

 private:
  std::ostream& out_;
};

// Opens FILE for a batch command as the File menu would, with the load's log
// lines on `out` and its messages on `err`. False when the load failed.
bool OpenBatchSong(Song& song, const std::string& file, std::ostream& out, std::ostream& err);

// The converter the batch commands hand RCP, R36 and G36 files to (the
// program sets it once at start, before a command runs; null: none, and such
// files fail with the loader's message). Not owned.
void SetBatchConverter(SongConverter* converter);
SongConverter* BatchConverter();

int RunDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace melko

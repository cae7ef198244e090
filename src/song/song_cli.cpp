#include "song/song_cli.h"

#include "song/smf_reader.h"
#include "song/smf_writer.h"
#include "song/song_dump.h"

namespace melko {

void StreamPrompt::ShowError(const std::string& text) { err_ << text << '\n'; }

bool StreamPrompt::AskYesNo(const std::string& text) {
  err_ << text << " -> Yes\n";
  return true;
}

void StreamLog::Line(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (char c : text)
    if (c != '\r') line += c;
  out_ << line << '\n';
}

namespace {
SongConverter* batchConverter = nullptr;
}  // namespace

void SetBatchConverter(SongConverter* converter) { batchConverter = converter; }
SongConverter* BatchConverter() { return batchConverter; }

bool OpenBatchSong(Song& song, const std::string& file, std::ostream& out, std::ostream& err) {
  StreamLog log(out);
  StreamPrompt prompt(err);
  song.Log = &log;
  bool ok = OpenSongFile(song, file, prompt, batchConverter);
  song.Log = nullptr;
  return ok;
}

int RunDump(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 2) {
    err << "usage: melko --dump FILE\n";
    return 2;
  }
  Song song;
  if (!OpenBatchSong(song, args[1], out, err)) return 1;
  DumpSong(song, out);
  return 0;
}

int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool format0 = false;
  std::vector<std::string> files;
  for (size_t i = 1; i < args.size(); ++i) {
    if (args[i] == "--format0") format0 = true;
    else files.push_back(args[i]);
  }
  if (files.size() != 2) {
    err << "usage: melko --convert IN OUT [--format0]\n";
    return 2;
  }
  Song song;
  if (!OpenBatchSong(song, files[0], out, err)) return 1;
  std::string why;
  if (!SaveSongFile(song, files[1], format0, &why)) {
    err << kMsgWriteFailed << '\n';
    if (!why.empty()) err << why << '\n';
    return 1;
  }
  return 0;
}

}  // namespace melko

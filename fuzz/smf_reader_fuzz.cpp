// Fuzz harness: any bytes opened as a song file must load or fail cleanly, and
// whatever loads must save, merge to format 0 and load again.
#include <cstddef>
#include <cstdint>

#include "song/smf_convert.h"
#include "song/smf_reader.h"
#include "song/smf_writer.h"

namespace {
class QuietPrompt : public melko::SongPrompt {
 public:
  void ShowError(const std::string&) override {}
  bool AskYesNo(const std::string&) override { return true; }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  QuietPrompt prompt;
  melko::NullLog log;
  melko::Song song;
  song.Log = &log;
  // Let the last byte pick the reading options so that they are covered too.
  uint8_t options = size > 0 ? data[size - 1] : 0;
  song.Options.TPQNFixed = options & 1;
  song.Options.DefaultTPQN = (options & 2) ? 100 : 480;
  song.Options.TrackName1 = options & 4;
  song.Options.ReadPortEvents = options & 8;
  melko::FileImage image(data, data + size);
  if (!melko::OpenSongImage(song, "fuzz.mid", std::move(image), prompt)) return 0;
  melko::FileImage saved = melko::WriteSmfImage(song);
  melko::Song back;
  back.Log = &log;
  melko::OpenSongImage(back, "saved.mid", saved, prompt);
  if (melko::ConvertSmfMerge(saved)) melko::OpenSongImage(back, "format0.mid", saved, prompt);
  return 0;
}

#include "smf_builder.h"

#include "song/smf_convert.h"
#include "song/smf_writer.h"
#include "song/track_ops.h"

namespace melko::test {

std::vector<Event> Events(const TMidiData& track) {
  std::vector<Event> out;
  for (TrackWalker w(track); !w.AtEnd(); w.Advance()) {
    const TMidiEvent& ev = w.Next();
    Event e{ev.Time, ev.Status, ev.Data1, ev.Data2, ev.Data3, ev.Value, {}};
    if (ev.Status >= 0xF0) {
      e.Payload.assign(ev.Data, ev.Data + ev.Len);
      e.Data2 = e.Data3 = 0;
      if (ev.Status == 0xFF && MetaValueBytes(ev.Data1) == 0) e.Value = 0;
    }
    out.push_back(e);
  }
  return out;
}

bool Load(Song& song, const Bytes& file, RecordingPrompt* prompt, MemoryLog* log) {
  RecordingPrompt local;
  MemoryLog localLog;
  song.Log = log ? log : &localLog;
  bool ok = OpenSongImage(song, "test.mid", FileImage(file), prompt ? *prompt : local);
  song.Log = nullptr;
  return ok;
}

Bytes Save(Song& song, bool format0) {
  FileImage image = WriteSmfImage(song);
  if (format0) ConvertSmfMerge(image);
  return image;
}

}  // namespace melko::test

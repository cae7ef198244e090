// Byte-level Standard MIDI File fixtures for tests: build headers, chunks and
// events by hand so every test states exactly the bytes it reads.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "song/smf_reader.h"
#include "song/song.h"

namespace melko::test {

using Bytes = std::vector<uint8_t>;

inline Bytes VarLen(uint32_t v) {
  Bytes b{static_cast<uint8_t>(v & 0x7F)};
  while ((v >>= 7) != 0) b.insert(b.begin(), static_cast<uint8_t>(0x80 | (v & 0x7F)));
  return b;
}

inline void Append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

inline Bytes BE(uint32_t v, int n) {
  Bytes b;
  for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return b;
}

// One event: delta then raw body bytes.
struct Ev {
  uint32_t Delta;
  Bytes Body;
};

inline Bytes Meta(uint8_t type, const Bytes& payload) {
  Bytes b{0xFF, type};
  Append(b, VarLen(static_cast<uint32_t>(payload.size())));
  Append(b, payload);
  return b;
}
inline Bytes MetaText(uint8_t type, const std::string& text) { return Meta(type, Bytes(text.begin(), text.end())); }
inline Bytes Tempo(uint32_t usPerQuarter) { return Meta(0x51, BE(usPerQuarter, 3)); }
inline Bytes EndOfTrack() { return {0xFF, 0x2F, 0x00}; }

inline Bytes TrackBody(std::initializer_list<Ev> events) {
  Bytes d;
  for (const Ev& e : events) {
    Append(d, VarLen(e.Delta));
    Append(d, e.Body);
  }
  return d;
}

inline Bytes Chunk(const Bytes& body, int64_t declaredLength = -1) {
  Bytes c{'M', 'T', 'r', 'k'};
  Append(c, BE(declaredLength < 0 ? static_cast<uint32_t>(body.size()) : static_cast<uint32_t>(declaredLength), 4));
  Append(c, body);
  return c;
}

inline Bytes Header(uint16_t format, uint16_t tracks, int16_t division) {
  Bytes h{'M', 'T', 'h', 'd'};
  Append(h, BE(6, 4));
  Append(h, BE(format, 2));
  Append(h, BE(tracks, 2));
  Append(h, BE(static_cast<uint16_t>(division), 2));
  return h;
}

inline Bytes Smf(uint16_t format, int16_t division, std::initializer_list<Bytes> chunkBodies) {
  Bytes f = Header(format, static_cast<uint16_t>(chunkBodies.size()), division);
  for (const Bytes& b : chunkBodies) Append(f, Chunk(b));
  return f;
}

// Records what the loader says instead of showing it.
class RecordingPrompt : public SongPrompt {
 public:
  void ShowError(const std::string& text) override { Errors.push_back(text); }
  bool AskYesNo(const std::string& text) override {
    Questions.push_back(text);
    return Answer;
  }
  std::vector<std::string> Errors;
  std::vector<std::string> Questions;
  bool Answer = true;
};

// A decoded event with its absolute tick, for comparing tracks.
struct Event {
  uint32_t Tick;
  uint8_t Status, Data1, Data2, Data3;
  uint32_t Value;
  Bytes Payload;
  bool operator==(const Event&) const = default;
};

std::vector<Event> Events(const TMidiData& track);
// Loads bytes as opening a file does; fails the test on a load failure when `mustLoad`.
bool Load(Song& song, const Bytes& file, RecordingPrompt* prompt = nullptr, MemoryLog* log = nullptr);
// Saves and loads back through the writer and reader.
Bytes Save(Song& song, bool format0 = false);

}  // namespace melko::test

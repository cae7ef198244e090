// Offline rendering: plays a song through the same playback engine with a
// virtual clock and a hand-fired timer, into the built-in synth without an
// audio driver. The engine starts without lead, so an event at the start
// sounds at sample 0; the timer is fired at each tick's own microsecond and
// the synth renders up to that moment first, so every event lands on the
// 64-sample block of its time (FluidSynth's step). Runs as fast as the machine allows, on the
// calling thread, which also plays the UI thread's part.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/log_sink.h"
#include "midi/playback_engine.h"
#include "midi/synth/builtin_synth.h"
#include "song/song.h"

namespace melko {

struct RenderOptions {
  uint32_t FromTick = 0;
  uint32_t SampleRate = 44100;     // must match the synth's
  uint32_t MaxSongMs = 4 * 3600 * 1000;  // a safety net, never reached by a song that ends
  uint32_t MaxTailMs = 10000;      // release and reverb after the end
  EngineOptions Engine;
  uint8_t SendOptions = kSendSystemExclusive | kSendBankChange;
};

struct RenderStats {
  uint64_t Frames = 0;      // frames written
  uint32_t SongMs = 0;      // from the timer start to the engine's stop
  double WallSeconds = 0;   // time the render took
  std::string StopText;     // a stop notice with text (an engine failure), else empty
};

// Receives interleaved 16-bit stereo frames; false aborts the render.
using FrameSink = std::function<bool(const int16_t* frames, size_t count)>;

// Renders `song` into `sink`. `synth` must have been created without audio
// output at options.SampleRate. False with `error` set when it fails.
bool RenderSong(Song& song, BuiltinSynth& synth, const RenderOptions& options, const FrameSink& sink,
                RenderStats& stats, std::string& error, LogSink* log = nullptr,
                const std::function<void(uint32_t songMs)>& progress = {});

}  // namespace melko

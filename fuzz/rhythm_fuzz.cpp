// Fuzz harness of the rhythm pattern file: the input is read as a RYM file
// and, when it is one, every pattern is loaded, played into an event list,
// stored and loaded again (which must give the same stream), and stretched;
// the input is also read as a bare pattern stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "views/rhythm_file.h"
#include "views/rhythm_pattern.h"

namespace {

void Exercise(std::string_view stream) {
  melko::TRhythmPattern p;
  p.LoadStream(stream);
  const auto events = p.PlayEvents(480);
  if (events.size() != size_t(p.CellCount())) std::abort();
  for (size_t i = 1; i < events.size(); ++i)
    if (events[i].Time < events[i - 1].Time) std::abort();
  const std::string stored = p.StoreStream();
  melko::TRhythmPattern back;
  if (!back.LoadStream(stored) || back.StoreStream() != stored) std::abort();
  if (p.CanStretch()) p.Stretch();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  melko::TRymPatternList list;
  if (list.ReadBytes(bytes)) {
    for (const auto& entry : list.Patterns) Exercise(entry.Stream);
    const std::string written = list.WriteBytes();
    melko::TRymPatternList back;
    if (!back.ReadBytes(written) || back.WriteBytes() != written) std::abort();
  }
  Exercise(bytes);
  return 0;
}

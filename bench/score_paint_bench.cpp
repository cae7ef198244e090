// Painting one screen of the score of a track of 200,000 notes (melody with
// chords, eighths and sixteenths) at the start, the middle and the end of
// the track, offscreen (goal: under 8 ms, the same at every position).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

#include "edit/edit_dispatcher.h"
#include "song/smf_reader.h"
#include "views/score_staff.h"
#include "views/ui/score_form.h"

namespace melko {
namespace {

class NoUi : public EditUi {
 public:
  bool OpenToolDialog(int, ToolSettings&) override { return false; }
  bool OpenSetDialog(int, SetPositionValues&) override { return false; }
  void ShowMessage(const std::string&) override {}
};

constexpr uint32_t kNotes = 200000;

struct Bench {
  Song song;
  NoUi ui;
  std::unique_ptr<EditDispatcher> dispatcher;
  StepEntryState state;
  std::unique_ptr<TScoreForm> form;
  uint32_t lastTick = 0;
  Bench() {
    song.ClearSong();
    ApplySongLoaded(song);
    TMidiData& d = song.Tracks[1];
    d.Touch();
    uint32_t last = 0, tick = 0;
    // Bars of eighths, sixteenths and a three-note chord, cycling through the keys' notes.
    static const int kLen[] = {240, 240, 120, 120, 120, 120, 480};
    for (uint32_t i = 0; i < kNotes;) {
      for (int k = 0; k < 7 && i < kNotes; ++k) {
        const int chord = k == 6 ? 3 : 1;
        for (int c = 0; c < chord && i < kNotes; ++c, ++i) {
          TMidiEvent ev;
          ev.Time = tick;
          ev.Status = 0x90;
          ev.Data1 = uint8_t(55 + (i * 7) % 30 + c * 4);
          ev.Data2 = 100;
          ev.Value = uint32_t(kLen[k] * 9 / 10);
          EncodeEvent(d, ev, last, 0, song.MaxGate());
        }
        tick += uint32_t(kLen[k]);
      }
    }
    lastTick = tick;
    song.TrackDataChanged(1);
    dispatcher = std::make_unique<EditDispatcher>(song, ui);
    state.SongLoaded(song.TPQN);
    form = std::make_unique<TScoreForm>(song, *dispatcher, state, 1);
    form->resize(1280, 480);
    form->show();
    QApplication::processEvents();
  }
};

Bench& TheBench() {
  static Bench b;
  return b;
}

void BM_PaintScore(benchmark::State& state) {
  Bench& b = TheBench();
  TStaffView* view = b.form->Staff();
  // At the end, the last screen is full of notes.
  const uint32_t screen = TickAtX(view->width(), 0, b.form->PixelsPer16th(), b.song.TPQN);
  const uint32_t target = uint32_t(uint64_t(b.lastTick) * uint64_t(state.range(0)) / 100);
  b.form->ScrollToTick(target > b.lastTick - screen ? b.lastTick - screen : target);
  QImage image(view->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    QPainter p(&image);
    view->PaintStaff(p, image.rect());
    benchmark::DoNotOptimize(image.bits());
  }
  state.counters["chords"] = double(b.form->Layout().Chords.size());
  state.counters["notesRead"] = double(b.form->Layout().NotesRead);
}
BENCHMARK(BM_PaintScore)->Arg(0)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace melko

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

// Painting one screen of the track sheet (list and event map) at the start,
// the middle and the end of a song of 16 tracks × 100,000 notes with
// controllers, offscreen (goal: under 5 ms, the same at every position).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>

#include "edit/edit_dispatcher.h"
#include "big_song.h"
#include "views/ui/track_form.h"

namespace melko {
namespace {

class NoUi : public EditUi {
 public:
  bool OpenToolDialog(int, ToolSettings&) override { return false; }
  bool OpenSetDialog(int, SetPositionValues&) override { return false; }
  void ShowMessage(const std::string&) override {}
};

struct Bench {
  Song song;
  NoUi ui;
  std::unique_ptr<EditDispatcher> dispatcher;
  std::unique_ptr<TTrackForm> form;
  Bench() {
    FillBigSong(song);
    dispatcher = std::make_unique<EditDispatcher>(song, ui);
    form = std::make_unique<TTrackForm>(song, *dispatcher);
    form->resize(1280, 720);
    form->show();
    QApplication::processEvents();
  }
};

Bench& TheBench() {
  static Bench b;
  return b;
}

void BM_PaintSheet(benchmark::State& state) {
  Bench& b = TheBench();
  TSheetView* view = b.form->Sheet();
  QScrollBar* h = view->horizontalScrollBar();
  h->setValue(int(int64_t(h->maximum()) * state.range(0) / 100));
  QImage image(view->viewport()->size(), QImage::Format_RGB32);
  for (auto _ : state) {
    view->viewport()->render(&image);
    benchmark::DoNotOptimize(image.bits());
  }
  state.counters["cells"] = double(h->maximum());
}
BENCHMARK(BM_PaintSheet)->Arg(0)->Arg(50)->Arg(100)->Unit(benchmark::kMillisecond);

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

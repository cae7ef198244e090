// TRymPtEditForm ("RhythmPatternEditor"), the rhythm pattern editor: a
// list of named drum patterns (one shown at a time, stored back into its
// stream before another is shown), the grid of the shown one (TRhythmGrid)
// with its quant, meter, measures and shuffle, the velocity levels, the drum
// map and drum set that order and name the rows, looped play on a timer of
// its own (TRhythmPlayer) on channel 10 of a chosen port, Import from the
// edit range, Export into the clipboard, Stretch, and the RYM files. The
// window keeps the file name, the pattern list, the maps and the levels for
// the program's run. What it asks of the program comes through Hooks.
// UI thread; the song, dispatcher, definitions, relay and ports are the
// caller's and outlive the window.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <string>

#include "edit/edit_dispatcher.h"
#include "instruments/instruments.h"
#include "midi/midi_ports.h"
#include "views/drum_map.h"
#include "views/rhythm_drum_set.h"
#include "views/rhythm_file.h"
#include "views/rhythm_pattern.h"
#include "views/rhythm_player.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QCheckBox;
class QTimer;

namespace melko {

class TRhythmGrid;

struct RymPtEditHooks {
  std::function<bool(const std::string& question)> AskYesNo;
  std::function<void(const std::string& text)> ShowError;
  // Asks for a text; false when cancelled.
  std::function<bool(const std::string& caption, const std::string& prompt, std::string& text)> InputText;
  // A file to open (save false) or to save; "" when cancelled.
  std::function<std::string(bool save, const std::string& start)> ChooseFile;
  // The tempo taken for playing was posted (microseconds per quarter note).
  std::function<void(uint32_t tempo)> TempoPosted;
  // Export filled the clipboard.
  std::function<void()> ClipboardChanged;
};

class TRymPtEditForm : public QWidget {
  Q_OBJECT
 public:
  TRymPtEditForm(Song& song, EditDispatcher& dispatcher, TmInstruments& insts, TmMidiRelay* relay, MidiPorts* ports,
                 Clock& clock, TimerFactory timers, const std::string& dataDir, QWidget* parent = nullptr);
  ~TRymPtEditForm() override;

  RymPtEditHooks Hooks;

  TRymPatternList List;
  int Index = 0;
  TRhythmPattern Pattern;
  TDrumMapList Maps;
  std::array<int, 8> VelocityLevels;
  std::string FileName;
  uint8_t Port = 0;

  // The file's patterns, pattern `index` shown; false (with the message
  // shown) when the file is refused.
  bool OpenFile(const std::string& path, int index = 0);
  bool SaveFile(const std::string& path);
  // Stores the grid into its stream and shows pattern index.
  void ShowPattern(int index);
  // The grid into the shown pattern's stream.
  void StoreCurrent();
  // A velocity level chosen (0 fff .. 7 ppp): the pen writes it.
  void ChooseLevel(int level);
  void SelectMap(int index);
  // The drum set named by the pattern: rows named, its patch sent.
  void SelectDrumSet();

  void Import();
  void Export();
  void StretchPattern();
  void AddPattern();
  void DeletePatterns();
  void RenamePattern();
  void NewFile();
  void Play(bool on);
  bool Playing() const { return player_.Playing(); }

  TRhythmGrid* Grid = nullptr;
  QComboBox *cbQuant = nullptr, *cbBeats = nullptr, *cbUnit = nullptr, *cbInstrument = nullptr,
            *cbDrumSet = nullptr, *cbPort = nullptr;
  QLineEdit *edMeasures = nullptr, *edShuffle = nullptr, *edPatternName = nullptr;
  QLabel* lblIndex = nullptr;
  QListWidget* lbPatterns = nullptr;
  QPushButton *btnPlay = nullptr, *btnStretch = nullptr, *btnMap = nullptr;
  std::array<QPushButton*, 8> btnLevels{};
  QCheckBox* cbPen = nullptr;

 protected:
  void closeEvent(QCloseEvent*) override;

 private:
  void BuildControls();
  void UpdateControls();   // the boxes and the list from the pattern
  void UpdateTitle();
  void PatternChanged();   // after every edit: the grid, and the play list while playing
  void LayoutChanged(int quant, int beats, int unit, int measures);
  void DrainPlayer();

  Song& song_;
  EditDispatcher& dispatcher_;
  TmInstruments& insts_;
  TmMidiRelay* relay_;
  MidiPorts* ports_;
  std::string dataDir_;
  TRhythmDrumSet drumSet_;
  TRhythmPlayer player_;
  QTimer* positionTimer_ = nullptr;
  bool updating_ = false;
};

}  // namespace melko

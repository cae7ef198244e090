// TScoreForm, the score window of one track (its number in Tag; several may
// be open at once): the note palette (pen and erase, note values, dot, tie,
// tuplet, velocity and gate presets, grid, the step boxes), the staff image
// imgStaff with its clef, key and meter header, the two scroll bars, and
// the graphic edit pnlGEdit under the staff (views/ui/score_gedit_panel.h).
// The staff is drawn with the music font, notes where their ticks are
// (PixelsPer16th per sixteenth), on the diatonic column that the mouse
// reads (NoteHeight, TopStep, scbScoreVert). Only what is on screen is laid
// out, found through an index by tick that is rebuilt when the track's
// revision moves. The step-entry logic is ScoreStep (views/score_step.h);
// every change goes through the dispatcher as one undoable edit, and the
// window follows the song through its notifier. UI thread; the song, the
// dispatcher and the shared step state are the caller's.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <memory>

#include "edit/edit_dispatcher.h"
#include "song/song.h"
#include "midi/kanabun.h"
#include "song/tick_index.h"
#include "views/score_layout.h"
#include "views/score_step.h"

class QComboBox;
class QElapsedTimer;
class QLabel;
class QLineEdit;
class QScrollBar;
class QToolButton;

namespace melko {

class MusicFont;
class TmKanabunRegistration;
class TScoreForm;

// The window's NoteHeight until the settings say otherwise: five pixels a
// step gives a ten-pixel staff space, what a printed part reads like on screen.
constexpr int kScoreFormNoteHeight = 5;
class TStaffHeader;
class TStaffView;
class TGEditPanel;
class TGEditBand;
struct NameTable;

struct ScoreFormHooks {
  // Sounds (on) or stops (off) a note on the track's port and channel.
  std::function<void(int track, int note, int velocity, bool on)> Audition;
  // The main window's play button is down.
  std::function<bool()> IsPlaying;
  // The MIDI button: this window wants (or no longer wants) the MIDI
  // input's notes, handed to MidiInput.
  std::function<void(TScoreForm* window, bool on)> WantMidiInput;
  // The play position while playing, for "Sync".
  std::function<int32_t()> PlayTick;
  // The position moved (the strip shows it).
  std::function<void(uint32_t tick)> PositionChanged;
  // A note of the window's keyboard piano while a take runs: true when the
  // take stored it (the track is armed), so it is no step entry.
  std::function<bool(int track, int note, bool on)> RecordKey;
  // "TR": the score of another track (its own window), at the same position.
  std::function<void(int track)> ShowTrack;
};

class TScoreForm : public QWidget {
  Q_OBJECT
 public:
  TScoreForm(Song& song, EditDispatcher& dispatcher, StepEntryState& state, int track, QWidget* parent = nullptr);
  ~TScoreForm() override;

  ScoreFormHooks Hooks;
  int Tag() const { return step_.Track; }
  ScoreStep& Step() { return step_; }
  // "演奏中はマウス禁止": the score option byte's bit value 64.
  bool NoMouseWhilePlaying = false;
  int CenterC = 0;
  // What is written under each chord: 0 nothing, 1 velocity, 2 gate.
  int ShowValues = 0;

  int NoteHeight() const { return noteHeight_; }
  void SetNoteHeight(int pixels);
  int PixelsPer16th() const { return pixelsPer16th_; }
  void SetPixelsPer16th(int pixels);  // keeps the tick at the left edge
  int Clef() const;
  // Left edge of the staff in ticks; the scroll offset in pixels.
  uint32_t LeftTick() const;
  int ScrollOffset() const;
  void ScrollToTick(uint32_t tick);
  // Scrolls so that the cursor is in view.
  void ShowCursor();
  // The song position was moved elsewhere (the strip, the measure bar, loop
  // play): the cursor, which is that position, is shown again.
  void PositionMoved();
  // Every box and button shows the step state again, and the staff is redrawn.
  void RefreshAll();
  // cmbData's controllers: the entries of DYNCTRL.TXT after its five heads.
  void SetControllers(const NameTable& dynCtrl);
  // A key as the window receives it (virtual-key code and ScoreModifiers).
  void SendKey(int vk, int modifiers);

  // A note-on or note-off of the MIDI input (status | data1 << 8 | data2 << 16).
  void MidiInput(uint32_t msg);
  // The window's computer-keyboard piano: held keys make chords on Enter.
  TmKanabun& Kanabun() { return kanabun_; }

  // What the staff shows now (laid out on the last paint).
  const ScoreLayout& Layout() const { return layout_; }
  TStaffView* Staff() const { return staff_; }
  const MusicFont& Font() const { return *font_; }

  // Palette widgets, by their resource names.
  QToolButton* sbtPen = nullptr;
  QToolButton* sbtErase = nullptr;
  std::array<QToolButton*, 7> sbtNote{};
  QToolButton* sbtDot = nullptr;
  QToolButton* sbtTie = nullptr;
  QToolButton* sbtTuplet = nullptr;
  std::array<QToolButton*, 6> sbtVelocity{};
  std::array<QToolButton*, 3> sbtGate{};
  std::array<QToolButton*, 4> sbtGrid{};
  QToolButton* sbtGridTuplet = nullptr;
  QToolButton* sbtByMidi = nullptr;
  QToolButton* sbtByMouse = nullptr;
  QToolButton* sbtShowCustumize = nullptr;
  QToolButton* sbtSolo = nullptr;
  QToolButton* sbtSync = nullptr;
  QToolButton* sbtStayOnTop = nullptr;
  QToolButton* sbtTrackChange = nullptr;
  // The lines of the TR list: "%.2d: %s" for tracks 1..64, their numbers in `tracks`.
  QStringList TrackChoices(std::vector<int>& tracks) const;
  QToolButton* sbtGEdit = nullptr;
  TGEditPanel* pnlGEdit = nullptr;  // the graphic edit, shown by sbtGEdit
  QComboBox* cmbClef = nullptr;
  QLineEdit* edStep = nullptr;
  QLineEdit* edGateValue = nullptr;
  QLineEdit* edGateRatio = nullptr;
  QLineEdit* edVelocity = nullptr;
  QLineEdit* edTuplet = nullptr;
  QLineEdit* edNote = nullptr;
  QLineEdit* edLoca = nullptr;
  QLineEdit* edQuant = nullptr;
  QLineEdit* edRepeat = nullptr;
  QComboBox* cmbShow = nullptr;
  QScrollBar* scbScoreVert = nullptr;
  QScrollBar* scbHorz = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  friend class TStaffView;
  friend class TStaffHeader;
  friend class TGEditPanel;
  friend class TGEditBand;
  void BuildPalette();
  void SongChanged(const SongChange& c);
  void UpdateBoxes();
  void UpdateScrollRange();
  // After a command: boxes, and the staff scrolled to the cursor when it moved.
  void AfterCommand(bool moved);
  const ScoreLayout& LayoutFor(uint32_t from, uint32_t to);
  bool MouseBlocked() const;

  Song& song_;
  EditDispatcher& dispatcher_;
  ScoreStep step_;
  SongNotifier::Subscription songWatch_;
  TickIndex index_;
  uint64_t indexedRevision_ = ~0ull;
  ScoreLayout layout_;
  std::unique_ptr<MusicFont> font_;
  int noteHeight_ = kScoreFormNoteHeight;
  int pixelsPer16th_ = 12;
  QWidget* header_ = nullptr;
  TmKanabun kanabun_;
  std::unique_ptr<TmKanabunRegistration> kanaRegistration_;
  std::unique_ptr<QElapsedTimer> clock_;
  TStaffView* staff_ = nullptr;
};

// imgStaff: the staff, its notes and the cursor, and the mouse rules.
class TStaffView : public QWidget {
  Q_OBJECT
 public:
  explicit TStaffView(TScoreForm& form);
  int TopStepNow() const;
  // Paints one screen into `p` (the window's paint and the benchmark use it).
  void PaintStaff(QPainter& p, const QRect& area);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;

 public:
  bool IgnoreNextMove = false;

 private:
  void FollowPointer(const QPoint& pos, bool ctrl);
  TScoreForm& form_;
  int sounding_ = -1;
};

// The fixed part left of the staff: clef, key and meter at the left edge.
QWidget* MakeStaffHeader(TScoreForm& form);

// Maps a Qt key event to the virtual-key code the key tables speak (0 when none).
int VirtualKeyOf(const QKeyEvent& e);

}  // namespace melko

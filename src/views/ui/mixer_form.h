// TMixerForm, the mixer window: StripCount channel strips from FirstTrack,
// each with four knobs (TmRKnob) and their edits under the row buttons
// sbtCtrl0..sbtCtrl3, the program button, the fader (TmSlideBar) with its
// edit and the level meter, solo and mute; DrawGrid1 below them, one column
// per track, scrolled with the strips (its popup sets Channel and Port of the
// selected columns); the scroll buttons; and the master column (volume,
// Mute, Sync, Set, Init). It shows and changes the run-long MixerState,
// which it does not own; it follows the song through its notifier, played
// events through PlayedEvent, and lowers the meters on Timer1 (50 ms).
// What it needs of the program (sending, the patch chooser, the master
// volume bar, controller names, warnings) comes through Hooks.
// UI thread. The song, the dispatcher and the state are the caller's.
#pragma once

#include <QAbstractScrollArea>
#include <QWidget>
#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "base/ini_file.h"
#include "edit/edit_dispatcher.h"
#include "song/song.h"
#include "views/mixer_state.h"

class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QTimer;
class QToolButton;

namespace melko {

class TmRKnob;
class TmSlideBar;
class TMixerMeter;
class TMixerGrid;

struct MixerFormHooks {
  // Sends a message of track `track` to its port (B0h + channel, ...).
  std::function<void(int track, uint32_t msg)> Send;
  // The patch chooser for the track's strip, starting at `patch`; true on OK.
  std::function<bool(int track, uint32_t& patch)> ChoosePatch;
  // The mixer's master volume moved: the main window's bar follows.
  std::function<void(int volume)> MasterVolumeChanged;
  // The controller list (number and name) of the row buttons' menu.
  std::function<std::vector<std::pair<int, std::string>>()> Controllers;
  // The four ports' device names for the Port popup.
  std::function<std::array<std::string, 4>()> PortDevices;
  std::function<void(const std::string& text)> ShowWarning;
  // Whether Ctrl is held (the keyboard's state unless set).
  std::function<bool()> CtrlHeld;
};

// One strip's controls; `Track` changes as the window scrolls.
struct TMixerStrip {
  int Track = 1;
  QWidget* Box = nullptr;
  std::array<TmRKnob*, kMixerKnobRows> Knobs{};
  std::array<QLineEdit*, kMixerKnobRows> KnobEdits{};
  QPushButton* Program = nullptr;
  TmSlideBar* Fader = nullptr;
  QLineEdit* FaderEdit = nullptr;
  TMixerMeter* Meter = nullptr;
  QPushButton *Solo = nullptr, *Mute = nullptr;
};

class TMixerForm : public QWidget {
  Q_OBJECT
 public:
  TMixerForm(Song& song, EditDispatcher& dispatcher, MixerState& mixer, QWidget* parent = nullptr);
  ~TMixerForm() override;

  MixerFormHooks Hooks;

  // A played event (EventSent's lParam), handed on by the main window while
  // the window is open.
  void PlayedEvent(uint32_t lParam);
  // The knobs, faders, edits and program buttons of played events, set from
  // the state 40 ms after the first one (a timer; tests may call it).
  void FlushPlayed();
  // Timer1: the meters fall.
  void Timer1Timer();
  // Every strip from the state again (after a scroll, a load, a settings change).
  void RefreshStrips();
  // The main window's bar moved.
  void ShowMasterVolume(int volume);
  // The row buttons' captions from the controller names.
  void UpdateRowButtons();
  std::string ControllerName(int cc) const;

  // The window's place and size in section "Mixer" ("Left", "Top",
  // "Height"); the state's own keys are the state's.
  void LoadSettings(const IniFile& ini);
  void SaveSettings(IniFile& ini) const;

  // Control actions, as the clicks run them.
  void ControlMoved(int strip, int row, int value);
  void sbtCtrlClick(int row);
  void ProgramClick(int strip);
  void SoloClick(int strip, bool down);
  void MuteClick(int strip, bool down);
  void sbtMasterMuteClick(bool down);
  void sbtSetClick();
  void sbtInitClick();
  void ScrollTo(int firstTrack);
  // The popup on DrawGrid1 with Channel and Port.
  QMenu* PopupMenu() const { return popup_; }
  void SetChannelOfSelection(int channel);
  void SetPortOfSelection(int port);

  const std::vector<TMixerStrip>& Strips() const { return strips_; }
  TMixerGrid* DrawGrid1 = nullptr;
  std::array<QPushButton*, kMixerKnobRows> sbtCtrl{};
  QToolButton *tsbtDecTr, *tsbtIncTr, *tsbtDecTr16, *tsbtIncTr16;
  TmSlideBar* sbMasterVolume;
  QLineEdit* veMasterVolume;
  QPushButton *sbtMasterMute, *sbtSync, *sbtSet, *sbtInit;
  QAction *popChannel = nullptr, *popPort = nullptr;
  QTimer* Timer1;

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void BuildStrip(int index);
  void ShowStrip(TMixerStrip& s);
  void ShowFlags();
  void SongChanged(const SongChange& change);
  bool Ctrl() const;
  void Warn(const std::string& text);

  Song& song_;
  EditDispatcher& dispatcher_;
  MixerState& mixer_;
  std::vector<TMixerStrip> strips_;
  QScrollBar* scroll_ = nullptr;
  QMenu* popup_ = nullptr;
  bool showing_ = false;  // controls being set from the state: no sends
  QTimer* editFlush_ = nullptr;
  std::vector<uint32_t> editsDirty_;  // per strip: rows (and the program) shown behind the state
  SongNotifier::Subscription songWatch_;
};

// DrawGrid1: a one-row grid of 64 columns of 36 pixels, one per track
// (number, port and channel, the start of the name), scrolled with the
// strips; a click selects a column, Shift extends, right-click opens the popup.
class TMixerGrid : public QWidget {
  Q_OBJECT
 public:
  TMixerGrid(TMixerForm& form, const Song& song, const MixerState& mixer);
  static constexpr int kColumnWidth = 36;
  int SelFrom = 1, SelTo = 1;
  std::vector<int> SelectedTracks() const;
  // The track of a point's column, 0 outside the columns.
  int TrackAt(int x) const;
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent* e) override;
  void contextMenuEvent(QContextMenuEvent* e) override;

 private:
  TMixerForm& form_;
  const Song& song_;
  const MixerState& mixer_;
};

}  // namespace melko

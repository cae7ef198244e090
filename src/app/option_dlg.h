// The option dialog TOptionDlg with its pages "MIDI Filter" (receive filter,
// velocity rule, send options), "MIDI Port" (devices of ports A..D, input
// device, thru target, default, guide-click and sync ports) and "MIDI Etc."
// (DynamicTHRU on the selected track, the PC keyboard's lock key and upper
// rows, centre C, the position timer's interval, the guide-click note), and
// the port chooser TPortDlg.
// The dialog edits an OptionValues and changes nothing itself, except that a
// device chosen in `cmbMidiInPort` is opened at once (through InputChosen) so
// it can be played while the dialog is open. ApplyOptionValues puts the values
// in place after OK; RunOptionDialog is the menu command around both.
// UI thread; playback is stopped before anything is applied.
#pragma once

#include <QDialog>
#include <QStringList>
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/app_settings.h"
#include "base/ini_file.h"
#include "midi/input_settings.h"
#include "midi/midi_ports.h"
#include "midi/playback_engine.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;

namespace melko {

class Song;
class TMkMainForm;
class UserPrompt;

// Pages by their menu tags.
enum OptionPage : int { kPageMidiFilter = 0, kPageMidiPort = 1, kPageMidiEtc = 2 };

// Everything the dialog edits. Filter.Send is the ports' SendOptions.
constexpr uint8_t kScoreNoMouseWhilePlaying = 64;

struct OptionValues {
  InputFilterSettings Filter;
  ThruSettings Thru;
  KeyboardSettings Keyboard;
  std::array<uint8_t, kPortCount> PortMap{};
  uint8_t InPort = 0;
  uint8_t DefaultOutPort = 0, ClickPort = 0;
  int32_t SyncPort = 0;
  // The default port was picked in the port chooser: every track takes it.
  bool DefaultOutPortChosen = false;
  int CenterC = 0;
  int TimerSyncInterval = 55;
  uint8_t ClickNote = 56;
  // The score windows' option byte ("Score" "Options"); bit value 64:
  // no mouse on the staff while the song plays.
  uint8_t ScoreOptions = 0;
  bool operator==(const OptionValues&) const = default;
};

// Where the values live besides the dialog.
struct OptionTargets {
  MidiPorts& Ports;
  EngineOptions& Engine;
  AppSettings& Settings;
  IniFile& Ini;  // MELKO.INI as the main window keeps it
  Song& TheSong;
  int* CenterC = nullptr;  // the edit layer's copy, when there is one
};

// The values as they stand: ports, engine options and settings; the filter,
// thru, keyboard and centre-C keys from `ini`.
OptionValues CurrentOptionValues(const MidiPorts& ports, const EngineOptions& engine, const AppSettings& settings,
                                 const IniFile& ini);
// Puts `now` in place: the input device is selected (every other input device
// closed), the output devices are reopened when an assignment changed, the
// send options, click note, centre C and timer interval are taken, the song's
// default port follows (every track's port too when it was picked anew), and
// every value is written into `t.Ini`. Playback must be stopped. True when an
// output assignment changed.
bool ApplyOptionValues(const OptionValues& now, OptionTargets& t);
// Closes every input device but the selected one (after Cancel, the devices
// the dialog opened for trying).
void KeepOnlySelectedInput(MidiPorts& ports);

// The dialog's links to parts made elsewhere, set on the main window
// (TMkMainForm::OptionHooks) by whoever owns them.
struct OptionDlgHooks {
  // Fills in the values whose live copy is kept elsewhere (the MIDI input's
  // filter and thru, e.g. goActiveTrackThru toggled on the track window);
  // unset, they come from MELKO.INI as the last OK left them.
  std::function<void(OptionValues& values)> ReadCurrent;
  // The note chooser for the guide-click note. `clickPort` is the guide-click
  // port as chosen in the dialog: the keys tried should sound as the click
  // would (channel 10 of that port, velocity 100). True when a note was chosen.
  std::function<bool(int& note, int clickPort)> ChooseClickNote;
  // After OK with playback stopped, before anything changes: the port map is
  // still the old one, so this is where the thru notes are silenced.
  std::function<void(const OptionValues& old, const OptionValues& now)> BeforeApply;
  // After the values are in place: the MIDI input takes now.Filter and
  // now.Thru (its tables rebuilt, the thru display updated).
  std::function<void(const OptionValues& old, const OptionValues& now)> OnApplied;
};

// The port chooser: a borderless list "Set OutPort" of the four ports that
// follows the mouse and answers the row clicked or entered, -1 on Escape.
class TPortDlg : public QDialog {
  Q_OBJECT
 public:
  TPortDlg(const QStringList& rows, int current, QWidget* parent = nullptr);
  ~TPortDlg() override;
  QListWidget* lbxMidiDev;
  int Chosen = -1;
  // Centred on the screen, the current row under the pointer; the pointer
  // goes back where it was afterwards.
  static int Choose(const QStringList& rows, int current, QWidget* parent);
  void done(int r) override;

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QPoint savedPointer_;
  bool pointerSaved_ = false;
};

class TOptionDlg : public QDialog {
  Q_OBJECT
 public:
  // `ports` gives the device names; `page` is one of OptionPage.
  TOptionDlg(const OptionValues& values, const MidiPorts& ports, int page, QWidget* parent = nullptr);
  OptionValues Values() const;

  // The guide-click note chooser (the piano); true when a note was chosen.
  // Unset: the note is typed into edClickNote as a name or a number.
  std::function<bool(int& note)> ChooseNote;
  // The port chooser behind the default, guide-click and sync port buttons:
  // the row chosen or -1. TPortDlg::Choose unless replaced.
  std::function<int(const QStringList& rows, int current)> ChoosePort;
  // A device chosen in cmbMidiInPort, to open at once.
  std::function<void(int device)> InputChosen;

  QTabWidget* Pages;
  // "MIDI Filter".
  QCheckBox *cbxNote, *cbxKeyPressure, *cbxControlChange, *cbxProgramChange, *cbxChannelPressure, *cbxPitchBend;
  QRadioButton *rbByMidi, *rbAdd, *rbChange, *rbSet;
  QLineEdit *edAdd, *edChange, *edSet;
  QCheckBox *cbxSystemExclusive, *cbxBankChange;
  // "MIDI Port".
  std::array<QComboBox*, kPortCount> cmbPort{};
  QComboBox *cmbMidiInPort, *cmbThruPort;
  QPushButton *btnOutPort, *btnClickPort, *btnSyncPort;
  // "MIDI Etc.".
  QCheckBox* cbxSelectedTrackThru;
  QComboBox* cmbToggleType;
  QCheckBox* cbxUpperEnabled;
  QCheckBox* cbxScoreNoMouse;
  QSpinBox *edCenterC, *edTimerSyncInterval;
  QLabel* lbCenterC;
  QLineEdit* edClickNote;
  QPushButton* btnClickNote;

  // The rows of the port chooser and of cmbThruPort: "A: device" with the
  // devices as chosen in cmbPort0..3.
  QStringList PortRows() const;

 private:
  QWidget* BuildFilterPage(const OptionValues& v);
  QWidget* BuildPortPage(const OptionValues& v, const MidiPorts& ports);
  QWidget* BuildEtcPage(const OptionValues& v);
  void RefreshPortTexts();
  void PickPort(int& port, bool* chosen);
  void ShowClickNote();
  void ReadClickNote();

  OptionValues base_;  // what the dialog does not show is kept as it came
  int defaultOutPort_, clickPort_, syncPort_;
  bool defaultChosen_ = false;
  int clickNote_;
  int shownCenterC_ = 0;  // the naming edClickNote's text was written in
};

// The menu command: the dialog on `page` through `prompt`; on OK playback
// stops, then form.OptionHooks.BeforeApply, ApplyOptionValues and
// form.OptionHooks.OnApplied run in this order. True on OK.
bool RunOptionDialog(TMkMainForm& form, UserPrompt& prompt, int page);
// The window's current values.
OptionValues FormOptionValues(TMkMainForm& form);
// A dialog with the window's current values, wired to the window's ports and
// hooks (the screenshots use it too).
std::unique_ptr<TOptionDlg> MakeOptionDialog(TMkMainForm& form, int page);

}  // namespace melko

// TMkMainForm, the main window: the thin strip of the edit range and the
// position (range boxes, position, time, tempo, key, meter, measure scroll
// bar, master volume, Undo, transport, SyncOut and GuideClick), the menus of
// the song document (File, MIDI, play commands, Window), the start-up and
// close sequence, the playback engine's notifications (drained on this
// thread by a timer) and the log and ExTrack windows. It follows the song
// through the song's notifier (a load, the conductor's maps, the ExTrack)
// and announces there what the strip and its menus change.
// UI thread only. The window does not own the AppCore; it owns the document,
// the settings and its child windows. The edit commands plug in through
// InstallEditMenus.
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "app/app_core.h"
#include "app/app_settings.h"
#include "app/option_dlg.h"
#include "app/song_document.h"
#include "app/user_prompt.h"
#include "base/ini_file.h"
#include "edit/edit_range.h"
#include "edit/name_tables.h"
#include "edit/rpn_defs.h"
#include "edit/step_list.h"
#include "edit/recorder.h"

class QAction;
namespace melko {
class TmKanabun;
class TmKanabunRegistration;
}
class QCheckBox;
class QLabel;
class QStackedWidget;
class QLineEdit;
class QMenu;
class QPushButton;
class QScrollBar;
class QTimer;

namespace melko {

class TLogForm;
class TExTrack;

extern const char* const kMsgRequiredFilesMissing;
extern const char* const kMsgAbnormalEnd;
extern const char* const kMsgTemporaryMissing;

// Files that must exist in the data folder before the program starts; the
// first missing one, or "" when all are there.
std::string MissingRequiredFile(const std::string& dataDir);

struct MainFormOptions {
  std::string ProgramDir;  // with trailing "/"
  std::string DataDir;     // with trailing "/"
  // Screenshot and test runs may leave MELKO.INI alone.
  bool WriteSettings = true;
  // Off for a picture: no abnormal-end message and no reload of _TEMP.MID,
  // which belongs to the user's own run (and is marked abnormal while it runs).
  bool RecoverTemporary = true;
};

class TMkMainForm : public QMainWindow {
  Q_OBJECT
 public:
  TMkMainForm(AppCore& core, UserPrompt& prompt, MainFormOptions options, QWidget* parent = nullptr);
  ~TMkMainForm() override;

  // FormCreate and the start-up steps 3..5: settings, the abnormal-end check,
  // history menus, temporary folder, ports, a new song, then the temporary
  // file, AutoOpen or `commandLineFile`.
  void Startup(const std::string& commandLineFile);
  // True once Startup has run to its end.
  bool StartupFinished() const { return startupFinished_; }
  // Ends a start-up that was cut short (by a signal): the settings file keeps
  // the end mark of the last run, the ports close and the window goes.
  void AbandonStartup();

  // The edit commands of the edit layer: the Edit menu goes into the menu bar,
  // the popup menu opens on Alt in the range boxes; `range` replaces the
  // window's own edit range (the dispatcher's), `undo` runs on sbtUndo.
  void InstallEditMenus(QMenu* editMenu, QMenu* popEditMenu, TEditRange* range = nullptr,
                        std::function<void()> undo = {});
  // The undo button's state, set by whoever owns undo.
  void SetUndoState(bool enabled, const std::string& hint);
  // The edit bracket used by the ExTrack merge (the dispatcher's when set).
  std::function<void()> BeginEditHook;
  std::function<void(const std::string&)> FinishEditHook;
  // Dialogs of the edit layer for the meter and key boxes; true on OK.
  std::function<bool(uint32_t& meter)> MeterDialog;
  std::function<bool(uint32_t& key)> KeyDialog;
  // The option dialog's note chooser and MIDI input links.
  OptionDlgHooks OptionHooks;

  // State.
  AppCore& Core() { return core_; }
  Song& TheSong() { return core_.TheSong; }
  SongDocument& Document() { return *doc_; }
  AppSettings& Settings() { return settings_; }
  IniFile& Ini() { return ini_; }
  TEditRange& Range() { return *range_; }
  TLogForm* LogForm() { return logForm_; }
  TExTrack* ExTrackForm() { return exTrackForm_; }
  // The track sheet, made by the edit layer's installation (null before).
  class TTrackForm* TrackForm() { return trackForm_; }
  void InstallTrackForm(EditDispatcher& d);
  // The SysEx definitions (the data folder's SysEx/ tables and SYSEX.TXT),
  // loaded when the window is made. The tree is one object for the whole run:
  // a reload refills it in place, so references to it stay valid.
  class TSysExStore& SysEx() { return *sysEx_; }
  // popReloadSysEx: loads the definitions again; what went wrong goes to the log.
  void ReloadSysEx();
  // The SysEx input dialog on this run's definitions (see InputSysEx):
  // the hex text of the message on OK, empty on Cancel.
  std::string InputSysEx(const std::string& initialHex, QPoint at, QWidget* parent = nullptr);
  // The event lists on the edit layer's dispatcher and name tables (the
  // edit layer's installation calls it); ShowList makes list 1 or 2 when
  // first wanted and shows `track` in it.
  void InstallEventLists(EditDispatcher& d, const EditNameTables& tables);
  class TEventForm* ShowList(int list, int track);
  class TEventForm* List(int list) { return lists_[list == 2 ? 1 : 0]; }
  // The mixer: its state for the run (settings read now), working through
  // `d`, its row buttons naming controllers from `control` (CONTROL.TXT).
  void InstallMixer(EditDispatcher& d, const struct NameTable* control);
  // Window > Mixer: made on first use.
  void ShowMixer();
  class TMixerForm* MixerForm() { return mixerForm_; }
  class MixerState* Mixer() { return mixer_.get(); }
  // The rhythm pattern editor (AddOn menu), made on first use; null before
  // the edit layer is installed.
  class TRymPtEditForm* RhythmForm();
  void ShowRhythmForm();

  // Range boxes: read them into the range and rewrite them (Enter or focus out).
  void ReadRangeBoxesNow();
  // Normalizes the range for a command and rewrites the boxes.
  TEditRange& NormalizedRange();
  void WriteRangeBoxes();
  // Position.
  void ShowPosition(uint32_t tick);
  void scbMeasChange();
  void ScrollEnd();  // end of a thumb drag or a step of scbMeas
  void sbtRewindClick();
  // Tempo, meter, key boxes.
  void SetBpm(int bpm);
  void edBPMEnter();
  void edMeterEnter();
  void ApplyKey(uint32_t key);
  // Play commands.
  enum PlayMode { kPlaySong, kPlayFromCurrent, kPlayTrack, kPlayTrackFromCurrent, kPlayLoop };
  void Play(PlayMode mode);
  void PlayStopToggle();  // F11
  void StopPlay();
  bool IsPlaying() const;
  // Engine notifications waiting in the queue.
  void DrainEngine();
  void ModuleReset(int kind);
  void OpenHandedFile(const QByteArray& path);

  // Recording: the record button's two ways, and the recorder working
  // through the dispatcher `d` (InstallEditLayer calls InstallRecorder).
  void InstallRecorder(EditDispatcher& d);
  void sbtRecClick(bool down);
  void RecordToggle();  // F12
  bool IsRecording() const { return recorder_ && recorder_->Recording(); }
  RecordSetup CurrentRecordSetup() const;
  // The thru display (pnlThru) after the mode or the target changed.
  void UpdateThruDisplay();
  // A window that takes note input from the MIDI input gets every note-on
  // and note-off while not recording; null unregisters it.
  void SetNoteInputWindow(QObject* window, std::function<void(uint32_t msg)> handler);
  // The input indicator lit by the last message (for tests).
  bool InputIndicatorLit() const;

  // Controls (names as the window resource gives them).
  QLineEdit *edStartTrack, *edEndTrack, *edStartRange, *edEndRange, *edLoc, *edTime;
  QLineEdit *edBPM, *edKeySig, *edMeter;
  QScrollBar *scbBPM, *scbMeas, *scbMasterVolume;
  QPushButton *sbtUndo, *sbtRewind, *sbtPlay, *sbtRec, *sbtAutoRewind, *sbtLoop;
  QCheckBox *cbxMidiSyncOut, *cbxGuideClick;
  QPushButton *sbtRecOption, *sbtCountDown, *sbtCountUp, *sbtPreRangeDown, *sbtPreRangeUp;
  QStackedWidget* pnlOptions;  // pnlSeqOpt and pnlRecOpt
  QWidget *pnlSeqOpt, *pnlRecOpt;
  QCheckBox *cbxPunch, *cbxOverDub, *cbxSingle, *cbxTrChMidi, *cbxRecTrack;
  QLineEdit *edCount, *edPreRange;
  QLabel *pnlThru, *lblMidiIn, *lblArmed;
  QAction* mnuRecord = nullptr;
  QMenu *mnuFile, *mnuMidi, *mnuPlay, *mnuOptions, *mnuWindow, *hmMidiFile, *hmSetupTemplate;
  QMenu* PopEditMenu = nullptr;
  QAction *mnuNewFile, *Open1, *Save1, *SaveAs1, *mnuSaveAsFormat0, *mnuSaveAlwaysSmfFormat0;
  QAction *mnuSongSetUp, *mnuRegisterSetupTemplate, *mnuOpenExTrack, *mnuShowExTrack, *mnuCloseExTrack;
  QAction *mnuTimerSync, *mnuOffStat, *mnuLog;
  // The option dialog's pages; each action's data is its page (OptionPage).
  QAction *mnuFilterSetup, *mnuPortSetup, *mnuEtcSetup;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildStrip();
  void BuildRecordPanel(QWidget* strip, class QGridLayout* grid);
  void ConnectRecordPanel();
  void StartRecordingFromButton();
  void StopRecordingFromButton();
  void SetRecordControlsEnabled(bool enabled);
  void ShowRecordValues();
  void UpdateRecTrackBox();
  void LightInputIndicator();
  void InstallKeyboardAndOptions();
  void KeyboardNote(int note, bool on);
  void BuildMenus();
  void ConnectStrip();
  void RebuildHistoryMenus();
  void UpdateDocumentActions();
  void SongChanged(const SongChange& change);
  void OnSongLoaded();
  void ExTrackChanged();
  void ConductorChanged();
  void UpdateMeasureMax();
  void RestoreAfterStop();
  void ShowTime(int32_t ms);
  void RegisterTemplates();
  void SaveSettings();
  bool FormCloseQuery();
  bool AskSaveOnClose();  // Yes/No/Cancel; true when the window may close
  void StartPositionTimer();

  AppCore& core_;
  UserPrompt& prompt_;
  MainFormOptions options_;
  IniFile ini_;
  AppSettings settings_;
  std::unique_ptr<SongConverter> converter_;
  std::unique_ptr<SongDocument> doc_;
  TEditRange ownRange_;
  TEditRange* range_ = &ownRange_;
  std::function<void()> undo_;
  TLogForm* logForm_ = nullptr;
  TExTrack* exTrackForm_ = nullptr;
  class TTrackForm* trackForm_ = nullptr;
  std::unique_ptr<class MixerState> mixer_;
  class TMixerForm* mixerForm_ = nullptr;
  EditDispatcher* mixerDispatcher_ = nullptr;
  const struct NameTable* mixerControl_ = nullptr;
  uint32_t lastMixerDecayMs_ = 0;
  void MixerPlayed(uint32_t lParam);
  void MixerIdleDecay();
  std::unique_ptr<class TmInstruments> instruments_;  // the INST folder's definitions
  std::unique_ptr<class TSysExStore> sysEx_;           // the SysEx folder's tables, SYSEX.TXT
  std::array<class TEventForm*, 2> lists_{};           // top-level windows, deleted with this one
  EditDispatcher* listDispatcher_ = nullptr;
  const EditNameTables* listTables_ = nullptr;
  std::unique_ptr<RpnTable> rpnTable_;           // null: RPN.TXT is missing
  std::unique_ptr<StepList> stepList_;            // "StepInc", shared by both lists
  void FollowLists(uint32_t tick);
  void SaveListSettings();
  void DeleteLists();
  void CloseLists();
  void LoadSysEx();
  QTimer* drainTimer_ = nullptr;  // engine notifications
  QTimer* timer1_ = nullptr;      // position while playing without TimerSync
  QTimer* timer2_ = nullptr;      // timed backup
  int32_t lastShownTick_ = -1;
  bool trackSolo_ = false;        // track play: the solo to remove at stop
  uint8_t savedSolo_ = 0;
  bool closing_ = false;
  bool settingBpm_ = false;
  SongNotifier::Subscription songWatch_;  // unsubscribed before the controls go
  bool startupFinished_ = false;
  bool iniReadable_ = true;      // false: MELKO.INI is left as it is
  bool abnormalBefore_ = false;  // the end mark as the last run left it
  std::unique_ptr<Recorder> recorder_;
  int countIn_ = 4;   // edCount
  int preRange_ = 4;  // edPreRange shows 4 × this
  QTimer* inputLight_ = nullptr;
  EditDispatcher* recordDispatcher_ = nullptr;
  uint64_t lastReceived_ = 0;  // MidiInput::Received at the last look
  QPointer<QObject> noteInputWindow_;
  std::function<void(uint32_t)> noteInput_;
  // The computer keyboard plays the range's first track here (and records
  // into it while the record button is down).
  std::unique_ptr<TmKanabun> kanabun_;
  std::unique_ptr<TmKanabunRegistration> kanabunRegistration_;
};

}  // namespace melko

#include "app/main_form.h"

#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "app/edit_hookup.h"
#include "app/extrack_form.h"
#include "app/filer_form.h"
#include "app/log_form.h"
#include "app/rcp_converter.h"
#include "app/song_setup_dlg.h"
#include "instruments/instruments.h"
#include "sysex/sysex_store.h"
#include "views/mixer_state.h"
#include "views/ui/mixer_form.h"
#include "views/ui/track_form.h"
#include "base/atomic_write.h"
#include "base/int_helpers.h"
#include "midi/input_settings.h"
#include "midi/kanabun.h"
#include "midi/ui/kanabun_manager.h"
#include "midi/midi_settings.h"
#include "midi/system_backend.h"

namespace melko {

const char* const kMsgRequiredFilesMissing = "必要なファイルがありません！";
const char* const kMsgAbnormalEnd = "前回、異常終了しましたので、テンポラリファイルの読込みを試みます。";
const char* const kMsgTemporaryMissing = "Temporaryパスが存在しません。";

namespace {
bool IsFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}
bool IsFolder(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
QString Q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

std::string MissingRequiredFile(const std::string& dataDir) {
  for (const char* name : {"CONTROL.TXT", "DYNCTRL.TXT", "META.TXT", "LINE.TXT", "RPN.TXT", "INST/GM.INS",
                           "INST/GM.DRM"})
    if (!IsFile(dataDir + name)) return dataDir + name;
  return {};
}

TMkMainForm::TMkMainForm(AppCore& core, UserPrompt& prompt, MainFormOptions options, QWidget* parent)
    : QMainWindow(parent), core_(core), prompt_(prompt), options_(std::move(options)) {
  setObjectName(QStringLiteral("MkMainForm"));
  setWindowTitle(QStringLiteral("MELKO98"));
  BuildStrip();
  BuildMenus();
  ConnectStrip();
  ConnectRecordPanel();

  logForm_ = new TLogForm(this);
  core_.Log.SetTarget(logForm_);
  LoadSysEx();
  exTrackForm_ = new TExTrack(core_.TheSong, this);
  exTrackForm_->BeginEdit = [this] {
    if (BeginEditHook) BeginEditHook();
    else core_.TheSong.UndoFlags.fill(0);
  };
  exTrackForm_->FinishEdit = [this](const std::string& hint) {
    if (FinishEditHook) {
      FinishEditHook(hint);
    } else {
      SetUndoState(false, hint);  // no undo store without the edit layer
      if (doc_) doc_->CountEdit();
    }
  };
  songWatch_ = core_.TheSong.Changes.Subscribe([this](const SongChange& c) { SongChanged(c); });
  core_.ReportError = [this](const std::string& text) { prompt_.ShowError(text); };
  core_.Ports().SetMasterVolumeBar = [this](int volume) { scbMasterVolume->setValue(volume); };

  drainTimer_ = new QTimer(this);
  drainTimer_->setInterval(20);
  connect(drainTimer_, &QTimer::timeout, this, &TMkMainForm::DrainEngine);
  drainTimer_->start();
  timer1_ = new QTimer(this);
  connect(timer1_, &QTimer::timeout, this, [this] {
    int32_t tick = core_.Engine().PlayTick;
    if (tick != lastShownTick_) ShowPosition(static_cast<uint32_t>(std::max(tick, 0)));
    ShowTime(core_.Engine().PlayTime);
  });
  timer2_ = new QTimer(this);
  timer2_->setInterval(10000);
  connect(timer2_, &QTimer::timeout, this, [this] {
    if (doc_) doc_->OnTimerBackup();
  });
}

TMkMainForm::~TMkMainForm() {
  songWatch_.Reset();
  kanabunRegistration_.reset();  // its held notes end while the ports are there
  kanabun_.reset();
  // The controls go after this body, in QWidget's destructor; the focused
  // range box then says editingFinished. Nothing of this window may answer.
  for (QObject* child : findChildren<QObject*>()) {
    QObject::disconnect(child, nullptr, this, nullptr);
    child->removeEventFilter(this);
  }
  core_.Engine().StopPlayback();
  DeleteLists();  // before the controls and the dispatcher they use
  delete mixerForm_;
  mixerForm_ = nullptr;
  delete trackForm_;
  trackForm_ = nullptr;
  core_.TheSong.IsKnownInstrument = [](const std::string& name) { return name == "GM"; };
  core_.Log.SetTarget(nullptr);
  core_.ReportError = nullptr;
  core_.Ports().SetMasterVolumeBar = nullptr;
}

void TMkMainForm::Startup(const std::string& commandLineFile) {
  const std::string iniPath = options_.DataDir + "MELKO.INI";
  // A settings file that is there but cannot be read is not replaced by the
  // defaults at exit: it is left alone for this run.
  iniReadable_ = ini_.Load(iniPath);
  if (!iniReadable_) prompt_.ShowError(iniPath + kMsgSettingsFileUnreadable);
  settings_.Load(ini_, options_.ProgramDir, options_.DataDir);
  abnormalBefore_ = settings_.TerminatedAbnormally;
  const bool abnormal = settings_.TerminatedAbnormally && options_.RecoverTemporary;
  if (abnormal) prompt_.ShowError(kMsgAbnormalEnd);
  settings_.TerminatedAbnormally = true;
  ini_.WriteBool("Error", "TerminatedAbnormally", true);
  if (settings_.SetupTemplates.Entries.empty())
    settings_.SetupTemplates.Entries.push_back({"DefaultTemplate", options_.DataDir + "_SETUP.MID"});
  if (!IsFolder(settings_.Temporary)) {
    prompt_.ShowError(settings_.Temporary + kMsgTemporaryMissing + "\r\n\r\n");
    settings_.Temporary = options_.DataDir;
    ini_.WriteString("Files", "Temporary", settings_.Temporary);
  }
  if (options_.WriteSettings && iniReadable_) ini_.Save(iniPath);

  // The ports, with the settings' choices.
  core_.Ports().InitPorts([this](MidiPorts& p) { ApplyPortSettings(ini_, p); });
  if (auto* system = dynamic_cast<SystemMidiBackend*>(&core_.Backend()))
    for (const auto& line : system->TakeLog()) core_.Log.Line(line);
  core_.Engine().Options = ReadEngineOptions(ini_);
  core_.Input().ApplySettings(ReadInputFilterSettings(ini_), ReadThruSettings(ini_));
  {
    const KeyboardSettings keys = ReadKeyboardSettings(ini_);
    TmKanabunManager::SetToggleType(keys.ToggleType);
    TmKanabunManager::SetUpperEnabled(keys.UpperEnabled);
  }
  UpdateThruDisplay();
  countIn_ = int(ClampInt(ini_.ReadInteger("Rec", "CountIn", 4), 0, kMaxCountIn));
  ShowRecordValues();
  if (!core_.Buffer().Reserved())
    prompt_.ShowError(kMsgReserveFailed + ErrorCodeText(core_.Buffer().ReserveError()));
  core_.TheSong.Options.DefaultPort = core_.Ports().DefaultOutPort;

  sbtAutoRewind->setChecked(settings_.AutoRewind);
  cbxMidiSyncOut->setChecked(settings_.SyncOut);
  cbxGuideClick->setChecked(settings_.GuideClick);
  mnuTimerSync->setChecked(settings_.TimerSync);
  mnuSaveAlwaysSmfFormat0->setChecked(settings_.SaveAlwaysSmfFormat0);
  if (auto* qtPrompt = dynamic_cast<QtUserPrompt*>(&prompt_)) qtPrompt->OwnFileDialogs = settings_.FileDialogType == 1;

  converter_ = std::make_unique<DlRcpConverter>(DlRcpConverter::DefaultPaths(options_.DataDir));
  doc_ = std::make_unique<SongDocument>(core_.TheSong, settings_, prompt_, options_.ProgramDir, options_.DataDir,
                                        converter_.get());
  auto& hooks = doc_->Hooks;
  hooks.StopPlayback = [this] { StopPlay(); };
  doc_->Recording.CountIn = countIn_;  // a new song counts in as the settings say
  hooks.IsPlaying = [this] { return IsPlaying(); };
  hooks.TitleChanged = [this](const std::string& caption) {
    setWindowTitle(Q(caption));
    UpdateDocumentActions();
  };
  hooks.HistoryChanged = [this] { RebuildHistoryMenus(); };
  hooks.SongSetup = [this](bool fromNew) { return RunSongSetup(core_.TheSong, prompt_, fromNew, this); };
  hooks.SetBusy = [](bool busy) {
    if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
  };
  RebuildHistoryMenus();

  InstallEditLayer(*this, prompt_);
  InstallFiler(*this, prompt_);
  doc_->NewSong(false);
  // The track sheet is the song's main view: it opens with the window.
  if (trackForm_ && isVisible()) trackForm_->show();
  if (options_.RecoverTemporary) doc_->OpenAtStart(abnormal, commandLineFile);
  doc_->RestartBackupClock();
  timer2_->start();
  startupFinished_ = true;
}

void TMkMainForm::AbandonStartup() {
  closing_ = true;
  timer1_->stop();
  timer2_->stop();
  StopPlay();
  // Nothing of this run is worth keeping, and a recovery still pending from
  // the last run stays pending: the end mark goes back to what it was.
  ini_.WriteBool("Error", "TerminatedAbnormally", abnormalBefore_);
  if (options_.WriteSettings && iniReadable_) ini_.Save(options_.DataDir + "MELKO.INI");
  core_.Ports().ClosePorts();
  logForm_->close();
  exTrackForm_->close();
  hide();
}

void TMkMainForm::InstallEditMenus(QMenu* editMenu, QMenu* popEditMenu, TEditRange* range,
                                   std::function<void()> undo) {
  if (editMenu) menuBar()->insertMenu(mnuPlay->menuAction(), editMenu);
  PopEditMenu = popEditMenu;
  if (range) {
    *range = *range_;
    range_ = range;
  }
  undo_ = std::move(undo);
  WriteRangeBoxes();
}

void TMkMainForm::SetUndoState(bool enabled, const std::string& hint) {
  sbtUndo->setEnabled(enabled);
  sbtUndo->setToolTip(Q(hint));
}

void TMkMainForm::BuildMenus() {
  mnuFile = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
  mnuNewFile = mnuFile->addAction(QStringLiteral("新規作成(&N)"), this, [this] { doc_->NewFileCommand(true); });
  mnuNewFile->setShortcut(QKeySequence::New);
  Open1 = mnuFile->addAction(QStringLiteral("開く(&O)..."), this, [this] { doc_->OpenCommand(); });
  Open1->setShortcut(QKeySequence::Open);
  hmMidiFile = mnuFile->addMenu(QStringLiteral("最近使ったファイル(&H)"));
  hmSetupTemplate = mnuFile->addMenu(QStringLiteral("セットアップテンプレート(&T)"));
  mnuFile->addSeparator();
  Save1 = mnuFile->addAction(QStringLiteral("上書き保存(&S)"), this, [this] { doc_->SaveCommand(); });
  Save1->setShortcut(QKeySequence::Save);
  SaveAs1 = mnuFile->addAction(QStringLiteral("名前を付けて保存(&A)..."), this, [this] { doc_->SaveAsCommand(); });
  mnuSaveAsFormat0 = mnuFile->addAction(QStringLiteral("SMF Format 0で保存"), this,
                                        [this] { doc_->SaveAsFormat0Command(); });
  mnuSaveAlwaysSmfFormat0 = mnuFile->addAction(QStringLiteral("常にSMF Format 0で保存"));
  mnuSaveAlwaysSmfFormat0->setCheckable(true);
  connect(mnuSaveAlwaysSmfFormat0, &QAction::toggled, this,
          [this](bool on) { settings_.SaveAlwaysSmfFormat0 = on; });
  mnuFile->addSeparator();
  mnuSongSetUp = mnuFile->addAction(QStringLiteral("ソング設定(&U)..."), this, [this] {
    RunSongSetup(core_.TheSong, prompt_, false, this);  // announces what it set
  });
  mnuFile->addSeparator();
  mnuOpenExTrack = mnuFile->addAction(QStringLiteral("ExTrackを開く(&E)..."), this,
                                      [this] { doc_->OpenExTrackCommand(); });
  mnuShowExTrack = mnuFile->addAction(QStringLiteral("ExTrackの表示(&V)"), this, [this] {
    exTrackForm_->show();
    exTrackForm_->raise();
  });
  mnuCloseExTrack = mnuFile->addAction(QStringLiteral("ExTrackを閉じる(&C)"), this, [this] {
    doc_->CloseExTrack();
    exTrackForm_->hide();
  });
  mnuFile->addSeparator();
  mnuFile->addAction(QStringLiteral("終了(&X)"), this, &QWidget::close);

  mnuPlay = menuBar()->addMenu(QStringLiteral("演奏(&P)"));
  struct PlayItem {
    const char* text;
    QKeySequence key;
    PlayMode mode;
  };
  const PlayItem items[] = {
      {"ソング演奏＆停止", QKeySequence(Qt::Key_F11), kPlaySong},
      {"現在位置からソング演奏", QKeySequence(Qt::SHIFT | Qt::Key_F11), kPlayFromCurrent},
      {"トラック演奏", QKeySequence(Qt::CTRL | Qt::Key_F11), kPlayTrack},
      {"現在位置からトラック演奏", QKeySequence(Qt::SHIFT | Qt::CTRL | Qt::Key_F11), kPlayTrackFromCurrent},
      {"ループ演奏(&L)", QKeySequence(), kPlayLoop},
  };
  for (const auto& item : items) {
    PlayMode mode = item.mode;
    QAction* a = mnuPlay->addAction(QString::fromUtf8(item.text), this, [this, mode] {
      if (mode == kPlaySong) PlayStopToggle();
      else if (IsPlaying()) StopPlay();
      else Play(mode);
    });
    a->setShortcut(item.key);
    a->setShortcutContext(Qt::ApplicationShortcut);
  }
  mnuPlay->addSeparator();
  mnuTimerSync = mnuPlay->addAction(QStringLiteral("TimerSync"));
  mnuTimerSync->setCheckable(true);
  mnuTimerSync->setChecked(true);
  connect(mnuTimerSync, &QAction::toggled, this, [this](bool on) {
    settings_.TimerSync = on;
    core_.Engine().SetFlag(kFlagBeat, on);
    if (IsPlaying()) StartPositionTimer();
  });

  mnuMidi = menuBar()->addMenu(QStringLiteral("MIDI(&M)"));
  mnuMidi->addAction(QStringLiteral("GM System On(&M)"), this, [this] { ModuleReset(1); });
  mnuMidi->addAction(QStringLiteral("GS Reset(&S)"), this, [this] { ModuleReset(2); });
  mnuMidi->addAction(QStringLiteral("XG System On(&X)"), this, [this] { ModuleReset(3); });
  mnuMidi->addSeparator();
  // The option dialog, on the page of the item's tag.
  auto optionItem = [this](const char* text, int page) {
    QAction* a = mnuMidi->addAction(QString::fromUtf8(text));
    a->setData(page);
    connect(a, &QAction::triggered, this, [this, a] { RunOptionDialog(*this, prompt_, a->data().toInt()); });
    return a;
  };
  mnuFilterSetup = optionItem("MIDI &Filter Setup", kPageMidiFilter);
  mnuFilterSetup->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_M));
  mnuPortSetup = optionItem("MIDI &Port Setup", kPageMidiPort);
  mnuEtcSetup = optionItem("MIDI &Etc. Setup", kPageMidiEtc);
  mnuOffStat = mnuMidi->addAction(QStringLiteral("Note Off [8n]"));
  mnuOffStat->setCheckable(true);
  connect(mnuOffStat, &QAction::triggered, this, [this](bool on) {
    core_.TheSong.NoteOffStyle = on;
    core_.TheSong.Changes.Notify(kChangeSongSettings);
  });
  connect(mnuMidi, &QMenu::aboutToShow, this, [this] { mnuOffStat->setChecked(core_.TheSong.NoteOffStyle); });

  // The start-up and load options of the settings file, as check items.
  mnuOptions = menuBar()->addMenu(QStringLiteral("オプション(&O)"));
  struct OptionItem {
    const char* text;
    bool AppSettings::*flag;
  };
  const OptionItem options[] = {{"起動時自動読込", &AppSettings::AutoOpen},
                                {"終了時自動保存", &AppSettings::AutoSave},
                                {"読込時音源初期化", &AppSettings::AutoInit},
                                {"TPQN固定", &AppSettings::TPQNFixed}};
  for (const auto& o : options) {
    QAction* a = mnuOptions->addAction(QString::fromUtf8(o.text));
    a->setCheckable(true);
    bool AppSettings::*flag = o.flag;
    connect(a, &QAction::triggered, this, [this, flag](bool on) { settings_.*flag = on; });
    connect(mnuOptions, &QMenu::aboutToShow, a, [this, a, flag] { a->setChecked(settings_.*flag); });
  }

  mnuWindow = menuBar()->addMenu(QStringLiteral("ウィンドウ(&W)"));
  mnuLog = mnuWindow->addAction(QStringLiteral("Log"), this, [this] {
    logForm_->show();
    logForm_->raise();
  });
  mnuWindow->addAction(QStringLiteral("Track"), this, [this] {
    if (!trackForm_) return;
    trackForm_->show();
    trackForm_->raise();
  })->setObjectName(QStringLiteral("mnuShowTrack"));
  // The lists open on the first track of the edit range.
  QAction* list1 = mnuWindow->addAction(QStringLiteral("List1"), this, [this] { ShowList(1, range_->EditFromTrack); });
  list1->setObjectName(QStringLiteral("mnuShowList1"));
  list1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  mnuWindow->addAction(QStringLiteral("List2"), this, [this] { ShowList(2, range_->EditFromTrack); })
      ->setObjectName(QStringLiteral("mnuShowList2"));
  mnuWindow->addAction(QStringLiteral("Mixer"), this, [this] { ShowMixer(); })
      ->setObjectName(QStringLiteral("mnuShowMixer"));
  mnuWindow->addAction(QStringLiteral("ExTrack"), this, [this] {
    exTrackForm_->show();
    exTrackForm_->raise();
  });

  QMenu* addOn = menuBar()->addMenu(QStringLiteral("AddOn"));
  addOn->setObjectName(QStringLiteral("mnuAddOn"));
  addOn->addAction(QStringLiteral("RhythmPatternEditor"), this, [this] { ShowRhythmForm(); })
      ->setObjectName(QStringLiteral("mnuRhythm"));
}

void TMkMainForm::RebuildHistoryMenus() {
  hmMidiFile->clear();
  for (const auto& e : settings_.MidiFiles.Entries) {
    std::string path = e.Path;
    hmMidiFile->addAction(Q(e.Caption), this, [this, path] { doc_->OpenHistory(path); })->setToolTip(Q(path));
  }
  hmMidiFile->setEnabled(!settings_.MidiFiles.Entries.empty());
  hmSetupTemplate->clear();
  for (const auto& e : settings_.SetupTemplates.Entries) {
    std::string path = e.Path;
    hmSetupTemplate->addAction(Q(e.Caption), this, [this, path] { doc_->OpenTemplate(path); });
  }
  hmSetupTemplate->addSeparator();
  mnuRegisterSetupTemplate =
      hmSetupTemplate->addAction(QStringLiteral("テンプレートの登録(&R)..."), this, &TMkMainForm::RegisterTemplates);
}

void TMkMainForm::RegisterTemplates() {
  QDialog dlg(this);
  dlg.setWindowTitle(QStringLiteral("セットアップテンプレートの登録"));
  auto* list = new QListWidget(&dlg);
  auto fill = [&] {
    list->clear();
    for (const auto& e : settings_.SetupTemplates.Entries) list->addItem(Q(e.Caption + "  " + e.Path));
  };
  fill();
  auto* add = new QPushButton(QStringLiteral("追加"), &dlg);
  auto* remove = new QPushButton(QStringLiteral("削除"), &dlg);
  connect(add, &QPushButton::clicked, &dlg, [&] {
    std::string file = prompt_.ChooseOpenFile("", options_.DataDir, "MIDIﾌｧｲﾙ (*.mid *.MID)");
    if (file.empty()) return;
    settings_.SetupTemplates.Entries.push_back({FileNameOf(file), file});
    fill();
  });
  connect(remove, &QPushButton::clicked, &dlg, [&] {
    int row = list->currentRow();
    if (row >= 0) settings_.SetupTemplates.Remove(static_cast<size_t>(row));
    fill();
  });
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dlg);
  connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::accept);
  auto* side = new QVBoxLayout;
  side->addWidget(add);
  side->addWidget(remove);
  side->addStretch();
  auto* row = new QHBoxLayout;
  row->addWidget(list);
  row->addLayout(side);
  auto* layout = new QVBoxLayout(&dlg);
  layout->addLayout(row);
  layout->addWidget(buttons);
  prompt_.Exec(dlg);
  RebuildHistoryMenus();
}

void TMkMainForm::UpdateDocumentActions() {
  if (!doc_) return;
  Save1->setEnabled(doc_->Save1Enabled);
  mnuShowExTrack->setEnabled(doc_->ExTrackOpen());
  mnuCloseExTrack->setEnabled(doc_->ExTrackOpen());
}

void TMkMainForm::SongChanged(const SongChange& c) {
  // Nothing to show while the window closes (its song is cleared then) or
  // before the document exists.
  if (closing_ || !doc_) return;
  if (c.Has(kChangeWholeSong)) {
    OnSongLoaded();
  } else if (c.Has(kChangeMaps)) {
    core_.Engine().TempoMapChanged();
    ConductorChanged();
  }
  TrackSet ex;
  for (int t = kExTrackBase; t < kAllTracks; ++t) ex.set(static_cast<size_t>(t));
  if (c.Has(kChangeTrackData) && (c.Tracks & ex).any()) ExTrackChanged();
  if (c.Has(kChangeTrackSettings) || c.Has(kChangeWholeSong)) {
    // The engine takes the new flags and settings while it plays.
    PlaybackEngine& engine = core_.Engine();
    if (engine.Playing() && c.Has(kChangeTrackSettings))
      for (int t = 1; t <= 64; ++t)
        if (c.Touches(t)) engine.ApplyTrackSettings(t);
    engine.UpdateSilent();
    UpdateRecTrackBox();
    UpdateThruDisplay();
  }
}

void TMkMainForm::ExTrackChanged() {
  exTrackForm_->SetList(doc_->ExTrackList);
  if (doc_->ExTrackOpen()) exTrackForm_->show();
  UpdateDocumentActions();
}

void TMkMainForm::OnSongLoaded() {
  Song& song = core_.TheSong;
  if (settings_.AutoInit) ModuleReset(settings_.ModuleSystem + 1);
  TEditRange& r = *range_;
  r.EditFromTrack = r.EditToTrack = 1;
  r.EditFromTick = 0;
  r.EditToTick = song.TPQN;
  r.CurrentTick = 0;
  r.SavedMeasure = 0;
  SetUndoState(false, "Undo");
  ShowTime(0);
  core_.Engine().TempoMapChanged();
  UpdateMeasureMax();
  scbMeas->blockSignals(true);
  scbMeas->setValue(0);
  scbMeas->blockSignals(false);
  scbMeasChange();
  ConductorChanged();
  WriteRangeBoxes();
  if (doc_) {
    countIn_ = std::clamp(doc_->Recording.CountIn, 0, kMaxCountIn);
    preRange_ = std::clamp(doc_->Recording.PreRange, kMinPreRange, kMaxPreRange);
  }
  ShowRecordValues();
  UpdateThruDisplay();
}

void TMkMainForm::ModuleReset(int kind) {
  int track = std::clamp(range_->EditFromTrack, 1, 64);
  core_.Ports().ModuleReset(kind, core_.TheSong.OutPort[track]);
}

void TMkMainForm::OpenHandedFile(const QByteArray& path) {
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  if (!path.isEmpty() && doc_) doc_->OpenHandedFile(path.toStdString());
}

bool TMkMainForm::FormCloseQuery() {
  if (core_.TheSong.SongSaved || settings_.AutoSave) return true;
  return AskSaveOnClose();
}

bool TMkMainForm::AskSaveOnClose() {
  switch (prompt_.AskYesNoCancel(kMsgAskSaveOnClose)) {
    case UserPrompt::kCancel:
      return false;
    case UserPrompt::kYes:
      if (doc_->Save1Enabled) doc_->SaveCommand();
      else doc_->SaveAsCommand();
      return core_.TheSong.SongSaved;
    case UserPrompt::kNo:
      return true;
  }
  return true;
}

void TMkMainForm::SaveSettings() {
  settings_.AutoRewind = sbtAutoRewind->isChecked();
  settings_.SyncOut = cbxMidiSyncOut->isChecked();
  settings_.GuideClick = cbxGuideClick->isChecked();
  settings_.TimerSync = mnuTimerSync->isChecked();
  settings_.TerminatedAbnormally = false;
  settings_.Save(ini_);
  WritePortSettings(ini_, core_.Ports());
  WriteEngineOptions(ini_, core_.Engine().Options);
  ini_.WriteInteger("Rec", "CountIn", countIn_);
  if (trackForm_) trackForm_->SaveSettings(ini_);
  SaveListSettings();
  SaveEditLayerSettings(*this, ini_, options_.WriteSettings);
  if (mixer_) mixer_->SaveSettings(ini_);
  if (mixerForm_) mixerForm_->SaveSettings(ini_);
  if (options_.WriteSettings && iniReadable_) ini_.Save(options_.DataDir + "MELKO.INI");
}

void TMkMainForm::closeEvent(QCloseEvent* event) {
  if (closing_ || !doc_) {
    event->accept();
    return;
  }
  // A take in progress goes into the song before anything is asked.
  if (IsRecording()) StopRecordingFromButton();
  if (!FormCloseQuery()) {
    event->ignore();
    return;
  }
  timer1_->stop();
  timer2_->stop();
  // With AutoSave the backup is the only copy of the changes: when it cannot
  // be written, the ordinary question comes instead of losing them.
  if (settings_.AutoSave) {
    if (doc_->WriteBackup()) {
      settings_.TemporaryNamed = doc_->Save1Enabled && doc_->DocumentName == settings_.Open;
    } else if (!core_.TheSong.SongSaved && !AskSaveOnClose()) {
      timer2_->start();
      event->ignore();
      return;
    }
  }
  closing_ = true;
  core_.Input().ThruNotesOff();
  doc_->ClearSong();
  doc_->CloseExTrack();
  SaveSettings();
  core_.Ports().ClosePorts();
  logForm_->close();
  exTrackForm_->close();
  if (trackForm_) trackForm_->close();
  CloseLists();
  if (mixerForm_) mixerForm_->close();
  event->accept();
}

}  // namespace melko

// The main window's recording side: the record button and F12, the option
// panels pnlRecOpt (count-in, pre-range) and pnlSeqOpt (SyncOut, Punch,
// OverDub, GuideClick, Single, TrCh<MIDI) switched by sbtRecOption, the Rec
// box of the range's first track, the thru display and the input indicator.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QPointer>
#include <QTimer>
#include <algorithm>
#include <map>
#include <memory>

#include "app/main_form.h"
#include "base/int_helpers.h"
#include "midi/kanabun.h"
#include "midi/ui/kanabun_manager.h"
#include "midi/ui/piano_dlg.h"
#include "instruments/instruments.h"
#include "instruments/ui/patch_select_dlg.h"
#include "views/patch_names.h"
#include "views/ui/score_form.h"
#include "views/ui/track_form.h"

namespace melko {

namespace {
QPushButton* StepButton(QWidget* parent, const char* name, const QString& caption) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setFocusPolicy(Qt::NoFocus);
  b->setFixedWidth(22);
  b->setAutoRepeat(true);
  return b;
}
QCheckBox* Box(QWidget* parent, const char* name, const char* caption, const char* hint = nullptr) {
  auto* b = new QCheckBox(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setFocusPolicy(Qt::NoFocus);
  if (hint) b->setToolTip(QString::fromUtf8(hint));
  return b;
}
const char* const kLitStyle = "QLabel { background: #3c3; color: black; border: 1px solid #282; }";
const char* const kDarkStyle = "QLabel { background: #333; color: #aaa; border: 1px solid #222; }";
}  // namespace

void TMkMainForm::BuildRecordPanel(QWidget* strip, QGridLayout* grid) {
  auto* row = new QHBoxLayout;
  row->setSpacing(3);
  sbtRecOption = new QPushButton(QStringLiteral(">"), strip);
  sbtRecOption->setObjectName(QStringLiteral("sbtRecOption"));
  sbtRecOption->setFocusPolicy(Qt::NoFocus);
  sbtRecOption->setFixedWidth(22);
  sbtRecOption->setToolTip(QStringLiteral("録音オプションとシーケンサオプションを切り替える"));
  sbtRecOption->setCheckable(true);  // down while the recording options show
  pnlOptions = new QStackedWidget(strip);

  pnlSeqOpt = new QWidget(pnlOptions);
  pnlSeqOpt->setObjectName(QStringLiteral("pnlSeqOpt"));
  auto* seq = new QHBoxLayout(pnlSeqOpt);
  seq->setContentsMargins(0, 0, 0, 0);
  seq->setSpacing(6);
  cbxMidiSyncOut = Box(pnlSeqOpt, "cbxMidiSyncOut", "SyncOut");
  cbxPunch = Box(pnlSeqOpt, "cbxPunch", "Punch", "編集範囲の間だけ録音する");
  cbxOverDub = Box(pnlSeqOpt, "cbxOverDub", "OverDub", "録音を元のデータに重ねる");
  cbxGuideClick = Box(pnlSeqOpt, "cbxGuideClick", "GuideClick");
  cbxSingle = Box(pnlSeqOpt, "cbxSingle", "Single", "1トラックで全チャンネル受信");
  cbxTrChMidi = Box(pnlSeqOpt, "cbxTrChMidi", "TrCh<MIDI", "Trackチャンネルを受信MIDIデータで決定");
  for (QCheckBox* b : {cbxMidiSyncOut, cbxPunch, cbxOverDub, cbxGuideClick, cbxSingle, cbxTrChMidi}) seq->addWidget(b);
  seq->addStretch();

  pnlRecOpt = new QWidget(pnlOptions);
  pnlRecOpt->setObjectName(QStringLiteral("pnlRecOpt"));
  auto* rec = new QHBoxLayout(pnlRecOpt);
  rec->setContentsMargins(0, 0, 0, 0);
  rec->setSpacing(2);
  auto numberBox = [this](const char* name, const char* hint) {
    auto* e = new QLineEdit(pnlRecOpt);
    e->setObjectName(QString::fromLatin1(name));
    e->setReadOnly(true);
    e->setAlignment(Qt::AlignRight);
    e->setToolTip(QString::fromUtf8(hint));
    QFontMetrics fm(e->font());
    e->setFixedWidth(fm.horizontalAdvance(QStringLiteral("000")) + 12);
    return e;
  };
  edCount = numberBox("edCount", "録音前カウント");
  edPreRange = numberBox("edPreRange", "録音時のフライングぎみデータの許容範囲");
  sbtCountDown = StepButton(pnlRecOpt, "sbtCountDown", QStringLiteral("-"));
  sbtCountUp = StepButton(pnlRecOpt, "sbtCountUp", QStringLiteral("+"));
  sbtPreRangeDown = StepButton(pnlRecOpt, "sbtPreRangeDown", QStringLiteral("-"));
  sbtPreRangeUp = StepButton(pnlRecOpt, "sbtPreRangeUp", QStringLiteral("+"));
  rec->addWidget(new QLabel(QStringLiteral("CountIn"), pnlRecOpt));
  rec->addWidget(edCount);
  rec->addWidget(sbtCountDown);
  rec->addWidget(sbtCountUp);
  rec->addSpacing(10);
  rec->addWidget(new QLabel(QStringLiteral("PreRange"), pnlRecOpt));
  rec->addWidget(edPreRange);
  rec->addWidget(sbtPreRangeDown);
  rec->addWidget(sbtPreRangeUp);
  rec->addStretch();
  pnlOptions->addWidget(pnlSeqOpt);
  pnlOptions->addWidget(pnlRecOpt);
  pnlOptions->setFixedHeight(pnlSeqOpt->sizeHint().height());

  cbxRecTrack = Box(strip, "cbxRecTrack", "Rec", "範囲の先頭トラックを録音する");
  // Every armed track, so that none is recorded over unseen.
  lblArmed = new QLabel(strip);
  lblArmed->setObjectName(QStringLiteral("lblArmed"));
  lblArmed->setToolTip(QStringLiteral("録音するトラック"));
  auto* thruLabel = new QLabel(QStringLiteral("THRU"), strip);
  pnlThru = new QLabel(QStringLiteral("Off"), strip);
  pnlThru->setObjectName(QStringLiteral("pnlThru"));
  pnlThru->setFrameShape(QFrame::Panel);
  pnlThru->setFrameShadow(QFrame::Sunken);
  pnlThru->setAlignment(Qt::AlignCenter);
  pnlThru->setMinimumWidth(QFontMetrics(pnlThru->font()).horizontalAdvance(QStringLiteral("D 16")) + 16);
  pnlThru->setToolTip(QStringLiteral("THRU Off"));
  lblMidiIn = new QLabel(QStringLiteral("IN"), strip);
  lblMidiIn->setObjectName(QStringLiteral("lblMidiIn"));
  lblMidiIn->setAlignment(Qt::AlignCenter);
  lblMidiIn->setFixedWidth(28);
  lblMidiIn->setToolTip(QStringLiteral("MIDI入力"));
  lblMidiIn->setStyleSheet(QString::fromLatin1(kDarkStyle));
  inputLight_ = new QTimer(this);
  inputLight_->setSingleShot(true);
  inputLight_->setInterval(150);

  row->addWidget(sbtRecOption);
  row->addWidget(pnlOptions, 1);
  row->addWidget(cbxRecTrack);
  row->addWidget(lblArmed);
  row->addSpacing(8);
  row->addWidget(thruLabel);
  row->addWidget(pnlThru);
  row->addWidget(lblMidiIn);
  grid->addLayout(row, 2, 0, 1, 2);
}

void TMkMainForm::ConnectRecordPanel() {
  sbtRec->setEnabled(true);
  sbtRec->setToolTip(QStringLiteral("録音開始＆停止 (F12)"));
  connect(sbtRec, &QPushButton::clicked, this, &TMkMainForm::sbtRecClick);
  connect(sbtLoop, &QPushButton::toggled, this, [this](bool on) {
    if (!IsRecording()) sbtRec->setEnabled(!on);
  });
  connect(sbtRecOption, &QPushButton::clicked, this,
          [this](bool down) { pnlOptions->setCurrentWidget(down ? pnlRecOpt : pnlSeqOpt); });
  auto step = [this](int& value, int delta, int lo, int hi) {
    value = std::clamp(value + delta, lo, hi);
    if (doc_) {
      doc_->Recording.CountIn = countIn_;
      doc_->Recording.PreRange = preRange_;
    }
    ShowRecordValues();
  };
  connect(sbtCountDown, &QPushButton::clicked, this, [this, step] { step(countIn_, -1, 0, kMaxCountIn); });
  connect(sbtCountUp, &QPushButton::clicked, this, [this, step] { step(countIn_, +1, 0, kMaxCountIn); });
  connect(sbtPreRangeDown, &QPushButton::clicked, this, [this, step] { step(preRange_, -1, kMinPreRange, kMaxPreRange); });
  connect(sbtPreRangeUp, &QPushButton::clicked, this, [this, step] { step(preRange_, +1, kMinPreRange, kMaxPreRange); });
  // Single takes one track: with more armed, every arm goes.
  auto checkSingle = [this] {
    if (cbxSingle->isChecked() && !CheckSingleArm(core_.TheSong)) prompt_.ShowError(kMsgSingleOneTrack);
  };
  connect(cbxSingle, &QCheckBox::clicked, this, checkSingle);
  connect(cbxTrChMidi, &QCheckBox::clicked, this, checkSingle);
  connect(cbxRecTrack, &QCheckBox::clicked, this, [this](bool on) {
    Song& song = core_.TheSong;
    const int t = std::clamp(range_->EditFromTrack, 1, 64);
    song.Rec[size_t(t)] = on ? 1 : 0;
    song.Changes.Notify(kChangeTrackSettings, t);
    if (on && cbxSingle->isChecked() && !CheckSingleArm(song)) prompt_.ShowError(kMsgSingleOneTrack);
  });
  for (QLineEdit* box : {edStartTrack, edEndTrack})
    connect(box, &QLineEdit::editingFinished, this, &TMkMainForm::UpdateRecTrackBox);
  connect(inputLight_, &QTimer::timeout, this, [this] { lblMidiIn->setStyleSheet(QString::fromLatin1(kDarkStyle)); });

  mnuRecord = mnuPlay->addAction(QStringLiteral("録音開始＆停止"));
  mnuRecord->setObjectName(QStringLiteral("mnuRecord"));
  mnuRecord->setShortcut(QKeySequence(Qt::Key_F12));
  connect(mnuRecord, &QAction::triggered, this, &TMkMainForm::RecordToggle);
  ShowRecordValues();
  InstallKeyboardAndOptions();
}

void TMkMainForm::InstallTrackForm(EditDispatcher& d) {
  // The instrument definitions name the patches; a song's FF 04 may name one.
  instruments_ = std::make_unique<TmInstruments>(options_.DataDir + "INST", &core_.Log);
  core_.TheSong.IsKnownInstrument = [this](const std::string& name) {
    return name == "GM" || instruments_->IndexOfInst(name) >= 0;
  };
  // A window of its own (no child of this one), closed with it.
  trackForm_ = new TTrackForm(core_.TheSong, d, nullptr);
  trackForm_->CenterC = int(ClampInt(ini_.ReadInteger("User", "CenterC", 0), -2, 2));
  TrackFormHooks& h = trackForm_->Hooks;
  h.AskYesNo = [this](const std::string& q) { return prompt_.AskYesNo(q); };
  h.ShowError = [this](const std::string& text) { prompt_.ShowError(text); };
  h.Beep = [] { QApplication::beep(); };
  h.IsPlaying = [this] { return IsPlaying(); };
  h.StopPlayback = [this] { StopPlay(); };
  h.RangeChanged = [this] { WriteRangeBoxes(); };
  h.PatchName = PatchNamer(*instruments_);
  // The score windows, one per track, children of the sheet so that they
  // close with it; they share one step-entry state.
  struct ScoreWindows {
    StepEntryState State;
    std::map<int, QPointer<TScoreForm>> Open;
    SongNotifier::Subscription Loads;  // a new song resets the step, open score or not
  };
  auto scores = std::make_shared<ScoreWindows>();
  scores->State.SongLoaded(core_.TheSong.TPQN);
  scores->Loads = core_.TheSong.Changes.Subscribe([this, s = scores.get()](const SongChange& c) {
    if (c.Has(kChangeWholeSong)) s->State.SongLoaded(core_.TheSong.TPQN);
  });
  h.OpenScore = [this, &d, scores](int track) {
    if (track < 1 || track > 64) return;
    QPointer<TScoreForm>& w = scores->Open[track];
    if (!w) {
      w = new TScoreForm(core_.TheSong, d, scores->State, track, trackForm_);
      w->Hooks.IsPlaying = [this] { return IsPlaying(); };
      w->Hooks.PlayTick = [this] { return core_.Engine().PlayTick.load(); };
      w->Hooks.ShowTrack = [this](int other) {
        if (trackForm_ && trackForm_->Hooks.OpenScore) trackForm_->Hooks.OpenScore(other);
      };
      w->NoMouseWhilePlaying = (ini_.ReadInteger("Score", "Options", 0) & kScoreNoMouseWhilePlaying) != 0;
      // While a take runs, the score's keyboard piano plays into its track when armed.
      w->Hooks.RecordKey = [this](int t, int note, bool on) {
        const Song& song = core_.TheSong;
        if (!IsRecording() || !sbtRec->isChecked() || t < 1 || t > 64 || !song.Rec[size_t(t)]) return false;
        const uint8_t velocity = on ? uint8_t(std::clamp(int(core_.Relay().Velocity), 1, 127)) : 0;
        core_.Input().StoreFromKeyboard(ShortMsg(0x90 | (song.Ch[size_t(t)] & 15), uint32_t(note), velocity));
        return true;
      };
      // "NoteHeight" in section Score: the pixels of one staff step.
      w->SetNoteHeight(int(ClampInt(ini_.ReadInteger("Score", "NoteHeight", kScoreFormNoteHeight), 2, 12)));
      w->Hooks.PositionChanged = [this](uint32_t tick) {
        if (!IsPlaying()) ShowPosition(tick);
      };
      if (listTables_) w->SetControllers(listTables_->DynCtrl);
      // The pen's note sounds on the track's port and channel.
      w->Hooks.Audition = [this](int t, int note, int velocity, bool on) {
        const Song& song = core_.TheSong;
        TmMidiRelay& relay = core_.Relay();
        relay.Channel = song.Ch[size_t(t)] & 15;
        relay.Port = song.OutPort[size_t(t)] & 3;
        relay.Velocity = uint8_t(std::clamp(velocity, 1, 127));
        if (on) relay.NoteOn(note);
        else relay.NoteOff(note);
      };
      w->Kanabun().Relay = &core_.Relay();
      w->Hooks.WantMidiInput = [this](TScoreForm* f, bool on) {
        QPointer<TScoreForm> form(f);
        if (on) SetNoteInputWindow(f, [form](uint32_t msg) {
            if (form) form->MidiInput(msg);
          });
        else if (noteInputWindow_ == f) SetNoteInputWindow(nullptr, nullptr);
      };
    }
    w->show();
    w->raise();
    w->activateWindow();
  };
  TCmPatchSelectDlg::CenterC = trackForm_->CenterC;
  h.ChoosePatch = [this](int track, uint32_t& patch) {
    const Song& song = core_.TheSong;
    TmMidiRelay& relay = core_.Relay();
    relay.Channel = song.Ch[size_t(track)] & 15;
    relay.Port = song.OutPort[size_t(track)] & 3;
    if (song.IsDrumChannel(song.Ch[size_t(track)]) && !instruments_->DrmNames.empty()) {
      // The drum definition that goes with the track's instrument, else the first.
      int drum = instruments_->IndexOfDrumInst(song.Instrument[size_t(track)] + " Drums");
      if (drum < 0) drum = 0;
      return SelectDrumPatch(*instruments_, drum, patch, &relay, &core_.Ports(), this);
    }
    return TmPatchSelectDlg::Execute(*instruments_, song.Instrument[size_t(track)], patch, &relay, &core_.Ports(), this);
  };
  h.InstrumentNames = [this] {
    std::vector<std::string> names = instruments_->InsNames;
    if (std::find(names.begin(), names.end(), "GM") == names.end()) names.insert(names.begin(), "GM");
    return names;
  };
  h.PortDevices = [this] {
    std::array<std::string, 4> names;
    for (int p = 0; p < 4; ++p) names[size_t(p)] = core_.Ports().PortNames[size_t(p)];
    return names;
  };
  h.Thru = [this] { return std::make_pair(core_.Input().ThruCaption(), core_.Input().ThruHint()); };
  h.ThruNotesOff = [this] { core_.Input().ThruNotesOff(); };
  h.PlayTick = [this] { return core_.Engine().PlayTick.load(); };
  h.JumpTo = [this](uint32_t tick) {
    if (IsPlaying()) return;
    range_->CurrentTick = tick;
    range_->SavedMeasure = core_.TheSong.Maps.TickToMeasure(tick).Measure;
    scbMeas->blockSignals(true);
    scbMeas->setValue(int(range_->SavedMeasure));
    scbMeas->blockSignals(false);
    ShowPosition(tick);
  };
  // "M": the clicked track alone, from the clicked place.
  h.Monitor = [this](int track, uint32_t tick) {
    range_->EditFromTrack = track;
    range_->CurrentTick = tick;
    Play(kPlayTrackFromCurrent);
  };
  h.TrackSelected = [this](int track) {
    if (core_.Input().Thru.SelectedTrackThru && core_.Input().FollowTrack(track)) UpdateThruDisplay();
  };
  connect(cbxSingle, &QCheckBox::toggled, trackForm_, [this](bool on) { trackForm_->SingleRec = on; });
  trackForm_->LoadSettings(ini_);
}

void TMkMainForm::InstallKeyboardAndOptions() {
  kanabun_ = std::make_unique<TmKanabun>();
  kanabun_->Relay = &core_.Relay();
  kanabun_->OnNoteOn = [this](int note) { KeyboardNote(note, true); };
  kanabun_->OnNoteOff = [this](int note) { KeyboardNote(note, false); };
  kanabunRegistration_ = std::make_unique<TmKanabunRegistration>(*kanabun_, this);

  OptionHooks.ReadCurrent = [this](OptionValues& v) {
    v.Filter = core_.Input().Filter;
    v.Filter.Send = core_.Ports().SendOptions;
    v.Thru = core_.Input().Thru;
  };
  OptionHooks.ChooseClickNote = [this](int& note, int clickPort) {
    // Every key tried sounds as the click would.
    TmMidiRelay& relay = core_.Relay();
    const TmMidiRelay saved = relay;
    relay.Channel = 9;
    relay.Port = uint8_t(std::clamp(clickPort, 0, 3));
    relay.Velocity = 100;
    const int centerC = int(ClampInt(ini_.ReadInteger("User", "CenterC", 0), -2, 2));
    const bool chosen = TPianoDlg::ChooseNote(note, centerC, &relay, this);
    relay.Channel = saved.Channel;
    relay.Port = saved.Port;
    relay.Velocity = saved.Velocity;
    return chosen;
  };
  OptionHooks.BeforeApply = [this](const OptionValues&, const OptionValues&) { core_.Input().ThruNotesOff(); };
  OptionHooks.OnApplied = [this](const OptionValues&, const OptionValues& now) {
    core_.Input().ApplySettings(now.Filter, now.Thru);
    TmKanabunManager::SetToggleType(now.Keyboard.ToggleType);
    TmKanabunManager::SetUpperEnabled(now.Keyboard.UpperEnabled);
    UpdateRecTrackBox();  // DynamicTHRU may follow the range's first track now
    UpdateThruDisplay();
    if (trackForm_)
      for (TScoreForm* score : trackForm_->findChildren<TScoreForm*>())
        score->NoMouseWhilePlaying = (now.ScoreOptions & kScoreNoMouseWhilePlaying) != 0;
  };
}

void TMkMainForm::KeyboardNote(int note, bool on) {
  const Song& song = core_.TheSong;
  const int t = std::clamp(range_->EditFromTrack, 1, 64);
  const uint8_t channel = song.Ch[size_t(t)] & 15;
  TmMidiRelay& relay = core_.Relay();
  if (on) {
    relay.Channel = channel;
    relay.Port = song.OutPort[size_t(t)] & 3;
  }
  if (IsRecording() && sbtRec->isChecked() && song.Rec[size_t(t)])
    core_.Input().StoreFromKeyboard(ShortMsg(0x90 | channel, uint32_t(note), on ? relay.Velocity : 0));
  // The window that takes notes (a list with "MIDI" down) takes these too.
  else if (on && noteInput_)
    noteInput_(ShortMsg(0x90 | channel, uint32_t(note), uint32_t(std::clamp(int(relay.Velocity), 1, 127))));
}

void TMkMainForm::InstallRecorder(EditDispatcher& d) {
  recorder_ = std::make_unique<Recorder>(core_.TheSong, core_.Engine(), core_.Input(), core_.Buffer(), d, &core_.Log);
  recordDispatcher_ = &d;
  // The last messages of the driver's thread find their place meanwhile.
  recorder_->Wait = [this](uint32_t ms) { core_.TheClock().SleepMs(ms); };
  recorder_->ThruChanged = [this] { UpdateThruDisplay(); };
}

RecordSetup TMkMainForm::CurrentRecordSetup() const {
  RecordSetup s;
  if (cbxPunch->isChecked()) s.Options |= kRecPunch;
  if (cbxOverDub->isChecked()) s.Options |= kRecOverDub;
  if (cbxSingle->isChecked()) s.Options |= kRecSingle;
  if (cbxTrChMidi->isChecked()) s.Options |= kRecTrChFromMidi;
  s.CountIn = countIn_;
  s.PreRange = preRange_;
  return s;
}

void TMkMainForm::ShowRecordValues() {
  edCount->setText(QString::number(countIn_));
  edPreRange->setText(QString::number(4 * preRange_));
}

void TMkMainForm::UpdateRecTrackBox() {
  const int t = std::clamp(range_->EditFromTrack, 1, 64);
  cbxRecTrack->setChecked(core_.TheSong.Rec[size_t(t)] != 0);
  cbxRecTrack->setToolTip(QString::fromUtf8("トラック%1を録音する").arg(t));
  QStringList armed;
  for (int r = 1; r <= 64; ++r)
    if (core_.TheSong.Rec[size_t(r)]) armed << QString::number(r);
  lblArmed->setText(armed.isEmpty() ? QString() : QStringLiteral("[%1]").arg(armed.join(QStringLiteral(","))));
  // Until a track sheet selects tracks, the range's first track is the selected one.
  if (core_.Input().Thru.SelectedTrackThru && core_.Input().FollowTrack(t)) UpdateThruDisplay();
}

void TMkMainForm::RecordToggle() {
  if (!sbtRec->isEnabled()) return;
  sbtRec->setChecked(!sbtRec->isChecked());
  sbtRecClick(sbtRec->isChecked());
}

void TMkMainForm::sbtRecClick(bool down) {
  if (down) StartRecordingFromButton();
  else StopRecordingFromButton();
}

void TMkMainForm::SetRecordControlsEnabled(bool enabled) {
  pnlOptions->setEnabled(enabled);
  sbtRecOption->setEnabled(enabled);
  sbtLoop->setEnabled(enabled);
  cbxRecTrack->setEnabled(enabled);
  // No undo in the middle of a take; afterwards the button says what the
  // dispatcher has.
  if (!enabled) sbtUndo->setEnabled(false);
  else if (recordDispatcher_) sbtUndo->setEnabled(recordDispatcher_->Undo().ButtonEnabled);
}

void TMkMainForm::StartRecordingFromButton() {
  // Recording cannot join a running playback: the button springs back.
  if (IsPlaying() || !recorder_) {
    sbtRec->setChecked(false);
    return;
  }
  ReadRangeBoxesNow();
  PlaybackEngine& engine = core_.Engine();
  engine.SyncOut = cbxMidiSyncOut->isChecked();
  engine.SetFlag(kFlagLoop, false);
  engine.SetFlag(kFlagBeat, true);  // the position follows the beats while recording
  engine.SetFlag(kFlagClick, cbxGuideClick->isChecked());
  SetRecordControlsEnabled(false);
  const uint32_t start = core_.TheSong.Maps.MeasureToTick(range_->SavedMeasure);
  const RecordPress press = recorder_->Press(start, CurrentRecordSetup());
  if (press != RecordPress::kStarted) {
    SetRecordControlsEnabled(true);
    sbtRec->setChecked(false);
    engine.SetFlag(kFlagBeat, settings_.TimerSync);
    if (press == RecordPress::kNoArmedTrack) prompt_.ShowError(kMsgNoRecordTrack);
    return;
  }
  sbtRec->setChecked(true);
  sbtPlay->setChecked(true);
  timer1_->stop();
  ShowPosition(uint32_t(std::max<int32_t>(engine.PlayTick, 0)));
  edLoc->setText(QString::fromStdString(PositionBoxText(core_.TheSong.Maps, engine.PlayTick, true, engine.StartTick)));
}

void TMkMainForm::StopRecordingFromButton() {
  sbtRec->setChecked(false);
  if (!IsRecording()) return;
  std::string warning;
  recorder_->Release(&warning);
  core_.Engine().SetFlag(kFlagBeat, settings_.TimerSync);
  SetRecordControlsEnabled(true);
  sbtRec->setEnabled(!sbtLoop->isChecked());
  RestoreAfterStop();
  if (!warning.empty()) prompt_.ShowError(warning);
}

void TMkMainForm::UpdateThruDisplay() {
  MidiInput& input = core_.Input();
  pnlThru->setText(QString::fromStdString(input.ThruCaption()));
  pnlThru->setToolTip(QString::fromStdString(input.ThruHint()));
  if (trackForm_) {
    trackForm_->pnlThru->setText(pnlThru->text());
    trackForm_->pnlThru->setToolTip(pnlThru->toolTip());
  }
}

void TMkMainForm::SetNoteInputWindow(QObject* window, std::function<void(uint32_t msg)> handler) {
  noteInputWindow_ = window;
  noteInput_ = window ? std::move(handler) : nullptr;
  core_.Input().SetNoteInputWindow(window != nullptr);
}

void TMkMainForm::LightInputIndicator() {
  if (!inputLight_->isActive()) lblMidiIn->setStyleSheet(QString::fromLatin1(kLitStyle));
  inputLight_->start();
}

bool TMkMainForm::InputIndicatorLit() const { return inputLight_->isActive(); }

}  // namespace melko

// The main window's strip: edit range boxes, position, measure scroll bar,
// tempo, time, key and meter boxes, master volume, Undo and the transport,
// and the playback engine's side of the window.
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>

#include "app/main_form.h"
#include "base/text_encoding.h"
#include "views/mixer_state.h"
#include "views/ui/mixer_form.h"

namespace melko {

namespace {
QLineEdit* Box(QWidget* parent, const char* name, int chars, bool readOnly = false) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  QFontMetrics fm(e->font());
  e->setFixedWidth(fm.horizontalAdvance(QLatin1Char('0')) * chars + 12);
  e->setReadOnly(readOnly);
  return e;
}
QPushButton* Button(QWidget* parent, const char* name, const QString& caption, bool checkable = false) {
  auto* b = new QPushButton(caption, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setCheckable(checkable);
  b->setFocusPolicy(Qt::NoFocus);
  QFontMetrics fm(b->font());
  b->setFixedWidth(std::max(28, fm.horizontalAdvance(caption) + 14));
  return b;
}
QString Q(const std::string& s) { return QString::fromStdString(s); }
// Rewrites a box only when its text changes, so a selection made on Enter stays.
void SetBoxText(QLineEdit* box, const std::string& text) {
  QString t = Q(text);
  if (box->text() != t) box->setText(t);
}
}  // namespace

void TMkMainForm::BuildStrip() {
  auto* strip = new QWidget(this);
  strip->setObjectName(QStringLiteral("pnlStrip"));
  auto* grid = new QGridLayout(strip);
  grid->setContentsMargins(3, 1, 3, 1);
  grid->setHorizontalSpacing(3);
  grid->setVerticalSpacing(1);

  // Left half, first row: the range and the position.
  auto* range = new QHBoxLayout;
  range->setSpacing(2);
  edStartTrack = Box(strip, "edStartTrack", 2);
  edEndTrack = Box(strip, "edEndTrack", 2);
  edStartRange = Box(strip, "edStartRange", 10);
  edEndRange = Box(strip, "edEndRange", 10);
  edLoc = Box(strip, "edLoc", 10, true);
  range->addWidget(new QLabel(QStringLiteral("from"), strip));
  range->addWidget(edStartTrack);
  range->addWidget(new QLabel(QStringLiteral("to"), strip));
  range->addWidget(edEndTrack);
  range->addWidget(edStartRange);
  range->addWidget(edEndRange);
  range->addSpacing(6);
  range->addWidget(edLoc);
  range->addStretch();
  grid->addLayout(range, 0, 0);

  // Left half, second row: the measure scroll bar and the transport.
  auto* transport = new QHBoxLayout;
  transport->setSpacing(2);
  scbMeas = new QScrollBar(Qt::Horizontal, strip);
  scbMeas->setObjectName(QStringLiteral("scbMeas"));
  scbMeas->setPageStep(4);
  scbMeas->setMinimumWidth(160);
  sbtRewind = Button(strip, "sbtRewind", QStringLiteral("|<<"));
  sbtPlay = Button(strip, "sbtPlay", QStringLiteral("▶"), true);
  sbtPlay->setToolTip(QStringLiteral("ソング演奏＆停止 (F11)"));
  sbtRec = Button(strip, "sbtRec", QStringLiteral("●"), true);
  sbtRec->setEnabled(false);
  sbtAutoRewind = Button(strip, "sbtAutoRewind", QStringLiteral("Auto"), true);
  sbtAutoRewind->setChecked(true);
  sbtLoop = Button(strip, "sbtLoop", QStringLiteral("Loop"), true);
  sbtUndo = Button(strip, "sbtUndo", QStringLiteral("Undo"));
  sbtUndo->setEnabled(false);
  transport->addWidget(scbMeas, 1);
  for (QPushButton* b : {sbtRewind, sbtPlay, sbtRec, sbtAutoRewind, sbtLoop, sbtUndo}) transport->addWidget(b);
  grid->addLayout(transport, 1, 0);

  // Right half: tempo, time, key, meter; master volume, resets, options.
  auto* song = new QHBoxLayout;
  song->setSpacing(2);
  edBPM = Box(strip, "edBPM", 3);
  scbBPM = new QScrollBar(Qt::Horizontal, strip);
  scbBPM->setObjectName(QStringLiteral("scbBPM"));
  scbBPM->setRange(30, 240);
  scbBPM->setPageStep(10);
  scbBPM->setValue(120);
  scbBPM->setFixedWidth(90);
  edTime = Box(strip, "edTime", 9, true);
  edKeySig = Box(strip, "edKeySig", 6, true);
  edKeySig->setCursor(Qt::PointingHandCursor);
  edMeter = Box(strip, "edMeter", 5);
  song->addWidget(new QLabel(QStringLiteral("BPM"), strip));
  song->addWidget(edBPM);
  song->addWidget(scbBPM);
  song->addWidget(edTime);
  song->addWidget(edKeySig);
  song->addWidget(edMeter);
  song->addStretch();
  grid->addLayout(song, 0, 1);

  auto* options = new QHBoxLayout;
  options->setSpacing(2);
  scbMasterVolume = new QScrollBar(Qt::Horizontal, strip);
  scbMasterVolume->setObjectName(QStringLiteral("scbMasterVolume"));
  scbMasterVolume->setRange(0, 127);
  scbMasterVolume->setValue(127);
  scbMasterVolume->setFixedWidth(90);
  scbMasterVolume->setToolTip(QStringLiteral("マスターボリューム"));
  options->addWidget(new QLabel(QStringLiteral("音量"), strip));
  options->addWidget(scbMasterVolume);
  const char* resets[] = {"GM", "GS", "XG"};
  for (int kind = 1; kind <= 3; ++kind) {
    QPushButton* b = Button(strip, resets[kind - 1], QString::fromLatin1(resets[kind - 1]));
    connect(b, &QPushButton::clicked, this, [this, kind] { ModuleReset(kind); });
    options->addWidget(b);
  }
  options->addStretch();
  grid->addLayout(options, 1, 1);

  // Third row: the recording and sequencer options, the thru and the input.
  BuildRecordPanel(strip, grid);
  strip->setFixedHeight(86);
  setCentralWidget(strip);
}

void TMkMainForm::ConnectStrip() {
  for (QLineEdit* box : {edStartTrack, edEndTrack, edStartRange, edEndRange}) {
    box->installEventFilter(this);
    connect(box, &QLineEdit::editingFinished, this, &TMkMainForm::ReadRangeBoxesNow);
    connect(box, &QLineEdit::returnPressed, this, [this, box] {
      ReadRangeBoxesNow();
      box->selectAll();
    });
  }
  connect(scbMeas, &QScrollBar::valueChanged, this, [this] { scbMeasChange(); });
  connect(scbMeas, &QScrollBar::sliderReleased, this, &TMkMainForm::ScrollEnd);
  connect(scbMeas, &QScrollBar::actionTriggered, this, [this](int action) {
    if (action != QAbstractSlider::SliderMove) QTimer::singleShot(0, this, &TMkMainForm::ScrollEnd);
  });
  connect(sbtRewind, &QPushButton::clicked, this, &TMkMainForm::sbtRewindClick);
  connect(sbtPlay, &QPushButton::clicked, this, [this](bool down) {
    if (down && !IsPlaying()) Play(kPlaySong);
    else if (!down) StopPlay();
  });
  connect(sbtLoop, &QPushButton::toggled, this, [this](bool on) { core_.Engine().SetFlag(kFlagLoop, on); });
  // The engine takes the clock setting at each start; the rewind asks it too.
  connect(cbxMidiSyncOut, &QCheckBox::toggled, this, [this](bool on) { core_.Engine().SyncOut = on; });
  connect(cbxGuideClick, &QCheckBox::toggled, this, [this](bool on) { core_.Engine().SetFlag(kFlagClick, on); });
  connect(sbtUndo, &QPushButton::clicked, this, [this] {
    if (undo_) undo_();
  });
  connect(edBPM, &QLineEdit::returnPressed, this, &TMkMainForm::edBPMEnter);
  connect(scbBPM, &QScrollBar::valueChanged, this, [this](int v) {
    if (!settingBpm_) SetBpm(v);
  });
  connect(edMeter, &QLineEdit::returnPressed, this, &TMkMainForm::edMeterEnter);
  edMeter->installEventFilter(this);
  edKeySig->installEventFilter(this);
  connect(scbMasterVolume, &QScrollBar::valueChanged, this, [this](int volume) {
    int track = std::clamp(range_->EditFromTrack, 1, 64);
    core_.Ports().SetMasterVolume(volume, core_.TheSong.OutPort[track]);
    if (mixer_) mixer_->MasterVolume = volume;
    if (mixerForm_) mixerForm_->ShowMasterVolume(volume);
  });
}

bool TMkMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyRelease && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Alt &&
      (watched == edStartTrack || watched == edEndTrack || watched == edStartRange || watched == edEndRange)) {
    ReadRangeBoxesNow();
    // Under the box, wherever the window is (a fixed screen point is only
    // right for a window at the top-left corner).
    auto* box = static_cast<QWidget*>(watched);
    if (PopEditMenu) PopEditMenu->popup(box->mapToGlobal(QPoint(0, box->height())));
    return true;
  }
  if (event->type() == QEvent::MouseButtonRelease && watched == edMeter && MeterDialog && !IsPlaying()) {
    uint32_t meter = core_.TheSong.Maps.MeterAt(0).Value;
    if (MeterDialog(meter)) {
      edMeter->setText(Q(MeterText(meter)));
      edMeterEnter();
    }
  }
  if (event->type() == QEvent::MouseButtonRelease && watched == edKeySig && KeyDialog) {
    uint32_t key = core_.TheSong.Maps.KeyAt(0);
    if (KeyDialog(key)) ApplyKey(key);
  }
  return QMainWindow::eventFilter(watched, event);
}

void TMkMainForm::WriteRangeBoxes() {
  TEditRange& r = *range_;
  const SongMaps& maps = core_.TheSong.Maps;
  // The boxes reach the last tick of measure 999; a range left further out
  // (typed at 999 before the meter became shorter) is brought back to it, so
  // that the boxes show the range the commands use.
  const uint32_t last = maps.MeasureToTick(kMaxTypedMeasure + 1) - 1;
  r.EditFromTick = std::min(r.EditFromTick, last);
  r.EditToTick = std::min(r.EditToTick, last);
  SetBoxText(edStartTrack, std::to_string(r.EditFromTrack));
  SetBoxText(edEndTrack, std::to_string(r.EditToTrack));
  SetBoxText(edStartRange, TickToLocText(maps, r.EditFromTick));
  SetBoxText(edEndRange, TickToLocText(maps, r.EditToTick));
  UpdateRecTrackBox();
}

void TMkMainForm::ReadRangeBoxesNow() {
  ReadRangeBoxes(*range_, core_.TheSong.Maps, edStartTrack->text().toStdString(), edEndTrack->text().toStdString(),
                 edStartRange->text().toStdString(), edEndRange->text().toStdString());
  WriteRangeBoxes();
}

TEditRange& TMkMainForm::NormalizedRange() {
  if (range_->Normalize()) WriteRangeBoxes();
  return *range_;
}

void TMkMainForm::ShowPosition(uint32_t tick) {
  lastShownTick_ = static_cast<int32_t>(tick);
  edLoc->setText(Q(PositionBoxText(core_.TheSong.Maps, tick, false, 0)));
  if (IsPlaying()) FollowLists(tick);
}

void TMkMainForm::ShowTime(int32_t ms) { edTime->setText(Q(TimeText(static_cast<uint32_t>(std::max(ms, 0))))); }

void TMkMainForm::scbMeasChange() {
  const SongMaps& maps = core_.TheSong.Maps;
  uint32_t measure = static_cast<uint32_t>(scbMeas->value());
  uint32_t tick = maps.MeasureToTick(measure);
  edMeter->setText(Q(MeterText(maps.MeterAt(tick).Value)));
  edKeySig->setText(Q(KeyText(maps.KeyAt(tick))));
  if (IsPlaying()) return;
  range_->SavedMeasure = measure;
  range_->CurrentTick = tick;
  ShowPosition(tick);
}

void TMkMainForm::ScrollEnd() {
  uint32_t tick = core_.TheSong.Maps.MeasureToTick(static_cast<uint32_t>(scbMeas->value()));
  if (IsPlaying()) {
    if (core_.Engine().EngineFlags & kFlagRecording) return;
    int measure = scbMeas->value();
    bool wasTrackPlay = trackSolo_;
    StopPlay();
    scbMeas->blockSignals(true);
    scbMeas->setValue(measure);
    scbMeas->blockSignals(false);
    scbMeasChange();
    Play(wasTrackPlay ? kPlayTrackFromCurrent : kPlayFromCurrent);
  } else if (cbxMidiSyncOut->isChecked()) {
    core_.Engine().SendSongPosition(tick);
  }
}

void TMkMainForm::sbtRewindClick() {
  scbMeas->blockSignals(true);
  scbMeas->setValue(0);
  scbMeas->blockSignals(false);
  scbMeasChange();
  if (!IsPlaying() && cbxMidiSyncOut->isChecked()) core_.Engine().SendSongPosition(0);
}

void TMkMainForm::SetBpm(int bpm) {
  settingBpm_ = true;
  edBPM->setText(QString::number(bpm));
  scbBPM->setValue(bpm);
  settingBpm_ = false;
  core_.Engine().SetTempoNow(60000000u / static_cast<uint32_t>(bpm));
  if (!IsPlaying()) {
    Song& song = core_.TheSong;
    SongNotifier::Batch batch(song.Changes);
    song.SetSongTempo(static_cast<uint32_t>(bpm));
    song.Maps.BuildTempoMap(song.Tracks[0], song.TPQN);
    song.Changes.Notify(kChangeMaps);  // the engine takes the new map from there
  }
}

void TMkMainForm::edBPMEnter() {
  SetBpm(ReadBpmText(edBPM->text().toStdString()));
  edBPM->selectAll();
}

void TMkMainForm::edMeterEnter() {
  Song& song = core_.TheSong;
  if (!IsPlaying()) {
    SongNotifier::Batch batch(song.Changes);
    song.SetSongMeter(MeterValueFromText(edMeter->text().toStdString()));
    song.Maps.BuildMeterMap(song.Tracks[0], song.TPQN);
    song.MeasureEnd = 0;
    for (int t = 0; t <= song.LastUsedTrack(0); ++t) song.MeasureTrack(t);
    UpdateMeasureMax();
    WriteRangeBoxes();
    song.Changes.Notify(kChangeMaps);
  }
  scbMeasChange();
}

void TMkMainForm::ApplyKey(uint32_t key) {
  Song& song = core_.TheSong;
  SongNotifier::Batch batch(song.Changes);
  song.SetSongKey(key);
  song.Maps.BuildKeyMap(song.Tracks[0], song.TPQN);
  edKeySig->setText(Q(KeyText(song.Maps.KeyAt(song.Maps.MeasureToTick(static_cast<uint32_t>(scbMeas->value()))))));
  song.Changes.Notify(kChangeMaps);
}

void TMkMainForm::UpdateMeasureMax() {
  const Song& song = core_.TheSong;
  uint32_t last = song.Maps.TickToMeasure(static_cast<uint32_t>(std::max(song.MeasureEnd, 0))).Measure;
  scbMeas->blockSignals(true);
  scbMeas->setMaximum(static_cast<int>(std::min<uint32_t>(last + 8, 0x7FFFFFFF)));
  scbMeas->blockSignals(false);
}

void TMkMainForm::ConductorChanged() {
  const Song& song = core_.TheSong;
  const TTempoEntry& first = song.Maps.TempoMap.front();
  int bpm = static_cast<int>(60000000u / std::max<uint32_t>(first.Tempo, 1));
  settingBpm_ = true;
  edBPM->setText(QString::number(bpm));
  scbBPM->setValue(bpm);
  settingBpm_ = false;
  UpdateMeasureMax();
  uint32_t tick = song.Maps.MeasureToTick(static_cast<uint32_t>(scbMeas->value()));
  edMeter->setText(Q(MeterText(song.Maps.MeterAt(tick).Value)));
  edKeySig->setText(Q(KeyText(song.Maps.KeyAt(tick))));
}

bool TMkMainForm::IsPlaying() const { return core_.Engine().Playing(); }

void TMkMainForm::PlayStopToggle() {
  if (IsPlaying()) StopPlay();
  else Play(kPlaySong);
}

void TMkMainForm::StartPositionTimer() {
  if (settings_.TimerSync) {
    timer1_->stop();
  } else {
    timer1_->start(settings_.TimerSyncInterval);
  }
}

void TMkMainForm::Play(PlayMode mode) {
  if (IsPlaying()) return;
  ReadRangeBoxesNow();
  Song& song = core_.TheSong;
  PlaybackEngine& engine = core_.Engine();
  TEditRange& r = *range_;
  uint32_t start = r.CurrentTick;
  if (mode == kPlayLoop) {
    NormalizedRange();
    song.LoopBeginTick = r.EditFromTick;
    song.LoopEndTick = r.EditToTick;
    song.Changes.Notify(kChangeSongSettings);
    sbtLoop->setChecked(true);
    start = r.EditFromTick;
  } else if (sbtAutoRewind->isChecked() && mode != kPlayFromCurrent && mode != kPlayTrackFromCurrent) {
    start = song.Maps.MeasureToTick(r.SavedMeasure);
  }
  if (mode == kPlayTrack || mode == kPlayTrackFromCurrent) {
    savedSolo_ = song.Solo;
    song.Solo = static_cast<uint8_t>(std::clamp(r.EditFromTrack, 1, 64));
    trackSolo_ = true;
  }
  core_.Input().RebuildTables();
  engine.SyncOut = cbxMidiSyncOut->isChecked();
  engine.SetFlag(kFlagLoop, sbtLoop->isChecked());
  engine.SetFlag(kFlagBeat, settings_.TimerSync);
  engine.SetFlag(kFlagClick, cbxGuideClick->isChecked());
  if (!engine.StartPlayback(start)) {
    if (trackSolo_) {
      song.Solo = savedSolo_;
      trackSolo_ = false;
      engine.UpdateSilent();
    }
    sbtPlay->setChecked(false);
    return;
  }
  sbtPlay->setChecked(true);
  ShowPosition(static_cast<uint32_t>(std::max<int32_t>(engine.PlayTick, 0)));
  StartPositionTimer();
}

void TMkMainForm::StopPlay() {
  // Stopping a recording is releasing the record button.
  if (IsRecording()) {
    StopRecordingFromButton();
    return;
  }
  if (!IsPlaying()) {
    sbtPlay->setChecked(false);
    return;
  }
  core_.Engine().StopPlayback();
  RestoreAfterStop();
}

void TMkMainForm::RestoreAfterStop() {
  timer1_->stop();
  sbtPlay->setChecked(false);
  Song& song = core_.TheSong;
  if (trackSolo_) {
    song.Solo = savedSolo_;
    trackSolo_ = false;
    core_.Engine().UpdateSilent();
  }
  if (closing_) return;
  if (sbtAutoRewind->isChecked()) {
    scbMeas->blockSignals(true);
    scbMeas->setValue(static_cast<int>(range_->SavedMeasure));
    scbMeas->blockSignals(false);
    scbMeasChange();
    ConductorChanged();
  } else {
    uint32_t tick = static_cast<uint32_t>(std::max<int32_t>(core_.Engine().PlayTick, 0));
    range_->CurrentTick = tick;
    scbMeas->blockSignals(true);
    scbMeas->setValue(static_cast<int>(song.Maps.TickToMeasure(tick).Measure));
    scbMeas->blockSignals(false);
    ShowPosition(tick);
  }
}

void TMkMainForm::DrainEngine() {
  MixerIdleDecay();
  // The lamp shows every message that came in, also those a take stores.
  const uint64_t received = core_.Input().Received.load(std::memory_order_relaxed);
  if (received != lastReceived_) {
    lastReceived_ = received;
    LightInputIndicator();
  }
  std::vector<Notification> notes;
  core_.Notify().Drain(notes);
  for (const Notification& n : notes) {
    if (n.Message == MimData) {
      LightInputIndicator();
      continue;
    }
    if (n.Message == MimNoteData) {
      if (noteInputWindow_ && noteInput_) noteInput_(n.LParam);
      continue;
    }
    if (n.Message == RecordDropped) {
      core_.Log.Line(RecordDroppedLogLine(n.LParam));
      continue;
    }
    if (n.Message == EventSent) {
      MixerPlayed(n.LParam);
      continue;
    }
    if (n.Message != EngineNotify) continue;
    switch (n.WParam) {
      case kNotifyStop:
        StopPlay();
        if (n.Text) prompt_.ShowError(n.Text);
        break;
      case kNotifyBeat:
        if (IsRecording()) {
          // The count-in shows the beats still to come.
          const PlaybackEngine& e = core_.Engine();
          lastShownTick_ = int32_t(n.LParam);
          edLoc->setText(Q(PositionBoxText(core_.TheSong.Maps, int32_t(n.LParam), true, e.StartTick)));
          ShowTime(e.PlayTime);
        } else if (core_.Engine().EngineFlags & kFlagBeat) {
          ShowPosition(n.LParam);
          ShowTime(core_.Engine().PlayTime);
        }
        break;
      case kNotifyBeep:  // the guide click's plain beep
        QApplication::beep();
        break;
      case kNotifyTempo:
        if (n.LParam > 0) {
          int bpm = static_cast<int>(60000000u / n.LParam);
          settingBpm_ = true;
          edBPM->setText(QString::number(bpm));
          scbBPM->setValue(bpm);
          settingBpm_ = false;
        }
        break;
    }
  }
}

}  // namespace melko

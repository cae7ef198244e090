#include "app/option_dlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/edit_hookup.h"
#include "app/main_form.h"
#include "app/user_prompt.h"
#include "base/int_helpers.h"
#include "edit/tool_text.h"
#include "edit/ui/edit_controller.h"
#include "midi/midi_settings.h"
#include "song/song.h"

namespace melko {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
QString PortLetter(int p) { return QString(QChar('A' + p)); }
}  // namespace

// ---------------------------------------------------------------------------
// Values

OptionValues CurrentOptionValues(const MidiPorts& ports, const EngineOptions& engine, const AppSettings& settings,
                                 const IniFile& ini) {
  OptionValues v;
  v.Filter = ReadInputFilterSettings(ini);
  v.Filter.Send = ports.SendOptions;  // the live copy playback obeys
  v.Thru = ReadThruSettings(ini);
  v.Keyboard = ReadKeyboardSettings(ini);
  v.PortMap = ports.PortMap;
  v.InPort = ports.InPort;
  v.DefaultOutPort = ports.DefaultOutPort;
  v.ClickPort = ports.ClickPort;
  v.SyncPort = ports.SyncPort;
  v.CenterC = int(ClampInt(ini.ReadInteger("User", "CenterC", 0), kMinCenterC, kMaxCenterC));
  v.TimerSyncInterval = settings.TimerSyncInterval;
  v.ClickNote = engine.ClickNote;
  v.ScoreOptions = uint8_t(ClampInt(ini.ReadInteger("Score", "Options", 0), 0, 255));
  return v;
}

void KeepOnlySelectedInput(MidiPorts& ports) {
  for (int d = 1; d <= ports.InDeviceCount; ++d)
    if (d != ports.InPort) ports.CloseInDevice(d);
}

bool ApplyOptionValues(const OptionValues& now, OptionTargets& t) {
  MidiPorts& ports = t.Ports;
  bool changed = false;
  {
    // The MIDI input's thru reads the map while it runs.
    std::lock_guard<PiMutex> handles(ports.HandleLock());
    for (int p = 0; p < kPortCount; ++p) {
      uint8_t d = now.PortMap[p] <= ports.OutDeviceCount ? now.PortMap[p] : 0;
      changed |= ports.PortMap[p] != d;
      ports.PortMap[p] = d;
    }
  }
  ports.DefaultOutPort = uint8_t(std::clamp<int>(now.DefaultOutPort, 0, kPortCount - 1));
  ports.ClickPort = uint8_t(std::clamp<int>(now.ClickPort, 0, kPortCount - 1));
  ports.SyncPort = std::clamp<int32_t>(now.SyncPort, 0, kPortCount - 1);
  ports.SendOptions = uint8_t(now.Filter.Send & (kSendSystemExclusive | kSendBankChange));
  // SelectInPort leaves alone what the dialog opened for trying when the
  // selection itself stayed the same; only the selected device stays open.
  ports.SelectInPort(now.InPort <= ports.InDeviceCount ? now.InPort : 0);
  KeepOnlySelectedInput(ports);
  if (changed) ports.OpenOutPorts();
  ports.UpdatePortNames();

  t.Engine.ClickNote = uint8_t(now.ClickNote & 0x7F);
  t.Settings.TimerSyncInterval = std::clamp(now.TimerSyncInterval, 1, 999);
  const int centerC = std::clamp(now.CenterC, kMinCenterC, kMaxCenterC);
  if (t.CenterC) *t.CenterC = centerC;

  Song& song = t.TheSong;
  {
    SongNotifier::Batch batch(song.Changes);
    song.Options.DefaultPort = ports.DefaultOutPort;
    song.Changes.Notify(kChangeSongSettings);
    if (now.DefaultOutPortChosen) {
      bool moved = false;
      for (int tr = 1; tr < kSongTracks; ++tr) {
        moved |= song.OutPort[tr] != ports.DefaultOutPort;
        song.OutPort[tr] = ports.DefaultOutPort;
      }
      if (moved) {
        // The ports are part of the song file: the song has changed.
        song.SongSaved = false;
        song.Changes.NotifyTracks(kChangeTrackSettings, 1, kSongTracks - 1);
      }
    }
  }

  InputFilterSettings filter = now.Filter;
  filter.Send = ports.SendOptions;
  WriteInputFilterSettings(t.Ini, filter);
  WriteThruSettings(t.Ini, now.Thru);
  WriteKeyboardSettings(t.Ini, now.Keyboard);
  WritePortSettings(t.Ini, ports);
  WriteEngineOptions(t.Ini, t.Engine);
  t.Ini.WriteInteger("User", "CenterC", centerC);
  t.Ini.WriteInteger("User", "TimerSyncInterval", t.Settings.TimerSyncInterval);
  t.Ini.WriteInteger("Score", "Options", now.ScoreOptions);
  return changed;
}

// ---------------------------------------------------------------------------
// TPortDlg

TPortDlg::TPortDlg(const QStringList& rows, int current, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("PortDlg"));
  setWindowTitle(QStringLiteral("Set OutPort"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->setSpacing(0);
  // Without a frame the caption goes on top of the list.
  auto* caption = new QLabel(windowTitle(), this);
  caption->setAutoFillBackground(true);
  caption->setStyleSheet(
      QStringLiteral("background: palette(highlight); color: palette(highlighted-text); padding: 2px;"));
  layout->addWidget(caption);
  lbxMidiDev = new QListWidget(this);
  lbxMidiDev->setObjectName(QStringLiteral("lbxMidiDev"));
  lbxMidiDev->addItems(rows);
  lbxMidiDev->setMouseTracking(true);
  lbxMidiDev->setCurrentRow(std::clamp(current, 0, std::max(int(rows.size()) - 1, 0)));
  lbxMidiDev->installEventFilter(this);
  int width = lbxMidiDev->sizeHintForColumn(0) + 24;
  int height = lbxMidiDev->sizeHintForRow(0) * std::max(int(rows.size()), 1) + 2 * lbxMidiDev->frameWidth();
  lbxMidiDev->setFixedSize(std::max(width, 200), height);
  lbxMidiDev->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  lbxMidiDev->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  layout->addWidget(lbxMidiDev);
  // The row under the mouse is the current one; a click takes it.
  connect(lbxMidiDev, &QListWidget::itemEntered, this,
          [this](QListWidgetItem* item) { lbxMidiDev->setCurrentItem(item); });
  connect(lbxMidiDev, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    Chosen = lbxMidiDev->row(item);
    accept();
  });
}

TPortDlg::~TPortDlg() = default;

bool TPortDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lbxMidiDev && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      Chosen = lbxMidiDev->currentRow();
      accept();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TPortDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  adjustSize();
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    move(area.center() - rect().center());
  }
  savedPointer_ = QCursor::pos();
  pointerSaved_ = true;
  if (QListWidgetItem* item = lbxMidiDev->currentItem())
    QCursor::setPos(lbxMidiDev->viewport()->mapToGlobal(lbxMidiDev->visualItemRect(item).center()));
  lbxMidiDev->setFocus();
}

void TPortDlg::done(int r) {
  if (r != QDialog::Accepted) Chosen = -1;  // Escape or the window closed
  if (pointerSaved_) {
    QCursor::setPos(savedPointer_);
    pointerSaved_ = false;
  }
  QDialog::done(r);
}

int TPortDlg::Choose(const QStringList& rows, int current, QWidget* parent) {
  TPortDlg dlg(rows, current, parent);
  dlg.exec();
  return dlg.Chosen;
}

// ---------------------------------------------------------------------------
// TOptionDlg

TOptionDlg::TOptionDlg(const OptionValues& values, const MidiPorts& ports, int page, QWidget* parent)
    : QDialog(parent),
      base_(values),
      defaultOutPort_(std::clamp<int>(values.DefaultOutPort, 0, kPortCount - 1)),
      clickPort_(std::clamp<int>(values.ClickPort, 0, kPortCount - 1)),
      syncPort_(std::clamp<int>(values.SyncPort, 0, kPortCount - 1)),
      defaultChosen_(values.DefaultOutPortChosen),
      clickNote_(values.ClickNote & 0x7F) {
  setObjectName(QStringLiteral("OptionDlg"));
  setWindowTitle(QStringLiteral("オプション"));
  ChoosePort = [this](const QStringList& rows, int current) { return TPortDlg::Choose(rows, current, this); };
  auto* layout = new QVBoxLayout(this);
  Pages = new QTabWidget(this);
  Pages->setObjectName(QStringLiteral("Pages"));
  Pages->addTab(BuildFilterPage(values), QStringLiteral("MIDI Filter"));
  Pages->addTab(BuildPortPage(values, ports), QStringLiteral("MIDI Port"));
  Pages->addTab(BuildEtcPage(values), QStringLiteral("MIDI Etc."));
  Pages->setCurrentIndex(std::clamp(page, 0, Pages->count() - 1));
  layout->addWidget(Pages);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  RefreshPortTexts();
}

QWidget* TOptionDlg::BuildFilterPage(const OptionValues& v) {
  auto* page = new QWidget;
  auto* layout = new QGridLayout(page);

  auto* receive = new QGroupBox(QStringLiteral("受信 (Receive)"), page);
  auto* rl = new QVBoxLayout(receive);
  auto box = [&](QCheckBox*& b, const char* name, const char* text, uint8_t bit) {
    b = new QCheckBox(QString::fromUtf8(text), receive);
    b->setObjectName(QString::fromLatin1(name));
    b->setChecked(v.Filter.Receive & bit);
    rl->addWidget(b);
  };
  box(cbxNote, "cbxNote", "Note", kReceiveNote);
  box(cbxKeyPressure, "cbxKeyPressure", "KeyPressure", kReceiveKeyPressure);
  box(cbxControlChange, "cbxControlChange", "ControlChange", kReceiveControl);
  box(cbxProgramChange, "cbxProgramChange", "ProgramChange", kReceiveProgram);
  box(cbxChannelPressure, "cbxChannelPressure", "ChannelPressure", kReceiveChannelPressure);
  box(cbxPitchBend, "cbxPitchBend", "PitchBend", kReceivePitchBend);
  rl->addStretch();
  layout->addWidget(receive, 0, 0, 2, 1);

  auto* velo = new QGroupBox(QStringLiteral("受信ベロシティ (Velocity)"), page);
  auto* vl = new QGridLayout(velo);
  auto* group = new QButtonGroup(velo);
  auto radio = [&](QRadioButton*& r, const char* name, const char* text, int rule, int row) {
    r = new QRadioButton(QString::fromUtf8(text), velo);
    r->setObjectName(QString::fromLatin1(name));
    r->setChecked(v.Filter.VeloType == rule);
    group->addButton(r, rule);
    vl->addWidget(r, row, 0);
  };
  auto edit = [&](QLineEdit*& e, const char* name, int value, int maxLength, int row, const char* unit) {
    e = new QLineEdit(QString::number(value), velo);
    e->setObjectName(QString::fromLatin1(name));
    e->setMaxLength(maxLength);
    e->setAlignment(Qt::AlignRight);
    e->setFixedWidth(e->fontMetrics().horizontalAdvance(QString(maxLength + 1, QChar('0'))) + 12);
    vl->addWidget(e, row, 1);
    if (unit) vl->addWidget(new QLabel(QString::fromUtf8(unit), velo), row, 2);
  };
  radio(rbByMidi, "rbByMidi", "ByMIDI", kVeloByMidi, 0);
  radio(rbAdd, "rbAdd", "Add", kVeloAdd, 1);
  edit(edAdd, "edAdd", v.Filter.VeloAdd, 4, 1, nullptr);
  radio(rbChange, "rbChange", "Change to", kVeloChange, 2);
  edit(edChange, "edChange", v.Filter.VeloChange, 3, 2, "%");
  radio(rbSet, "rbSet", "Set to", kVeloSet, 3);
  edit(edSet, "edSet", v.Filter.VeloSet, 3, 3, nullptr);
  vl->setColumnStretch(3, 1);
  // The box shows what will be taken once the user leaves it.
  auto settle = [](QLineEdit* e, int lo, int hi) {
    connect(e, &QLineEdit::editingFinished, e,
            [e, lo, hi] { e->setText(QString::number(ReadVelocityBox(e->text().toStdString(), lo, hi))); });
  };
  settle(edAdd, kMinVeloAdd, kMaxVeloAdd);
  settle(edChange, kMinVeloChange, kMaxVeloChange);
  settle(edSet, kMinVeloSet, kMaxVeloSet);
  layout->addWidget(velo, 0, 1);

  auto* send = new QGroupBox(QStringLiteral("送信 (Send)"), page);
  auto* sl = new QVBoxLayout(send);
  cbxSystemExclusive = new QCheckBox(QStringLiteral("SystemExclusive"), send);
  cbxSystemExclusive->setObjectName(QStringLiteral("cbxSystemExclusive"));
  cbxSystemExclusive->setChecked(v.Filter.Send & kSendSystemExclusive);
  cbxBankChange = new QCheckBox(QStringLiteral("BankChange"), send);
  cbxBankChange->setObjectName(QStringLiteral("cbxBankChange"));
  cbxBankChange->setChecked(v.Filter.Send & kSendBankChange);
  sl->addWidget(cbxSystemExclusive);
  sl->addWidget(cbxBankChange);
  layout->addWidget(send, 1, 1);
  layout->setRowStretch(2, 1);
  return page;
}

QWidget* TOptionDlg::BuildPortPage(const OptionValues& v, const MidiPorts& ports) {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto deviceBox = [](QWidget* parent, const char* name, const std::vector<std::string>& names, int current) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    for (const auto& n : names) box->addItem(Q(n));
    if (box->count() == 0) box->addItem(QString::fromLatin1(kNotInUse));
    box->setCurrentIndex(current >= 0 && current < box->count() ? current : 0);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    box->setMinimumContentsLength(24);
    return box;
  };

  auto* outs = new QGroupBox(QStringLiteral("出力デバイス (MIDI OUT)"), page);
  auto* outForm = new QFormLayout(outs);
  const char* names[kPortCount] = {"cmbPort0", "cmbPort1", "cmbPort2", "cmbPort3"};
  for (int p = 0; p < kPortCount; ++p) {
    cmbPort[p] = deviceBox(outs, names[p], ports.OutDeviceNames, v.PortMap[p]);
    outForm->addRow(QStringLiteral("ポート%1").arg(PortLetter(p)), cmbPort[p]);
    connect(cmbPort[p], &QComboBox::currentIndexChanged, this, [this] { RefreshPortTexts(); });
  }
  layout->addWidget(outs);

  auto* in = new QGroupBox(QStringLiteral("入力デバイス (MIDI IN)"), page);
  auto* inForm = new QFormLayout(in);
  cmbMidiInPort = deviceBox(in, "cmbMidiInPort", ports.InDeviceNames, v.InPort);
  connect(cmbMidiInPort, &QComboBox::activated, this, [this](int d) {
    if (InputChosen && d > 0) InputChosen(d);
  });
  inForm->addRow(QStringLiteral("入力"), cmbMidiInPort);
  cmbThruPort = new QComboBox(in);
  cmbThruPort->setObjectName(QStringLiteral("cmbThruPort"));
  cmbThruPort->addItem(QStringLiteral("THRU Off"));
  cmbThruPort->addItem(QStringLiteral("DynamicTHRU"));
  for (int p = 0; p < kPortCount; ++p) cmbThruPort->addItem(QString());
  cmbThruPort->setCurrentIndex(std::clamp(v.Thru.ThruMode, kThruOff, kMaxThruMode));
  cmbThruPort->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  inForm->addRow(QStringLiteral("THRU"), cmbThruPort);
  layout->addWidget(in);

  auto* roles = new QGroupBox(QStringLiteral("ポートの割り当て"), page);
  auto* roleForm = new QFormLayout(roles);
  auto portButton = [&](QPushButton*& b, const char* name, int& port, bool* chosen) {
    b = new QPushButton(roles);
    b->setObjectName(QString::fromLatin1(name));
    b->setStyleSheet(QStringLiteral("text-align: left; padding: 3px 8px;"));
    connect(b, &QPushButton::clicked, this, [this, &port, chosen] { PickPort(port, chosen); });
  };
  portButton(btnOutPort, "btnOutPort", defaultOutPort_, &defaultChosen_);
  portButton(btnClickPort, "btnClickPort", clickPort_, nullptr);
  portButton(btnSyncPort, "btnSyncPort", syncPort_, nullptr);
  btnOutPort->setToolTip(QStringLiteral("選び直すと、全トラックのポートがこのポートになります"));
  roleForm->addRow(QStringLiteral("トラックの既定ポート"), btnOutPort);
  roleForm->addRow(QStringLiteral("GuideClickのポート"), btnClickPort);
  roleForm->addRow(QStringLiteral("SyncOutのポート"), btnSyncPort);
  layout->addWidget(roles);
  layout->addStretch();
  return page;
}

QWidget* TOptionDlg::BuildEtcPage(const OptionValues& v) {
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  cbxSelectedTrackThru = new QCheckBox(QStringLiteral("TrackWindowで選択されたトラックにDynamicThruする"), page);
  cbxSelectedTrackThru->setObjectName(QStringLiteral("cbxSelectedTrackThru"));
  cbxSelectedTrackThru->setChecked(v.Thru.SelectedTrackThru);
  layout->addWidget(cbxSelectedTrackThru);

  auto* keys = new QGroupBox(QStringLiteral("PCキーボード"), page);
  auto* kf = new QFormLayout(keys);
  cmbToggleType = new QComboBox(keys);
  cmbToggleType->setObjectName(QStringLiteral("cmbToggleType"));
  cmbToggleType->addItems({QStringLiteral("Caps Lock"), QStringLiteral("Num Lock"), QStringLiteral("Scroll Lock")});
  cmbToggleType->setCurrentIndex(std::clamp(v.Keyboard.ToggleType, int(kLockCaps), int(kLockScroll)));
  kf->addRow(QStringLiteral("ToggleType"), cmbToggleType);
  cbxUpperEnabled = new QCheckBox(QStringLiteral("PCキーボードの上二段も鍵盤として使う"), keys);
  cbxUpperEnabled->setObjectName(QStringLiteral("cbxUpperEnabled"));
  cbxUpperEnabled->setChecked(v.Keyboard.UpperEnabled);
  kf->addRow(cbxUpperEnabled);
  layout->addWidget(keys);

  auto* score = new QGroupBox(QStringLiteral("スコア"), page);
  auto* sf = new QVBoxLayout(score);
  cbxScoreNoMouse = new QCheckBox(QStringLiteral("演奏中はマウス禁止"), score);
  cbxScoreNoMouse->setObjectName(QStringLiteral("cbxScoreNoMouse"));
  cbxScoreNoMouse->setChecked((v.ScoreOptions & kScoreNoMouseWhilePlaying) != 0);
  sf->addWidget(cbxScoreNoMouse);
  layout->addWidget(score);

  auto* misc = new QGroupBox(QStringLiteral("その他"), page);
  auto* mf = new QFormLayout(misc);
  auto* centerRow = new QHBoxLayout;
  edCenterC = new QSpinBox(misc);
  edCenterC->setObjectName(QStringLiteral("edCenterC"));
  edCenterC->setRange(kMinCenterC, kMaxCenterC);
  edCenterC->setValue(std::clamp(v.CenterC, kMinCenterC, kMaxCenterC));
  lbCenterC = new QLabel(misc);
  centerRow->addWidget(edCenterC);
  centerRow->addWidget(lbCenterC);
  centerRow->addStretch();
  mf->addRow(QStringLiteral("中央Ｃ"), centerRow);
  edTimerSyncInterval = new QSpinBox(misc);
  edTimerSyncInterval->setObjectName(QStringLiteral("edTimerSyncInterval"));
  edTimerSyncInterval->setRange(1, 999);
  edTimerSyncInterval->setValue(std::clamp(v.TimerSyncInterval, 1, 999));
  edTimerSyncInterval->setMinimumWidth(
      edTimerSyncInterval->fontMetrics().horizontalAdvance(QStringLiteral("9999")) + 40);
  auto* timerRow = new QHBoxLayout;
  timerRow->addWidget(edTimerSyncInterval);
  timerRow->addStretch();
  mf->addRow(QStringLiteral("TimerSyncの精度(ms)"), timerRow);
  auto* clickRow = new QHBoxLayout;
  edClickNote = new QLineEdit(misc);
  edClickNote->setObjectName(QStringLiteral("edClickNote"));
  edClickNote->setFixedWidth(edClickNote->fontMetrics().horizontalAdvance(QStringLiteral("C#-10")) + 16);
  edClickNote->setToolTip(QStringLiteral("音名 (C#3 など) か、ノート番号"));
  btnClickNote = new QPushButton(QStringLiteral("..."), misc);
  btnClickNote->setObjectName(QStringLiteral("btnClickNote"));
  btnClickNote->setToolTip(QStringLiteral("鍵盤から選ぶ"));
  btnClickNote->setFixedWidth(btnClickNote->fontMetrics().horizontalAdvance(QStringLiteral("...")) + 20);
  clickRow->addWidget(edClickNote);
  clickRow->addWidget(btnClickNote);
  clickRow->addStretch();
  mf->addRow(QStringLiteral("GuideClickのノート"), clickRow);
  layout->addWidget(misc);
  layout->addStretch();

  connect(edClickNote, &QLineEdit::editingFinished, this, [this] {
    ReadClickNote();
    ShowClickNote();
  });
  connect(btnClickNote, &QPushButton::clicked, this, [this] {
    ReadClickNote();
    if (!ChooseNote) {
      edClickNote->setFocus();
      edClickNote->selectAll();
      return;
    }
    int note = clickNote_;
    if (ChooseNote(note)) clickNote_ = std::clamp(note, 0, 127);
    ShowClickNote();
  });
  connect(edCenterC, &QSpinBox::valueChanged, this, [this] {
    ReadClickNote();  // a half-typed name in the old naming
    ShowClickNote();
  });
  ShowClickNote();
  return page;
}

QStringList TOptionDlg::PortRows() const {
  QStringList rows;
  for (int p = 0; p < kPortCount; ++p) rows << QStringLiteral("%1: %2").arg(PortLetter(p), cmbPort[p]->currentText());
  return rows;
}

void TOptionDlg::RefreshPortTexts() {
  QStringList rows = PortRows();
  for (int p = 0; p < kPortCount; ++p) cmbThruPort->setItemText(2 + p, rows[p]);
  btnOutPort->setText(rows[defaultOutPort_]);
  btnClickPort->setText(rows[clickPort_]);
  btnSyncPort->setText(rows[syncPort_]);
}

void TOptionDlg::PickPort(int& port, bool* chosen) {
  int row = ChoosePort ? ChoosePort(PortRows(), port) : -1;
  if (row < 0 || row >= kPortCount) return;
  port = row;
  if (chosen) *chosen = true;
  RefreshPortTexts();
}

void TOptionDlg::ShowClickNote() {
  shownCenterC_ = edCenterC->value();
  edClickNote->setText(Q(NoteText(clickNote_, shownCenterC_)));
  lbCenterC->setText(QStringLiteral("(ノート60 = %1)").arg(Q(NoteText(60, edCenterC->value())).simplified()));
}

void TOptionDlg::ReadClickNote() {
  // The box holds the name in the naming it was written with.
  clickNote_ = std::clamp(ReadNoteText(edClickNote->text().toStdString(), clickNote_, shownCenterC_), 0, 127);
}

OptionValues TOptionDlg::Values() const {
  OptionValues v = base_;
  uint8_t receive = 0;
  const std::pair<QCheckBox*, uint8_t> kinds[] = {{cbxNote, kReceiveNote},
                                                  {cbxKeyPressure, kReceiveKeyPressure},
                                                  {cbxControlChange, kReceiveControl},
                                                  {cbxProgramChange, kReceiveProgram},
                                                  {cbxChannelPressure, kReceiveChannelPressure},
                                                  {cbxPitchBend, kReceivePitchBend}};
  for (const auto& [box, bit] : kinds)
    if (box->isChecked()) receive |= bit;
  v.Filter.Receive = receive;
  v.Filter.VeloType = rbAdd->isChecked() ? kVeloAdd : rbChange->isChecked() ? kVeloChange
                      : rbSet->isChecked() ? kVeloSet : kVeloByMidi;
  v.Filter.VeloAdd = ReadVelocityBox(edAdd->text().toStdString(), kMinVeloAdd, kMaxVeloAdd);
  v.Filter.VeloChange = ReadVelocityBox(edChange->text().toStdString(), kMinVeloChange, kMaxVeloChange);
  v.Filter.VeloSet = ReadVelocityBox(edSet->text().toStdString(), kMinVeloSet, kMaxVeloSet);
  v.Filter.Send = uint8_t((cbxSystemExclusive->isChecked() ? kSendSystemExclusive : 0) |
                          (cbxBankChange->isChecked() ? kSendBankChange : 0));
  for (int p = 0; p < kPortCount; ++p) v.PortMap[p] = uint8_t(std::max(cmbPort[p]->currentIndex(), 0));
  v.InPort = uint8_t(std::max(cmbMidiInPort->currentIndex(), 0));
  v.Thru.ThruMode = std::max(cmbThruPort->currentIndex(), 0);
  v.Thru.SelectedTrackThru = cbxSelectedTrackThru->isChecked();
  v.DefaultOutPort = uint8_t(defaultOutPort_);
  v.ClickPort = uint8_t(clickPort_);
  v.SyncPort = syncPort_;
  v.DefaultOutPortChosen = defaultChosen_;
  v.Keyboard.ToggleType = std::max(cmbToggleType->currentIndex(), 0);
  v.Keyboard.UpperEnabled = cbxUpperEnabled->isChecked();
  v.ScoreOptions = uint8_t((v.ScoreOptions & ~kScoreNoMouseWhilePlaying) |
                           (cbxScoreNoMouse->isChecked() ? kScoreNoMouseWhilePlaying : 0));
  v.CenterC = edCenterC->value();
  v.TimerSyncInterval = edTimerSyncInterval->value();
  // A note typed but not yet confirmed counts as well.
  v.ClickNote =
      uint8_t(std::clamp(ReadNoteText(edClickNote->text().toStdString(), clickNote_, shownCenterC_), 0, 127));
  return v;
}

// ---------------------------------------------------------------------------
// The menu command

namespace {
TEditController* EditLayer(TMkMainForm& form) { return form.findChild<TEditController*>(); }
}  // namespace

OptionValues FormOptionValues(TMkMainForm& form) {
  AppCore& core = form.Core();
  OptionValues values = CurrentOptionValues(core.Ports(), core.Engine().Options, form.Settings(), form.Ini());
  if (TEditController* edit = EditLayer(form)) values.CenterC = edit->CenterC;
  if (form.OptionHooks.ReadCurrent) form.OptionHooks.ReadCurrent(values);
  return values;
}

std::unique_ptr<TOptionDlg> MakeOptionDialog(TMkMainForm& form, int page) {
  AppCore& core = form.Core();
  auto dlg = std::make_unique<TOptionDlg>(FormOptionValues(form), core.Ports(), page, &form);
  MidiPorts& ports = core.Ports();
  dlg->InputChosen = [&ports](int d) { ports.OpenInDevice(d); };
  if (form.OptionHooks.ChooseClickNote) {
    TOptionDlg* self = dlg.get();
    auto choose = form.OptionHooks.ChooseClickNote;
    dlg->ChooseNote = [self, choose](int& note) { return choose(note, self->Values().ClickPort); };
  }
  return dlg;
}

bool RunOptionDialog(TMkMainForm& form, UserPrompt& prompt, int page) {
  std::unique_ptr<TOptionDlg> dlg = MakeOptionDialog(form, page);
  AppCore& core = form.Core();
  MidiPorts& ports = core.Ports();
  const OptionValues old = FormOptionValues(form);
  if (!prompt.Exec(*dlg)) {
    KeepOnlySelectedInput(ports);
    return false;
  }
  OptionValues now = dlg->Values();
  dlg.reset();
  form.StopPlay();
  if (form.OptionHooks.BeforeApply) form.OptionHooks.BeforeApply(old, now);
  TEditController* edit = EditLayer(form);
  OptionTargets targets{ports, core.Engine().Options, form.Settings(), form.Ini(), core.TheSong,
                        edit ? &edit->CenterC : nullptr};
  ApplyOptionValues(now, targets);
  if (form.OptionHooks.OnApplied) form.OptionHooks.OnApplied(old, now);
  return true;
}

}  // namespace melko

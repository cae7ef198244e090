#include "views/ui/mixer_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <algorithm>

#include "base/text_encoding.h"
#include "views/mixer_commands.h"
#include "views/ui/mixer_controls.h"
#include "views/ui/set_mixer_dlg.h"

namespace melko {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Pixel layout of a strip (37 wide) and of the master column (46 wide).
constexpr int kStripWidth = 37;
constexpr int kMasterWidth = 46;
constexpr int kRowButtonHeight = 17;
constexpr int kKnobSize = 34;
constexpr int kEditHeight = 18;
constexpr int kRowHeight = kRowButtonHeight + kKnobSize + kEditHeight + 3;
constexpr int kProgramY = kMixerKnobRows * kRowHeight;
constexpr int kFaderY = kProgramY + 22;
constexpr int kFaderEditY = kFaderY + 132;
constexpr int kFlagsY = kFaderEditY + kEditHeight + 2;
constexpr int kGridY = kFlagsY + 20;
constexpr int kGridHeight = 34;
constexpr int kScrollY = kGridY + kGridHeight;
constexpr int kFormHeight = kScrollY + 16;
constexpr uint32_t kProgramDirty = 1u << kMixerRows;

const QColor kStripBack(0xDC, 0xDC, 0xD6);
const QColor kStripBackAlt(0xCF, 0xCF, 0xC8);
const QColor kMasterBack(0xB8, 0xBC, 0xC4);

QFont SmallFont(const QFont& base) {
  QFont f = base;
  f.setPointSizeF(std::max(6.5, base.pointSizeF() - 1));
  return f;
}

QLineEdit* ValueEdit(QWidget* parent, int x, int y, int w) {
  auto* e = new QLineEdit(parent);
  e->setGeometry(x, y, w, kEditHeight);
  e->setAlignment(Qt::AlignCenter);
  e->setValidator(new QIntValidator(0, 127, e));
  e->setFont(SmallFont(e->font()));
  e->setTextMargins(0, 0, 0, 0);
  e->setFocusPolicy(Qt::ClickFocus);
  // A plain box without a style sheet: these are set many times a second
  // while a song plays, and a styled edit costs many times more to draw.
  e->setFrame(false);
  e->setAttribute(Qt::WA_OpaquePaintEvent);
  return e;
}

QPushButton* SmallButton(QWidget* parent, const QString& caption, QRect r, bool checkable) {
  auto* b = new QPushButton(caption, parent);
  b->setGeometry(r);
  b->setCheckable(checkable);
  b->setFocusPolicy(Qt::NoFocus);
  b->setFont(SmallFont(b->font()));
  return b;
}

}  // namespace

// ------------------------------------------------------------------ form

TMixerForm::TMixerForm(Song& song, EditDispatcher& dispatcher, MixerState& mixer, QWidget* parent)
    : QWidget(parent, Qt::Window), song_(song), dispatcher_(dispatcher), mixer_(mixer) {
  setObjectName(QStringLiteral("MixerForm"));
  setWindowTitle(QStringLiteral("Mixer"));
  setAutoFillBackground(true);
  const int stripsWidth = mixer_.StripCount * kStripWidth;
  setFixedSize(mixer_.WindowWidth(), kFormHeight);

  for (int r = 0; r < kMixerKnobRows; ++r) {
    auto* b = SmallButton(this, QString(), QRect(0, r * kRowHeight, stripsWidth, kRowButtonHeight), false);
    b->setObjectName(QStringLiteral("sbtCtrl%1").arg(r));
    b->setToolTip(QStringLiteral("クリックでコントロールチェンジを選ぶ"));
    connect(b, &QPushButton::clicked, this, [this, r] { sbtCtrlClick(r); });
    sbtCtrl[size_t(r)] = b;
  }
  for (int i = 0; i < mixer_.StripCount; ++i) BuildStrip(i);

  DrawGrid1 = new TMixerGrid(*this, song_, mixer_);
  DrawGrid1->setObjectName(QStringLiteral("DrawGrid1"));
  DrawGrid1->setGeometry(0, kGridY, stripsWidth, kGridHeight);
  scroll_ = new QScrollBar(Qt::Horizontal, this);
  scroll_->setGeometry(0, kScrollY, stripsWidth, 16);
  scroll_->setRange(0, std::max(0, 64 - mixer_.StripCount));
  scroll_->setPageStep(mixer_.StripCount);
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int v) {
    if (!showing_) ScrollTo(v + 1);
  });

  // The master column.
  const int mx = stripsWidth;
  auto* master = new QWidget(this);
  master->setGeometry(mx, 0, kMasterWidth, kFormHeight);
  master->setAutoFillBackground(true);
  QPalette mp = master->palette();
  mp.setColor(QPalette::Window, kMasterBack);
  master->setPalette(mp);
  const int bw = kMasterWidth - 4;
  sbtSync = SmallButton(master, QStringLiteral("Sync"), QRect(2, 2, bw, 22), true);
  sbtSync->setObjectName(QStringLiteral("sbtSync"));
  sbtSync->setToolTip(QStringLiteral("演奏に追従する"));
  sbtSet = SmallButton(master, QStringLiteral("Set"), QRect(2, 28, bw, 22), false);
  sbtSet->setObjectName(QStringLiteral("sbtSet"));
  sbtSet->setToolTip(QStringLiteral("ミキサーの値をソングに書き込む"));
  sbtInit = SmallButton(master, QStringLiteral("Init"), QRect(2, 52, bw, 22), false);
  sbtInit->setObjectName(QStringLiteral("sbtInit"));
  sbtInit->setToolTip(QStringLiteral("全トラックの最初のノートまでの値をミキサーの値に書き換える"));
  auto* label = new QLabel(QStringLiteral("Master"), master);
  label->setFont(SmallFont(label->font()));
  label->setAlignment(Qt::AlignCenter);
  label->setGeometry(0, kProgramY, kMasterWidth, 20);
  sbMasterVolume = new TmSlideBar(master);
  sbMasterVolume->setObjectName(QStringLiteral("sbMasterVolume"));
  sbMasterVolume->move((kMasterWidth - sbMasterVolume->width()) / 2, kFaderY);
  sbMasterVolume->SetLoading(true);
  sbMasterVolume->SetPosition(mixer_.MasterVolume);
  sbMasterVolume->SetLoading(false);
  veMasterVolume = ValueEdit(master, 4, kFaderEditY, kMasterWidth - 8);
  veMasterVolume->setObjectName(QStringLiteral("veMasterVolume"));
  veMasterVolume->setText(QString::number(mixer_.MasterVolume));
  sbtMasterMute = SmallButton(master, QStringLiteral("Mute"), QRect(2, kFlagsY, bw, 18), true);
  sbtMasterMute->setObjectName(QStringLiteral("sbtMasterMute"));
  sbtMasterMute->setStyleSheet(QStringLiteral("QPushButton:checked { background: #E04040; color: white; }"));
  sbtSync->setStyleSheet(QStringLiteral("QPushButton:checked { background: #70C070; }"));
  sbtMasterMute->setToolTip(QStringLiteral("ミュートの有効/無効 (Ctrl: すべて解除)"));
  auto repeat = [master](const char* name, const char* caption, QRect r, const QString& hint) {
    auto* b = new QToolButton(master);
    b->setObjectName(QString::fromLatin1(name));
    b->setText(QString::fromLatin1(caption));
    b->setGeometry(r);
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setToolTip(hint);
    return b;
  };
  const int half = kMasterWidth / 2 - 2;
  tsbtDecTr16 = repeat("tsbtDecTr16", "<<", QRect(2, kGridY, half, 16), QStringLiteral("前のページ"));
  tsbtIncTr16 = repeat("tsbtIncTr16", ">>", QRect(2 + half, kGridY, half, 16), QStringLiteral("次のページ"));
  tsbtDecTr = repeat("tsbtDecTr", "<", QRect(2, kGridY + 17, half, 16), QStringLiteral("前のトラック"));
  tsbtIncTr = repeat("tsbtIncTr", ">", QRect(2 + half, kGridY + 17, half, 16), QStringLiteral("次のトラック"));
  connect(tsbtDecTr, &QToolButton::clicked, this, [this] { ScrollTo(mixer_.FirstTrack - 1); });
  connect(tsbtIncTr, &QToolButton::clicked, this, [this] { ScrollTo(mixer_.FirstTrack + 1); });
  connect(tsbtDecTr16, &QToolButton::clicked, this, [this] { ScrollTo(mixer_.FirstTrack - mixer_.StripCount); });
  connect(tsbtIncTr16, &QToolButton::clicked, this, [this] { ScrollTo(mixer_.FirstTrack + mixer_.StripCount); });

  connect(sbtSync, &QPushButton::toggled, this, [this](bool on) { mixer_.Sync = on; });
  connect(sbtSet, &QPushButton::clicked, this, &TMixerForm::sbtSetClick);
  connect(sbtInit, &QPushButton::clicked, this, &TMixerForm::sbtInitClick);
  connect(sbtMasterMute, &QPushButton::clicked, this, &TMixerForm::sbtMasterMuteClick);
  auto masterMoved = [this](int v) {
    if (showing_) return;
    ShowMasterVolume(v);
    if (Hooks.MasterVolumeChanged) Hooks.MasterVolumeChanged(v);
  };
  connect(sbMasterVolume, &TmSlideBar::Changed, this, masterMoved);
  connect(veMasterVolume, &QLineEdit::editingFinished, this, [this, masterMoved] {
    bool ok = false;
    const int v = veMasterVolume->text().toInt(&ok);
    if (ok) masterMoved(std::clamp(v, 0, 127));
    else veMasterVolume->setText(QString::number(mixer_.MasterVolume));
  });

  popup_ = new QMenu(this);
  QMenu* channels = popup_->addMenu(QStringLiteral("&Channel"));
  popChannel = channels->menuAction();
  popChannel->setObjectName(QStringLiteral("popChannel"));
  for (int c = 0; c < 16; ++c)
    channels->addAction(QString::number(c + 1), this, [this, c] { SetChannelOfSelection(c); });
  QMenu* ports = popup_->addMenu(QStringLiteral("&Port"));
  popPort = ports->menuAction();
  popPort->setObjectName(QStringLiteral("popPort"));
  connect(ports, &QMenu::aboutToShow, this, [this, ports] {
    ports->clear();
    const std::array<std::string, 4> names = Hooks.PortDevices ? Hooks.PortDevices() : std::array<std::string, 4>{};
    for (int p = 0; p < 4; ++p) {
      QString text = QString(QChar('A' + p));
      if (!names[size_t(p)].empty()) text += QStringLiteral("  ") + Q(names[size_t(p)]);
      ports->addAction(text, this, [this, p] { SetPortOfSelection(p); });
    }
  });

  editFlush_ = new QTimer(this);
  editFlush_->setSingleShot(true);
  editFlush_->setInterval(40);
  connect(editFlush_, &QTimer::timeout, this, &TMixerForm::FlushPlayed);
  editsDirty_.assign(size_t(mixer_.StripCount), 0);

  Timer1 = new QTimer(this);
  Timer1->setInterval(50);
  connect(Timer1, &QTimer::timeout, this, &TMixerForm::Timer1Timer);
  Timer1->start();

  songWatch_ = song_.Changes.Subscribe([this](const SongChange& c) { SongChanged(c); });
  sbtSync->setChecked(mixer_.Sync);
  UpdateRowButtons();
  RefreshStrips();
}

TMixerForm::~TMixerForm() {
  songWatch_.Reset();
  // The children go after the strips: an edit losing its focus on the way
  // out must not reach them.
  for (QLineEdit* e : findChildren<QLineEdit*>()) e->disconnect(this);
}

void TMixerForm::BuildStrip(int index) {
  TMixerStrip s;
  const int x = index * kStripWidth;
  s.Box = new QWidget(this);
  s.Box->lower();
  s.Box->setGeometry(x, 0, kStripWidth, kGridY);
  s.Box->setAutoFillBackground(true);
  QPalette pal = s.Box->palette();
  pal.setColor(QPalette::Window, index % 2 ? kStripBackAlt : kStripBack);
  s.Box->setPalette(pal);
  for (int r = 0; r < kMixerKnobRows; ++r) {
    const int y = r * kRowHeight + kRowButtonHeight;
    auto* k = new TmRKnob(s.Box);
    k->setObjectName(QStringLiteral("knob%1_%2").arg(index).arg(r));
    k->move((kStripWidth - kKnobSize) / 2, y + 1);
    auto* e = ValueEdit(s.Box, 1, y + kKnobSize + 1, kStripWidth - 2);
    connect(k, &TmRKnob::Changed, this, [this, index, r](int v) {
      if (!showing_) ControlMoved(index, r, v);
    });
    connect(e, &QLineEdit::editingFinished, this, [this, index, r, e] {
      bool ok = false;
      const int v = e->text().toInt(&ok);
      if (ok) ControlMoved(index, r, std::clamp(v, 0, 127));
      else ShowStrip(strips_[size_t(index)]);
    });
    s.Knobs[size_t(r)] = k;
    s.KnobEdits[size_t(r)] = e;
  }
  s.Program = SmallButton(s.Box, QString(), QRect(1, kProgramY + 1, kStripWidth - 2, 20), false);
  s.Program->setToolTip(QStringLiteral("プログラムチェンジ"));
  connect(s.Program, &QPushButton::clicked, this, [this, index] { ProgramClick(index); });
  s.Fader = new TmSlideBar(s.Box);
  s.Fader->move(2, kFaderY);
  s.Meter = new TMixerMeter(s.Box);
  s.Meter->move(kStripWidth - 11, kFaderY);
  connect(s.Fader, &TmSlideBar::Changed, this, [this, index](int v) {
    if (!showing_) ControlMoved(index, kFaderRow, v);
  });
  s.FaderEdit = ValueEdit(s.Box, 1, kFaderEditY, kStripWidth - 2);
  connect(s.FaderEdit, &QLineEdit::editingFinished, this, [this, index] {
    QLineEdit* e = strips_[size_t(index)].FaderEdit;
    bool ok = false;
    const int v = e->text().toInt(&ok);
    if (ok) ControlMoved(index, kFaderRow, std::clamp(v, 0, 127));
    else ShowStrip(strips_[size_t(index)]);
  });
  const int bw = (kStripWidth - 3) / 2;
  s.Solo = SmallButton(s.Box, QStringLiteral("S"), QRect(1, kFlagsY, bw, 18), true);
  s.Solo->setToolTip(QStringLiteral("ソロ"));
  s.Solo->setStyleSheet(QStringLiteral("QPushButton:checked { background: #F0D000; }"));
  s.Mute = SmallButton(s.Box, QStringLiteral("M"), QRect(2 + bw, kFlagsY, bw, 18), true);
  s.Mute->setToolTip(QStringLiteral("ミュート (Ctrl: このトラック以外をミュート)"));
  s.Mute->setStyleSheet(QStringLiteral("QPushButton:checked { background: #E04040; color: white; }"));
  connect(s.Solo, &QPushButton::clicked, this, [this, index](bool down) { SoloClick(index, down); });
  connect(s.Mute, &QPushButton::clicked, this, [this, index](bool down) { MuteClick(index, down); });
  strips_.push_back(s);
}

std::string TMixerForm::ControllerName(int cc) const {
  if (Hooks.Controllers)
    for (const auto& [code, name] : Hooks.Controllers())
      if (code == cc) return DisplayText(name);
  return "CC " + std::to_string(cc);
}

void TMixerForm::UpdateRowButtons() {
  for (int r = 0; r < kMixerKnobRows; ++r) {
    const int cc = mixer_.RowCtrl[size_t(r)];
    sbtCtrl[size_t(r)]->setText(Q(std::to_string(cc) + ": " + ControllerName(cc)));
    for (TMixerStrip& s : strips_) s.Knobs[size_t(r)]->SetCentred(cc == 10 || cc == 8);  // pan, balance
  }
}

void TMixerForm::ShowStrip(TMixerStrip& s) {
  const bool was = showing_;
  showing_ = true;
  const MixerTrack& m = mixer_.Track(s.Track);
  for (int r = 0; r < kMixerKnobRows; ++r) {
    s.Knobs[size_t(r)]->SetPosition(m.CtrlValue[size_t(r)]);
    s.KnobEdits[size_t(r)]->setText(QString::number(m.CtrlValue[size_t(r)]));
  }
  s.Fader->SetPosition(m.CtrlValue[kFaderRow]);
  s.FaderEdit->setText(QString::number(m.CtrlValue[kFaderRow]));
  s.Program->setText(Q(ProgramText(m.Program)));
  s.Meter->SetLevel(m.Meter);
  s.Solo->setChecked(song_.Solo == s.Track);
  s.Mute->setChecked(song_.Mute[size_t(s.Track)] != 0);
  for (QWidget* w : std::initializer_list<QWidget*>{s.Program, s.Fader, s.Solo, s.Mute})
    w->setToolTip(QStringLiteral("TR %1").arg(s.Track));
  showing_ = was;
}

void TMixerForm::RefreshStrips() {
  std::fill(editsDirty_.begin(), editsDirty_.end(), 0u);
  for (size_t i = 0; i < strips_.size(); ++i) {
    strips_[i].Track = mixer_.FirstTrack + int(i);
    ShowStrip(strips_[i]);
  }
  showing_ = true;
  scroll_->setValue(mixer_.FirstTrack - 1);
  sbtMasterMute->setChecked(song_.Mute[0] != 0);
  showing_ = false;
  DrawGrid1->update();
}

void TMixerForm::ShowFlags() {
  showing_ = true;
  for (TMixerStrip& s : strips_) {
    s.Solo->setChecked(song_.Solo == s.Track);
    s.Mute->setChecked(song_.Mute[size_t(s.Track)] != 0);
  }
  sbtMasterMute->setChecked(song_.Mute[0] != 0);
  showing_ = false;
}

void TMixerForm::SongChanged(const SongChange& change) {
  if (change.Has(kChangeWholeSong | kChangeTrackSettings)) ShowFlags();
  DrawGrid1->update();
}

void TMixerForm::PlayedEvent(uint32_t lParam) {
  const MixerUpdate u = mixer_.ApplyPlayed(lParam, isVisible());
  if (u.What == MixerUpdate::kNothing || !mixer_.Shown(u.Track)) return;
  TMixerStrip& s = strips_[size_t(u.Track - mixer_.FirstTrack)];
  const MixerTrack& m = mixer_.Track(u.Track);
  showing_ = true;
  switch (u.What) {
    case MixerUpdate::kMeter:
      s.Meter->SetLevel(m.Meter);
      break;
    case MixerUpdate::kControl:
    case MixerUpdate::kProgram:
      // Knobs, faders, their edits and the program are set from the state
      // at most 25 times a second: a controller sweep on every track would
      // otherwise redraw each of them for every event.
      editsDirty_[size_t(u.Track - mixer_.FirstTrack)] |= u.What == MixerUpdate::kProgram ? kProgramDirty : 1u << u.Row;
      if (!editFlush_->isActive()) editFlush_->start();
      break;
    default:
      break;
  }
  showing_ = false;
}

void TMixerForm::FlushPlayed() {
  editFlush_->stop();
  for (size_t i = 0; i < strips_.size() && i < editsDirty_.size(); ++i) {
    const uint32_t rows = editsDirty_[i];
    if (!rows) continue;
    editsDirty_[i] = 0;
    TMixerStrip& s = strips_[i];
    const MixerTrack& m = mixer_.Track(s.Track);
    showing_ = true;
    for (int r = 0; r < kMixerRows; ++r) {
      if (!(rows & (1u << r))) continue;
      const int v = m.CtrlValue[size_t(r)];
      if (r == kFaderRow) s.Fader->SetPosition(v);
      else s.Knobs[size_t(r)]->SetPosition(v);
      QLineEdit* e = r == kFaderRow ? s.FaderEdit : s.KnobEdits[size_t(r)];
      const QString text = QString::number(v);
      if (e->text() != text && !e->hasFocus()) e->setText(text);
    }
    if (rows & kProgramDirty) s.Program->setText(Q(ProgramText(m.Program)));
    showing_ = false;
  }
}

void TMixerForm::Timer1Timer() {
  if (!isVisible()) return;  // the main window lowers the meters while closed
  const auto moved = mixer_.DecayMeters();
  if (moved.none()) return;
  for (TMixerStrip& s : strips_)
    if (moved.test(size_t(s.Track))) s.Meter->SetLevel(mixer_.Track(s.Track).Meter);
}

void TMixerForm::ShowMasterVolume(int volume) {
  volume = std::clamp(volume, 0, 127);
  mixer_.MasterVolume = volume;
  showing_ = true;
  sbMasterVolume->SetPosition(volume);
  if (!veMasterVolume->hasFocus() || veMasterVolume->text().toInt() != volume)
    veMasterVolume->setText(QString::number(volume));
  showing_ = false;
}

void TMixerForm::ControlMoved(int strip, int row, int value) {
  TMixerStrip& s = strips_[size_t(strip)];
  const uint32_t msg = mixer_.MoveControl(s.Track, row, value, song_);
  if (msg && Hooks.Send) Hooks.Send(s.Track, msg);
  // The knob and its edit, the fader and its edit follow each other.
  showing_ = true;
  const int v = mixer_.Track(s.Track).CtrlValue[size_t(row)];
  if (row == kFaderRow) {
    s.Fader->SetPosition(v);
    s.FaderEdit->setText(QString::number(v));
  } else {
    s.Knobs[size_t(row)]->SetPosition(v);
    s.KnobEdits[size_t(row)]->setText(QString::number(v));
  }
  showing_ = false;
}

void TMixerForm::sbtCtrlClick(int row) {
  QMenu menu(this);
  std::vector<std::pair<int, std::string>> list;
  if (Hooks.Controllers) list = Hooks.Controllers();
  if (list.empty())
    for (int cc = 0; cc < 128; ++cc) list.emplace_back(cc, "CC " + std::to_string(cc));
  for (const auto& [cc, name] : list) {
    QAction* a = menu.addAction(QStringLiteral("%1: %2").arg(cc).arg(Q(DisplayText(name))));
    a->setData(cc);
    a->setCheckable(true);
    a->setChecked(cc == mixer_.RowCtrl[size_t(row)]);
  }
  QAction* chosen = menu.exec(sbtCtrl[size_t(row)]->mapToGlobal(QPoint(0, sbtCtrl[size_t(row)]->height())));
  if (!chosen) return;
  const int cc = chosen->data().toInt();
  if (cc == kVolumeController) {
    Warn(kMsgVolumeNotAssignable);
    return;
  }
  if (mixer_.AssignRow(row, cc)) {
    UpdateRowButtons();
    RefreshStrips();
  }
}

void TMixerForm::ProgramClick(int strip) {
  const int t = strips_[size_t(strip)].Track;
  uint32_t patch = StripPatch(mixer_, t);
  if (!Hooks.ChoosePatch || !Hooks.ChoosePatch(t, patch)) return;
  SetStripPatch(song_, dispatcher_, mixer_, t, patch);
  strips_[size_t(strip)].Program->setText(Q(ProgramText(mixer_.Track(t).Program)));
}

void TMixerForm::SoloClick(int strip, bool down) { MixerSoloClick(song_, strips_[size_t(strip)].Track, down); }

void TMixerForm::MuteClick(int strip, bool down) {
  MixerMuteClick(song_, strips_[size_t(strip)].Track, down, Ctrl());
}

void TMixerForm::sbtMasterMuteClick(bool down) { MixerMasterMuteClick(song_, down, Ctrl()); }

void TMixerForm::sbtSetClick() {
  std::array<std::string, kMixerRows> names;
  for (int r = 0; r < kMixerRows; ++r) {
    const int cc = mixer_.RowCtrl[size_t(r)];
    names[size_t(r)] = std::to_string(cc) + ": " + ControllerName(cc);
  }
  TSetMixerDlg dlg(mixer_, names, this);
  dlg.exec();
  switch (dlg.Chosen()) {
    case TSetMixerDlg::kMix: MixerMix(song_, dispatcher_, mixer_); break;
    case TSetMixerDlg::kInit: MixerInit(song_, dispatcher_, mixer_); break;
    case TSetMixerDlg::kReplace: MixerReplace(song_, dispatcher_, mixer_); break;
    default: break;
  }
}

void TMixerForm::sbtInitClick() { MixerInit(song_, dispatcher_, mixer_); }

void TMixerForm::ScrollTo(int firstTrack) {
  mixer_.SetFirstTrack(firstTrack);
  RefreshStrips();
}

void TMixerForm::SetChannelOfSelection(int channel) { SetTracksChannel(song_, DrawGrid1->SelectedTracks(), channel); }

void TMixerForm::SetPortOfSelection(int port) { SetTracksPort(song_, DrawGrid1->SelectedTracks(), port); }

bool TMixerForm::Ctrl() const {
  if (Hooks.CtrlHeld) return Hooks.CtrlHeld();
  return QApplication::keyboardModifiers() & Qt::ControlModifier;
}

void TMixerForm::Warn(const std::string& text) {
  if (Hooks.ShowWarning) Hooks.ShowWarning(text);
  else QMessageBox::warning(this, QStringLiteral("MELKO98"), Q(text));
}

void TMixerForm::LoadSettings(const IniFile& ini) {
  if (ini.ValueExists(kMixerSection, "Left"))
    move(std::clamp(ini.ReadInteger(kMixerSection, "Left", 0), -2000, 8000),
         std::clamp(ini.ReadInteger(kMixerSection, "Top", 0), 0, 8000));
}

void TMixerForm::SaveSettings(IniFile& ini) const {
  const QRect g = geometry();
  ini.WriteInteger(kMixerSection, "Left", g.x());
  ini.WriteInteger(kMixerSection, "Top", g.y());
  ini.WriteInteger(kMixerSection, "Width", g.width());
  ini.WriteInteger(kMixerSection, "Height", g.height());
}

void TMixerForm::closeEvent(QCloseEvent* e) {
  // Sync lives in the state already; the place is written with the settings.
  QWidget::closeEvent(e);
}

// ------------------------------------------------------------------ grid

TMixerGrid::TMixerGrid(TMixerForm& form, const Song& song, const MixerState& mixer)
    : QWidget(&form), form_(form), song_(song), mixer_(mixer) {
  setFocusPolicy(Qt::NoFocus);
}

QSize TMixerGrid::sizeHint() const { return {mixer_.StripCount * kStripWidth, kGridHeight}; }

int TMixerGrid::TrackAt(int x) const {
  if (x < 0) return 0;
  const int t = mixer_.FirstTrack + x / kStripWidth;
  return t >= 1 && t <= 64 && mixer_.Shown(t) ? t : 0;
}

std::vector<int> TMixerGrid::SelectedTracks() const {
  std::vector<int> out;
  for (int t = std::min(SelFrom, SelTo); t <= std::max(SelFrom, SelTo); ++t) out.push_back(t);
  return out;
}

void TMixerGrid::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(0x80, 0x80, 0x80));
  const QFont small = SmallFont(font());
  const int lo = std::min(SelFrom, SelTo), hi = std::max(SelFrom, SelTo);
  for (int i = 0; i < mixer_.StripCount; ++i) {
    const int t = mixer_.FirstTrack + i;
    if (t > 64) break;
    const QRect cell(i * kStripWidth, 0, kColumnWidth, height() - 1);
    const bool selected = t >= lo && t <= hi;
    p.fillRect(cell, selected ? QColor(0x30, 0x50, 0x90) : QColor(0xF4, 0xF4, 0xF0));
    p.setPen(selected ? Qt::white : Qt::black);
    QFont bold = small;
    bold.setBold(true);
    p.setFont(bold);
    p.drawText(cell.adjusted(0, 1, 0, -cell.height() / 2), Qt::AlignCenter, QString::number(t));
    p.setFont(small);
    const QString where = QStringLiteral("%1%2").arg(QChar('A' + (song_.OutPort[size_t(t)] & 3))).arg(
        (song_.Ch[size_t(t)] & 15) + 1);
    p.drawText(cell.adjusted(0, cell.height() / 2, 0, 0), Qt::AlignCenter, where);
  }
}

void TMixerGrid::mousePressEvent(QMouseEvent* e) {
  const int t = TrackAt(int(e->position().x()));
  if (!t) return;
  if (e->button() == Qt::RightButton && t >= std::min(SelFrom, SelTo) && t <= std::max(SelFrom, SelTo)) return;
  if (e->modifiers() & Qt::ShiftModifier) SelTo = t;
  else SelFrom = SelTo = t;
  update();
}

void TMixerGrid::contextMenuEvent(QContextMenuEvent* e) { form_.PopupMenu()->exec(e->globalPos()); }

}  // namespace melko

#include "views/ui/score_form.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "base/int_helpers.h"
#include "base/text_encoding.h"
#include "edit/edit_range.h"
#include "edit/tool_text.h"
#include "instruments/note_name.h"
#include "midi/ui/kanabun_manager.h"
#include "views/score_staff.h"
#include "views/ui/music_font.h"
#include "views/ui/palette_custom_dlg.h"
#include "views/ui/score_gedit_panel.h"

namespace melko {

namespace {

// Pixels before tick 0 (the scroll offset may go this far below 0), so that
// the accidental of a note on the first beat is not cut off.
constexpr int kLeftRoom = 18;
const QColor kInk(0x10, 0x10, 0x10);


QString Q(const std::string& s) { return QString::fromStdString(s); }

QToolButton* Button(QWidget* parent, const QString& text, const QString& name, const QString& tip, bool checkable) {
  auto* b = new QToolButton(parent);
  b->setText(text);
  b->setObjectName(name);
  b->setToolTip(tip);
  b->setCheckable(checkable);
  b->setAutoRaise(false);
  b->setFocusPolicy(Qt::NoFocus);
  return b;
}

QLineEdit* Box(QWidget* parent, const QString& name, int chars, const QString& tip) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(name);
  e->setToolTip(tip);
  e->setFixedWidth(e->fontMetrics().horizontalAdvance(QLatin1Char('0')) * chars + 14);
  return e;
}

QLabel* Label(QWidget* parent, const QString& text) {
  auto* l = new QLabel(text, parent);
  return l;
}

// A note value drawn for a palette button: head, stem and flags.
QIcon NoteIcon(int value) {
  QPixmap pm(22, 26);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  MusicFont f(6);
  p.setPen(kInk);
  const char16_t head = value == 1 ? kGlyphHeadWhole : value == 2 ? kGlyphHeadHalf : kGlyphHeadBlack;
  const QPointF at(value == 1 ? 3 : 5, 21);
  f.Draw(p, at, head);
  if (value >= 2) {
    const double x = at.x() + f.Width(head) - 0.7;
    p.setPen(QPen(kInk, 1.1));
    p.drawLine(QPointF(x, at.y() - 1), QPointF(x, 2));
    if (value >= 4) f.Draw(p, QPointF(x, 2), char16_t(kGlyphFlagUp8 + (value - 4)));
  }
  return QIcon(pm);
}

}  // namespace


int VirtualKeyOf(const QKeyEvent& e) {
  const int k = e.key();
  const bool keypad = e.modifiers() & Qt::KeypadModifier;
  if (keypad && k >= Qt::Key_0 && k <= Qt::Key_9) return kVkNumpad0 + (k - Qt::Key_0);
  if (keypad && k == Qt::Key_Plus) return kVkAdd;
  if (keypad && (k == Qt::Key_Period || k == Qt::Key_Comma)) return kVkDecimal;
  if (keypad && k == Qt::Key_Slash) return kVkDivide;
  if (k >= Qt::Key_A && k <= Qt::Key_Z) return 'A' + (k - Qt::Key_A);
  if (k >= Qt::Key_F1 && k <= Qt::Key_F12) return kVkF1 + (k - Qt::Key_F1);
  switch (k) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return kVkReturn;
    case Qt::Key_Backspace: return kVkBack;
    case Qt::Key_Delete: return kVkDelete;
    case Qt::Key_Insert: return kVkInsert;
    case Qt::Key_Left: return kVkLeft;
    case Qt::Key_Right: return kVkRight;
    case Qt::Key_Up: return kVkUp;
    case Qt::Key_Down: return kVkDown;
    case Qt::Key_PageUp: return kVkPrior;
    case Qt::Key_PageDown: return kVkNext;
    case Qt::Key_Home: return kVkHome;
    case Qt::Key_End: return kVkEnd;
    case Qt::Key_Shift: return kVkShift;
    case Qt::Key_Control: return kVkControl;
    // The keys beside 0 on a Japanese keyboard: "-", "^" and the yen key.
    case Qt::Key_Minus: return kVkMinus;
    case Qt::Key_AsciiCircum:
    case Qt::Key_Apostrophe: return kVkQuote;
    case Qt::Key_Backslash:
    case Qt::Key_yen: return kVkBackslash;
  }
  return 0;
}

TScoreForm::TScoreForm(Song& song, EditDispatcher& dispatcher, StepEntryState& state, int track, QWidget* parent)
    : QWidget(parent, Qt::Window), song_(song), dispatcher_(dispatcher), step_(song, dispatcher, state, track) {
  setObjectName(QStringLiteral("ScoreForm"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  font_ = std::make_unique<MusicFont>(noteHeight_ * 2);
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(2, 2, 2, 2);
  v->setSpacing(2);
  BuildPalette();
  auto* staffRow = new QHBoxLayout;
  staffRow->setSpacing(0);
  staff_ = new TStaffView(*this);
  header_ = MakeStaffHeader(*this);
  scbScoreVert = new QScrollBar(Qt::Vertical, this);
  scbScoreVert->setObjectName(QStringLiteral("scbScoreVert"));
  scbScoreVert->setRange(0, kScoreVertMax);
  scbScoreVert->setValue(Clef() == kClefBass ? 31 : 20);
  staffRow->addWidget(header_);
  staffRow->addWidget(staff_, 1);
  staffRow->addWidget(scbScoreVert);
  scbHorz = new QScrollBar(Qt::Horizontal, this);
  scbHorz->setObjectName(QStringLiteral("scbHorz"));
  auto* palette = findChild<QWidget*>(QStringLiteral("pnlPalette"));
  v->addWidget(palette);
  v->addLayout(staffRow, 1);
  pnlGEdit = new TGEditPanel(*this);
  pnlGEdit->setVisible(false);
  v->addWidget(pnlGEdit);
  v->addWidget(scbHorz);
  connect(sbtGEdit, &QToolButton::toggled, pnlGEdit, &QWidget::setVisible);
  connect(scbScoreVert, &QScrollBar::valueChanged, this, [this] {
    staff_->update();
    header_->update();
  });
  connect(scbHorz, &QScrollBar::valueChanged, this, [this] {
    staff_->update();
    header_->update();
    pnlGEdit->Band()->update();
  });
  songWatch_ = song_.Changes.Subscribe([this](const SongChange& c) { SongChanged(c); });
  clock_ = std::make_unique<QElapsedTimer>();
  clock_->start();
  // Keys held on the window's keyboard piano make the next Enter a chord.
  kanabun_.OnNoteOn = [this](int note) {
    if (Hooks.RecordKey && Hooks.RecordKey(step_.Track, note, true)) return;
    step_.State().HoldKey(note);
    AfterCommand(false);
  };
  kanabun_.OnNoteOff = [this](int note) {
    if (Hooks.RecordKey && Hooks.RecordKey(step_.Track, note, false)) return;
    step_.State().ReleaseKey(note);
  };
  kanaRegistration_ = std::make_unique<TmKanabunRegistration>(kanabun_, this);
  setWindowTitle(QStringLiteral("Score - TR %1").arg(track));
  resize(960, 420);
  UpdateScrollRange();
  scbHorz->setValue(-kLeftRoom);
  RefreshAll();
}

// A window that took the MIDI input is let go by its holder's guarded pointer.
TScoreForm::~TScoreForm() { kanaRegistration_.reset(); }

int TScoreForm::Clef() const {
  const int c = song_.Clef[size_t(step_.Track)];
  return c == kClefBass || c == kClefGrand ? c : kClefTreble;
}

void TScoreForm::BuildPalette() {
  auto* pnl = new QWidget(this);
  pnl->setObjectName(QStringLiteral("pnlPalette"));
  auto* rows = new QVBoxLayout(pnl);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(2);
  auto* r1 = new QHBoxLayout;
  auto* r2 = new QHBoxLayout;
  r1->setSpacing(1);
  r2->setSpacing(3);
  rows->addLayout(r1);
  rows->addLayout(r2);

  sbtPen = Button(pnl, QStringLiteral("ペン"), "sbtPen", QStringLiteral("音符を入力"), true);
  sbtErase = Button(pnl, QStringLiteral("消去"), "sbtErase", QStringLiteral("音符を削除"), true);
  r1->addWidget(sbtPen);
  r1->addWidget(sbtErase);
  r1->addSpacing(6);
  static const char* kNoteNames[7] = {"全音符", "2分音符", "4分音符", "8分音符", "16分音符", "32分音符", "64分音符"};
  static const char* kNoteObj[7] = {"sbtNote1", "sbtNote2", "sbtNote4", "sbtNote8", "sbtNote16", "sbtNote32", "sbtNote64"};
  for (int i = 0; i < 7; ++i) {
    sbtNote[size_t(i)] = Button(pnl, QString(), kNoteObj[i], QString::fromUtf8(kNoteNames[i]), true);
    sbtNote[size_t(i)]->setIcon(NoteIcon(i + 1));
    sbtNote[size_t(i)]->setIconSize(QSize(22, 26));
    r1->addWidget(sbtNote[size_t(i)]);
    connect(sbtNote[size_t(i)], &QToolButton::clicked, this, [this, i] {
      step_.ChooseNoteValue(i + 1);
      AfterCommand(false);
    });
  }
  sbtDot = Button(pnl, QStringLiteral("付点"), "sbtDot", QStringLiteral("付点"), false);
  sbtTie = Button(pnl, QStringLiteral("タイ"), "sbtTie", QStringLiteral("タイ: 次の音価を足す"), false);
  sbtTuplet = Button(pnl, QStringLiteral("3連"), "sbtTuplet", QStringLiteral("3連符"), false);
  edTuplet = Box(pnl, "edTuplet", 2, QStringLiteral("連符の数 (1..15)"));
  for (QWidget* w : {static_cast<QWidget*>(sbtDot), static_cast<QWidget*>(sbtTie), static_cast<QWidget*>(sbtTuplet),
                     static_cast<QWidget*>(edTuplet)})
    r1->addWidget(w);
  connect(sbtDot, &QToolButton::clicked, this, [this] {
    step_.Dot();
    AfterCommand(false);
  });
  connect(sbtTie, &QToolButton::clicked, this, [this] {
    step_.Tie();
    AfterCommand(false);
  });
  connect(sbtTuplet, &QToolButton::clicked, this, [this] {
    step_.TripletButton();
    AfterCommand(false);
  });
  connect(edTuplet, &QLineEdit::returnPressed, this, [this] {
    step_.ApplyTuplet(edTuplet->text().toStdString());
    staff_->setFocus();
    AfterCommand(false);
  });
  r1->addSpacing(6);
  static const char* kVel[6] = {"ff", "f", "mf", "mp", "p", "pp"};
  static const char* kVelObj[6] = {"sbtFf", "sbtF", "sbtMf", "sbtMp", "sbtP", "sbtPp"};
  for (int i = 0; i < 6; ++i) {
    sbtVelocity[size_t(i)] = Button(pnl, kVel[i], kVelObj[i], QStringLiteral("ベロシティ"), true);
    QFont italic = sbtVelocity[size_t(i)]->font();
    italic.setItalic(true);
    italic.setBold(true);
    sbtVelocity[size_t(i)]->setFont(italic);
    r1->addWidget(sbtVelocity[size_t(i)]);
    connect(sbtVelocity[size_t(i)], &QToolButton::clicked, this, [this, i] {
      step_.VelocityPreset(i);
      AfterCommand(false);
    });
  }
  r1->addSpacing(6);
  static const char* kGate[3] = {"スラー", "ノーマル", "スタッカート"};
  static const char* kGateObj[3] = {"sbtSlur", "sbtNorm", "sbtStac"};
  static const char* kGateShort[3] = {"slur", "norm", "stac"};
  for (int i = 0; i < 3; ++i) {
    sbtGate[size_t(i)] = Button(pnl, kGateShort[i], kGateObj[i], QString::fromUtf8(kGate[i]), true);
    r1->addWidget(sbtGate[size_t(i)]);
    connect(sbtGate[size_t(i)], &QToolButton::clicked, this, [this, i] {
      step_.GatePreset(i);
      AfterCommand(false);
    });
  }
  r1->addSpacing(6);
  r1->addWidget(Label(pnl, QStringLiteral("グリッド")));
  static const int kGrid[4] = {4, 8, 16, 32};
  for (int i = 0; i < 4; ++i) {
    sbtGrid[size_t(i)] = Button(pnl, QString::number(kGrid[i]), QStringLiteral("sbtGrid%1").arg(kGrid[i]),
                                QStringLiteral("%1分音符のグリッド").arg(kGrid[i]), true);
    r1->addWidget(sbtGrid[size_t(i)]);
    connect(sbtGrid[size_t(i)], &QToolButton::clicked, this, [this, i] {
      step_.SetGrid(kGrid[i]);
      AfterCommand(false);
    });
  }
  sbtGridTuplet = Button(pnl, QStringLiteral("3"), "sbtGridTuplet", QStringLiteral("3連符のグリッド"), true);
  r1->addWidget(sbtGridTuplet);
  connect(sbtGridTuplet, &QToolButton::clicked, this, [this](bool down) {
    step_.SetGridTriplet(down);
    AfterCommand(false);
  });
  r1->addStretch(1);

  auto labeled = [&](const QString& label, QLineEdit* box) {
    r2->addWidget(Label(pnl, label));
    r2->addWidget(box);
  };
  auto plusMinus = [&](const QString& name, std::function<void(int)> step) {
    for (int d : {1, -1}) {
      auto* b = Button(pnl, d > 0 ? QStringLiteral("+") : QStringLiteral("-"), name + (d > 0 ? "Inc" : "Dec"),
                       QString(), false);
      b->setAutoRepeat(true);
      r2->addWidget(b);
      connect(b, &QToolButton::clicked, this, [this, step, d] {
        step(d);
        AfterCommand(false);
      });
    }
  };
  edLoca = Box(pnl, "edLoca", 10, QStringLiteral("カーソル位置 (小節/拍/ティック)"));
  labeled(QStringLiteral("位置"), edLoca);
  edNote = Box(pnl, "edNote", 4, QStringLiteral("音名"));
  edNote->setReadOnly(true);
  labeled(QStringLiteral("音名"), edNote);
  edStep = Box(pnl, "edStep", 7, QStringLiteral("ステップ (4分音符/ティック)"));
  labeled(QStringLiteral("ステップ"), edStep);
  edGateValue = Box(pnl, "edGateValue", 5, QStringLiteral("ゲートタイム (ティック)"));
  labeled(QStringLiteral("ゲート"), edGateValue);
  edGateRatio = Box(pnl, "edGateRatio", 3, QStringLiteral("ゲート比率 (%)"));
  labeled(QStringLiteral("%"), edGateRatio);
  plusMinus(QStringLiteral("tsbtGate"), [this](int d) { step_.IncGate(d); });
  edVelocity = Box(pnl, "edVelocity", 3, QStringLiteral("ベロシティ (1..127)"));
  labeled(QStringLiteral("ベロシティ"), edVelocity);
  plusMinus(QStringLiteral("tsbtVelo"), [this](int d) { step_.IncVelocity(d); });
  edQuant = Box(pnl, "edQuant", 2, QStringLiteral("表示分解能: 16分音符の幅 (ピクセル)"));
  labeled(QStringLiteral("表示分解能"), edQuant);
  plusMinus(QStringLiteral("tsbtQuant"), [this](int d) { SetPixelsPer16th(pixelsPer16th_ + d); });
  edRepeat = Box(pnl, "edRepeat", 2, QStringLiteral("リピート回数"));
  labeled(QStringLiteral("リピート回数"), edRepeat);
  plusMinus(QStringLiteral("tsbtRepeat"), [this](int d) { step_.IncRepeat(d); });
  cmbShow = new QComboBox(pnl);
  cmbShow->setObjectName(QStringLiteral("cmbShow"));
  cmbShow->addItems({QStringLiteral("表示なし"), QStringLiteral("ベロシティ"), QStringLiteral("ゲート")});
  r2->addWidget(cmbShow);
  connect(cmbShow, &QComboBox::currentIndexChanged, this, [this](int i) {
    ShowValues = i;
    staff_->update();
  });
  sbtShowCustumize = Button(pnl, QStringLiteral("C"), "sbtShowCustumize", QStringLiteral("パレットの設定"), false);
  r1->insertWidget(r1->count() - 1, sbtShowCustumize);
  connect(sbtShowCustumize, &QToolButton::clicked, this, [this] {
    StepEntryState& st = step_.State();
    TPaletteCustomDlg dlg(st.VelocityPresets, st.GatePresets, this);
    if (dlg.exec() == QDialog::Accepted) {
      st.VelocityPresets = dlg.Velocities();
      st.GatePresets = dlg.Gates();
    }
  });
  cmbClef = new QComboBox(pnl);
  cmbClef->setObjectName(QStringLiteral("cmbClef"));
  cmbClef->addItems({QStringLiteral("ト音記号"), QStringLiteral("ヘ音記号"), QStringLiteral("大譜表")});
  cmbClef->setCurrentIndex(Clef());
  r2->addWidget(cmbClef);
  connect(cmbClef, &QComboBox::activated, this, [this](int i) {
    song_.Clef[size_t(step_.Track)] = uint8_t(i);
    scbScoreVert->setValue(i == kClefBass ? 31 : 20);
    song_.Changes.Notify(kChangeTrackSettings, step_.Track);
  });
  sbtSync = Button(pnl, QStringLiteral("Sync"), "sbtSync", QStringLiteral("演奏に合わせて譜面を送る"), true);
  auto* follow = new QTimer(this);
  follow->setInterval(100);
  connect(follow, &QTimer::timeout, this, [this] {
    if (!Hooks.PlayTick || !Hooks.IsPlaying || !Hooks.IsPlaying()) return;
    const int64_t x = XOfTick(uint32_t(std::max(0, Hooks.PlayTick())), pixelsPer16th_, song_.TPQN) - ScrollOffset();
    if (x < 0 || x > staff_->width() - 16) ScrollToTick(uint32_t(std::max(0, Hooks.PlayTick())));
  });
  connect(sbtSync, &QToolButton::toggled, follow, [follow](bool down) {
    if (down) follow->start();
    else follow->stop();
  });
  sbtSolo = Button(pnl, QStringLiteral("Solo"), "sbtSolo", QStringLiteral("このトラックだけを演奏"), true);
  sbtStayOnTop = Button(pnl, QStringLiteral("Top"), "sbtStayOnTop", QStringLiteral("常に手前に表示"), true);
  connect(sbtSolo, &QToolButton::clicked, this, [this](bool down) {
    song_.Solo = down ? uint8_t(step_.Track) : 0;
    song_.Changes.NotifyTracks(kChangeTrackSettings, 1, 64);
  });
  connect(sbtStayOnTop, &QToolButton::clicked, this, [this](bool down) {
    setWindowFlag(Qt::WindowStaysOnTopHint, down);
    show();
  });
  sbtTrackChange = Button(pnl, QStringLiteral("TR"), "sbtTrackChange", QStringLiteral("他のトラックの譜面を開く"), false);
  connect(sbtTrackChange, &QToolButton::clicked, this, [this] {
    std::vector<int> tracks;
    const QStringList lines = TrackChoices(tracks);
    QMenu menu(this);
    for (int i = 0; i < lines.size(); ++i) menu.addAction(lines[i])->setData(tracks[size_t(i)]);
    QAction* chosen = menu.exec(sbtTrackChange->mapToGlobal(QPoint(0, sbtTrackChange->height())));
    if (chosen && Hooks.ShowTrack && chosen->data().toInt() != step_.Track) Hooks.ShowTrack(chosen->data().toInt());
  });
  sbtByMidi = Button(pnl, QStringLiteral("MIDI"), "sbtByMidi", QStringLiteral("MIDI キーボードで入力"), true);
  sbtByMouse = Button(pnl, QStringLiteral("Mous"), "sbtByMouse", QStringLiteral("カーソルがマウスに付いて動く"), true);
  r2->addWidget(sbtByMidi);
  r2->addWidget(sbtByMouse);
  r2->addWidget(sbtSync);
  r2->addWidget(sbtSolo);
  r2->addWidget(sbtStayOnTop);
  r2->addWidget(sbtTrackChange);
  sbtGEdit = Button(pnl, QStringLiteral("GEdit"), "sbtGEdit", QStringLiteral("グラフィック編集を表示"), true);
  r2->addWidget(sbtGEdit);
  r2->addStretch(1);

  connect(sbtPen, &QToolButton::clicked, this, [this](bool down) {
    step_.SetPen(down);
    AfterCommand(false);
  });
  connect(sbtErase, &QToolButton::clicked, this, [this](bool down) {
    step_.SetErase(down);
    AfterCommand(false);
  });
  connect(sbtByMidi, &QToolButton::clicked, this, [this](bool down) {
    step_.Palette.ByMidi = down;
    if (Hooks.WantMidiInput) Hooks.WantMidiInput(this, down);
  });
  connect(sbtByMouse, &QToolButton::clicked, this, [this](bool down) { step_.Palette.ByMouse = down; });
  auto typed = [this](QLineEdit* box, std::function<void(const std::string&)> apply) {
    connect(box, &QLineEdit::editingFinished, this, [this, box, apply] {
      apply(box->text().toStdString());
      AfterCommand(false);
    });
  };
  typed(edStep, [this](const std::string& t) { step_.StepTyped(t); });
  typed(edGateValue, [this](const std::string& t) { step_.GateValueTyped(t); });
  typed(edGateRatio, [this](const std::string& t) { step_.GateRatioTyped(t); });
  typed(edVelocity, [this](const std::string& t) { step_.VelocityTyped(t); });
  typed(edRepeat, [this](const std::string& t) { step_.RepeatTyped(t); });
  typed(edQuant, [this](const std::string& t) {
    SetPixelsPer16th(int(StrToIntClamp(t, pixelsPer16th_, kMinPixelsPer16th, kMaxPixelsPer16th)));
  });
  connect(edLoca, &QLineEdit::editingFinished, this, [this] {
    step_.SetTick(LocTextToTick(song_.Maps, edLoca->text().toStdString(), step_.Tick()));
    AfterCommand(true);
  });
}

QStringList TScoreForm::TrackChoices(std::vector<int>& tracks) const {
  QStringList lines;
  tracks.clear();
  for (int t = 1; t <= 64; ++t) {
    lines << QStringLiteral("%1: %2").arg(t, 2, 10, QLatin1Char('0')).arg(QString::fromStdString(DisplayText(song_.TrackNames[size_t(t)])));
    tracks.push_back(t);
  }
  return lines;
}

void TScoreForm::SetNoteHeight(int pixels) {
  noteHeight_ = std::clamp(pixels, 2, 12);
  font_ = std::make_unique<MusicFont>(noteHeight_ * 2);
  staff_->update();
  header_->update();
}

void TScoreForm::SetPixelsPer16th(int pixels) {
  const uint32_t left = LeftTick();
  pixelsPer16th_ = std::clamp(pixels, kMinPixelsPer16th, kMaxPixelsPer16th);
  UpdateScrollRange();
  ScrollToTick(left);
  UpdateBoxes();
  staff_->update();
}

uint32_t TScoreForm::LeftTick() const { return TickAtX(kLeftRoom, ScrollOffset(), pixelsPer16th_, song_.TPQN); }
int TScoreForm::ScrollOffset() const { return scbHorz ? scbHorz->value() : 0; }

void TScoreForm::ScrollToTick(uint32_t tick) {
  UpdateScrollRange();
  const int64_t x = XOfTick(tick, pixelsPer16th_, song_.TPQN) - kLeftRoom;
  if (x > scbHorz->maximum()) scbHorz->setMaximum(int(std::min<int64_t>(x, 0x7FFFFFFF)));
  scbHorz->setValue(int(std::min<int64_t>(x, 0x7FFFFFFF)));
}

void TScoreForm::ShowCursor() {
  const int64_t x = XOfTick(step_.Tick(), pixelsPer16th_, song_.TPQN) - ScrollOffset();
  const int w = staff_->width();
  if (x < 0 || x > w - 24) {
    // The cursor a quarter of the way in, so that what follows is in view.
    const int64_t left = std::max<int64_t>(-kLeftRoom, XOfTick(step_.Tick(), pixelsPer16th_, song_.TPQN) - w / 4);
    UpdateScrollRange();
    if (left > scbHorz->maximum()) scbHorz->setMaximum(int(std::min<int64_t>(left, 0x7FFFFFFF)));
    scbHorz->setValue(int(std::min<int64_t>(left, 0x7FFFFFFF)));
  }
  // The cursor's note within the visible steps.
  const StaffSpelling s = SpellForStaff(step_.Note(), step_.KeyAtCursor());
  const int visible = std::max(1, staff_->height() / std::max(1, noteHeight_));
  const int top = staff_->TopStepNow();
  if (s.Step > top - 2) scbScoreVert->setValue(std::clamp(kTopStepMax - (s.Step + 4), 0, kScoreVertMax));
  else if (s.Step < top - visible + 2)
    scbScoreVert->setValue(std::clamp(kTopStepMax - (s.Step + visible - 4), 0, kScoreVertMax));
}

void TScoreForm::UpdateScrollRange() {
  if (!scbHorz) return;
  const uint32_t end = std::max({song_.TrackEnds[size_t(step_.Track)], uint32_t(std::max(song_.MeasureEnd, 0)),
                                 step_.Tick()});
  const uint32_t room = song_.Maps.MeasureToTick(song_.Maps.TickToMeasure(end).Measure + 8);
  const int64_t max = std::max<int64_t>(0, XOfTick(room, pixelsPer16th_, song_.TPQN) - std::max(1, staff_ ? staff_->width() : 0));
  scbHorz->setRange(-kLeftRoom, int(std::min<int64_t>(max, 0x7FFFFFFF)));
  scbHorz->setPageStep(std::max(16, staff_ ? staff_->width() : 16));
  scbHorz->setSingleStep(std::max(1, pixelsPer16th_ * 4));
}

void TScoreForm::UpdateBoxes() {
  const StepEntryState& st = step_.State();
  auto set = [](QLineEdit* e, const QString& t) {
    if (!e->hasFocus() || e->isReadOnly()) e->setText(t);
  };
  set(edLoca, Q(LocText(song_.Maps, step_.Tick())));
  set(edNote, Q(NoteName(step_.Note(), step_.KeyAtCursor(), CenterC)).simplified());
  set(edStep, Q(LengthText(st.StepTime, song_.TPQN)).simplified());
  set(edGateValue, QString::number(st.StepEvent.Value));
  set(edGateRatio, QString::number(st.GateRatio));
  set(edVelocity, QString::number(st.Velocity()));
  set(edTuplet, Q(step_.Palette.TupletText));
  set(edQuant, QString::number(pixelsPer16th_));
  set(edRepeat, QString::number(dispatcher_.Range.RepeatCount));
  const ScorePalette& pal = step_.Palette;
  sbtPen->setChecked(pal.Pen);
  sbtErase->setChecked(pal.Erase);
  for (int i = 0; i < 7; ++i) sbtNote[size_t(i)]->setChecked(pal.NoteDown == i + 1);
  for (int i = 0; i < 6; ++i) sbtVelocity[size_t(i)]->setChecked(pal.VelocityDown == i);
  for (int i = 0; i < 3; ++i) sbtGate[size_t(i)]->setChecked(pal.GateDown == i);
  static const int kGrid[4] = {4, 8, 16, 32};
  for (int i = 0; i < 4; ++i) sbtGrid[size_t(i)]->setChecked(pal.GridDown == kGrid[i]);
  sbtGridTuplet->setChecked(pal.GridTriplet);
  sbtByMidi->setChecked(pal.ByMidi);
  sbtSolo->setChecked(song_.Solo == step_.Track);
  cmbClef->setCurrentIndex(Clef());
  sbtByMouse->setChecked(pal.ByMouse);
}

void TScoreForm::RefreshAll() {
  UpdateBoxes();
  UpdateScrollRange();
  staff_->update();
  header_->update();
  if (pnlGEdit) pnlGEdit->Band()->update();
}

void TScoreForm::AfterCommand(bool moved) {
  if (moved) {
    ShowCursor();
    if (Hooks.PositionChanged) Hooks.PositionChanged(step_.Tick());
  }
  UpdateBoxes();
  staff_->update();
  header_->update();
}

void TScoreForm::PositionMoved() {
  step_.SetTick(step_.Tick());
  ShowCursor();
  UpdateBoxes();
  staff_->update();
}

void TScoreForm::SendKey(int vk, int modifiers) {
  bool handled = false;
  const bool moved = step_.KeyDown(vk, modifiers, &handled);
  if (step_.Palette.TupletBoxActive) {
    edTuplet->setFocus();
    edTuplet->selectAll();
  }
  if (moved) staff_->IgnoreNextMove = true;
  AfterCommand(moved);
}

void TScoreForm::MidiInput(uint32_t msg) {
  const uint32_t before = step_.Tick();
  step_.MidiMessage(int32_t(clock_->elapsed()), uint8_t(msg & 0xFF), uint8_t((msg >> 8) & 0x7F),
                    uint8_t((msg >> 16) & 0x7F));
  AfterCommand(step_.Tick() != before);
}

void TScoreForm::keyPressEvent(QKeyEvent* e) {
  const int vk = VirtualKeyOf(*e);
  if (!vk) {
    QWidget::keyPressEvent(e);
    return;
  }
  int mods = 0;
  if (e->modifiers() & Qt::ShiftModifier) mods |= kModShift;
  if (e->modifiers() & Qt::ControlModifier) mods |= kModCtrl;
  SendKey(vk, mods);
}

void TScoreForm::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  UpdateScrollRange();
}

void TScoreForm::SongChanged(const SongChange& c) {
  if (c.Has(kChangeWholeSong)) step_.State().SongLoaded(song_.TPQN);
  if (c.Touches(step_.Track) || c.Has(kChangeMaps | kChangeSongSettings | kChangeWholeSong | kChangeTrackSettings))
    RefreshAll();
}

void TScoreForm::SetControllers(const NameTable& dynCtrl) { pnlGEdit->SetControllers(dynCtrl); }

bool TScoreForm::MouseBlocked() const { return NoMouseWhilePlaying && Hooks.IsPlaying && Hooks.IsPlaying(); }

const ScoreLayout& TScoreForm::LayoutFor(uint32_t from, uint32_t to) {
  const TMidiData& data = song_.Tracks[size_t(step_.Track)];
  if (indexedRevision_ != song_.TrackRevision(step_.Track) || !index_.Matches(data)) {
    index_.Build(data);
    indexedRevision_ = song_.TrackRevision(step_.Track);
  }
  layout_ = LayoutScore(song_, step_.Track, index_, from, to, Clef());
  return layout_;
}

}  // namespace melko

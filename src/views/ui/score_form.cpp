#include "views/ui/score_form.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QTimer>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "base/int_helpers.h"
#include "edit/edit_range.h"
#include "edit/tool_text.h"
#include "instruments/note_name.h"
#include "midi/ui/kanabun_manager.h"
#include "views/score_staff.h"
#include "views/ui/music_font.h"
#include "views/ui/palette_custom_dlg.h"

namespace melko {

namespace {

constexpr int kHeaderWidth = 96;
// Pixels before tick 0 (the scroll offset may go this far below 0), so that
// the accidental of a note on the first beat is not cut off.
constexpr int kLeftRoom = 18;
const QColor kInk(0x10, 0x10, 0x10);
const QColor kStaffLine(0x30, 0x30, 0x30);
const QColor kGridLine(0xE4, 0xE8, 0xF0);
const QColor kBeatLine(0xC8, 0xD0, 0xE0);
const QColor kCursor(0x20, 0x60, 0xE0);
const QColor kPaper(0xFF, 0xFE, 0xF8);

// The steps of a key signature's accidentals on the treble staff (bass: 14 lower).
constexpr int kSharpSteps[7] = {45, 42, 46, 43, 40, 44, 41};
constexpr int kFlatSteps[7] = {41, 44, 40, 43, 39, 42, 38};

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

// The fixed part at the left: the staff lines with the clef, the key and the
// meter in force at the left edge.
class TStaffHeader : public QWidget {
 public:
  explicit TStaffHeader(TScoreForm& form) : QWidget(&form), form_(form) { setFixedWidth(kHeaderWidth); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), kPaper);
    const MusicFont& f = form_.Font();
    const int nh = form_.NoteHeight();
    const int top = form_.staff_->TopStepNow();
    const int clef = form_.Clef();
    auto y = [&](int step) { return double(StepY(step, top, nh)); };
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kStaffLine, 1));
    auto staff = [&](int bottom) {
      for (int i = 0; i < 5; ++i) p.drawLine(QPointF(4, y(bottom + 2 * i)), QPointF(width(), y(bottom + 2 * i)));
      p.drawLine(QPointF(4, y(bottom)), QPointF(4, y(bottom + 8)));
    };
    const bool treble = clef != kClefBass, bass = clef == kClefBass || clef == kClefGrand;
    if (treble) staff(kTrebleBottomLine);
    if (bass) staff(kBassBottomLine);
    const ScoreLayout& l = form_.Layout();
    const int ks = std::clamp(l.KeyAtStart, -7, 7);
    p.setPen(kInk);
    auto signature = [&](int shift, char16_t clefGlyph, int clefStep) {
      double x = 8;
      f.Draw(p, QPointF(x, y(clefStep)), clefGlyph);
      x += f.Width(clefGlyph) + f.StaffSpace() * 0.4;
      for (int i = 0; i < std::abs(ks); ++i) {
        const int step = (ks > 0 ? kSharpSteps[i] : kFlatSteps[i]) - shift;
        const char16_t g = ks > 0 ? kGlyphSharp : kGlyphFlat;
        f.Draw(p, QPointF(x, y(step)), g);
        x += f.Width(g) + 0.5;
      }
      x += f.StaffSpace() * 0.4;
      // The meter as two numbers, each two spaces high.
      const uint32_t meter = l.MeterAtStart;
      const QString num = QString::number(meter >> 24), den = QString::number(1u << ((meter >> 16) & 0x1F));
      QFont digits = f.HasFont() ? f.Font() : QFont();
      if (!f.HasFont()) {
        digits.setPixelSize(f.StaffSpace() * 2);
        digits.setBold(true);
      }
      p.setFont(digits);
      const double w = std::max(p.fontMetrics().horizontalAdvance(num), p.fontMetrics().horizontalAdvance(den));
      const int bottom = shift ? kBassBottomLine : kTrebleBottomLine;
      p.drawText(QPointF(x + (w - p.fontMetrics().horizontalAdvance(num)) / 2, y(bottom + 4)), num);
      p.drawText(QPointF(x + (w - p.fontMetrics().horizontalAdvance(den)) / 2, y(bottom)), den);
    };
    if (treble) signature(0, kGlyphClefG, 39);
    if (bass) signature(14, kGlyphClefF, 31);
  }

 private:
  TScoreForm& form_;
};

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
  header_ = new TStaffHeader(*this);
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
  v->addWidget(scbHorz);
  connect(scbScoreVert, &QScrollBar::valueChanged, this, [this] {
    staff_->update();
    header_->update();
  });
  connect(scbHorz, &QScrollBar::valueChanged, this, [this] {
    staff_->update();
    header_->update();
  });
  songWatch_ = song_.Changes.Subscribe([this](const SongChange& c) { SongChanged(c); });
  clock_ = std::make_unique<QElapsedTimer>();
  clock_->start();
  // Keys held on the window's keyboard piano make the next Enter a chord.
  kanabun_.OnNoteOn = [this](int note) {
    step_.State().HoldKey(note);
    AfterCommand(false);
  };
  kanabun_.OnNoteOff = [this](int note) { step_.State().ReleaseKey(note); };
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
  sbtByMidi = Button(pnl, QStringLiteral("MIDI"), "sbtByMidi", QStringLiteral("MIDI キーボードで入力"), true);
  sbtByMouse = Button(pnl, QStringLiteral("Mous"), "sbtByMouse", QStringLiteral("カーソルがマウスに付いて動く"), true);
  r2->addWidget(sbtByMidi);
  r2->addWidget(sbtByMouse);
  r2->addWidget(sbtSync);
  r2->addWidget(sbtSolo);
  r2->addWidget(sbtStayOnTop);
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

// ---------------------------------------------------------------------------

TStaffView::TStaffView(TScoreForm& form) : QWidget(&form), form_(form) {
  setObjectName(QStringLiteral("imgStaff"));
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  setMinimumHeight(120);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

int TStaffView::TopStepNow() const { return TopStep(form_.scbScoreVert ? form_.scbScoreVert->value() : 20); }

void TStaffView::keyPressEvent(QKeyEvent* e) { form_.keyPressEvent(e); }

void TStaffView::paintEvent(QPaintEvent* e) {
  QPainter p(this);
  PaintStaff(p, e->rect());
}

void TStaffView::PaintStaff(QPainter& p, const QRect& area) {
  const Song& song = form_.song_;
  const MusicFont& f = form_.Font();
  const int nh = form_.NoteHeight();
  const int pp = form_.PixelsPer16th();
  const uint32_t tpqn = std::max<uint32_t>(1, song.TPQN);
  const int top = TopStepNow();
  const int offset = form_.ScrollOffset();
  const int clef = form_.Clef();
  const double space = f.StaffSpace();
  p.fillRect(area, kPaper);
  auto x = [&](uint32_t tick) { return double(XOfTick(tick, pp, tpqn) - offset); };
  auto y = [&](int step) { return double(StepY(step, top, nh)); };
  const uint32_t from = TickAtX(0, offset, pp, tpqn);
  const uint32_t to = TickAtX(width() + 1, offset, pp, tpqn) + 1;
  const ScoreLayout& l = form_.LayoutFor(from, to);
  const bool treble = clef != kClefBass, bass = clef == kClefBass || clef == kClefGrand;
  const int staffTop = treble ? kTrebleBottomLine + 8 : kBassBottomLine + 8;
  const int staffBottom = bass ? kBassBottomLine : kTrebleBottomLine;

  // Grid lines (under everything) and beat lines.
  const uint32_t grid = GridLineTicks(tpqn, pp);
  if (x(grid) - x(0) >= 4) {
    p.setPen(kGridLine);
    for (uint32_t t = from - from % grid; t <= to; t += grid) p.drawLine(QPointF(x(t), y(staffTop) - 2), QPointF(x(t), y(staffBottom) + 2));
  }
  // Staff lines and bar lines with their measure numbers, on whole pixels.
  p.setPen(QPen(kStaffLine, 1));
  auto lines = [&](int bottom) {
    for (int i = 0; i < 5; ++i) p.drawLine(QPointF(0, y(bottom + 2 * i)), QPointF(width(), y(bottom + 2 * i)));
  };
  if (treble) lines(kTrebleBottomLine);
  if (bass) lines(kBassBottomLine);
  QFont small = font();
  small.setPixelSize(10);
  p.setFont(small);
  for (const ScoreBar& b : l.Bars) {
    const double bx = std::round(x(b.Tick));
    p.setPen(QPen(kStaffLine, 1.2));
    // The staff's start needs no bar line: the header opens it.
    if (b.Tick > 0) p.drawLine(QPointF(bx, y(staffTop)), QPointF(bx, y(staffBottom)));
    p.setPen(QColor(0x70, 0x70, 0x70));
    p.drawText(QPointF(bx + 2, y(staffTop) - 2 * space - 2), QString::number(b.Measure));
  }
  // Key and meter changes, named above the staff at their bar lines.
  for (const ScoreChange& c : l.Changes) {
    p.setPen(QColor(0x80, 0x30, 0x10));
    const QString text = c.Key ? Q(KeyText(c.Value)).trimmed() : Q(MeterText(c.Value));
    p.drawText(QPointF(x(c.Tick) + 18, y(staffTop) - 2 * space - 2), text);
  }
  p.setRenderHint(QPainter::Antialiasing);

  p.setPen(kInk);
  p.setBrush(kInk);
  auto headGlyph = [](int value) -> char16_t {
    return value == 0 ? kGlyphHeadWhole : value == 1 ? kGlyphHeadHalf : kGlyphHeadBlack;
  };
  const double stemLength = space * 3.5;
  auto ledgers = [&](double hx, double w, int step) {
    p.setPen(QPen(kStaffLine, 1));
    p.setRenderHint(QPainter::Antialiasing, false);
    auto line = [&](int s) { p.drawLine(QPointF(hx - space * 0.4, y(s)), QPointF(hx + w + space * 0.4, y(s))); };
    const int hi = HighestLine(clef), lo = LowestLine(clef);
    for (int s = hi + 2; s <= step; s += 2) line(s);
    for (int s = lo - 2; s >= step; s -= 2) line(s);
    if (clef == kClefGrand && step == kMiddleC) line(kMiddleC);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(kInk);
  };
  // Heads stand a little after their tick, within its grid cell, so that an
  // accidental does not sit on the bar line before it.
  const double inset = std::min(space * 0.9, (x(tpqn / 4 + 1) - x(0)) / 2);
  // Stem tips of every chord (beams straighten them per group).
  std::vector<double> tip(l.Chords.size()), stemX(l.Chords.size());
  for (size_t i = 0; i < l.Chords.size(); ++i) {
    const ScoreChord& c = l.Chords[i];
    if (c.Heads.empty()) continue;
    const double hw = f.Width(headGlyph(c.Value));
    stemX[i] = c.StemUp ? x(c.Tick) + inset + hw - 0.6 : x(c.Tick) + inset + 0.6;
    const int reach = c.StemUp ? c.Heads.back().Step : c.Heads.front().Step;
    tip[i] = c.StemUp ? y(reach) - stemLength : y(reach) + stemLength;
    // Stems of notes far off the staff reach its middle line.
    const double middle = y(c.Heads.front().Step < kMiddleC && bass ? kBassBottomLine + 4 : treble ? kTrebleBottomLine + 4 : kBassBottomLine + 4);
    if (c.StemUp && tip[i] > middle) tip[i] = middle;
    if (!c.StemUp && tip[i] < middle) tip[i] = middle;
  }
  for (const ScoreBeam& b : l.Beams) {
    const double x0 = stemX[b.First], x1 = stemX[b.Last];
    double y0 = tip[b.First], y1 = tip[b.Last];
    const double maxSlope = space * 1.0;
    if (std::abs(y1 - y0) > maxSlope) y1 = y0 + (y1 > y0 ? maxSlope : -maxSlope);
    // No stem shorter than its default: the beam moves as a whole.
    double shift = 0;
    for (size_t i = b.First; i <= b.Last; ++i) {
      const double t = x1 > x0 ? (stemX[i] - x0) / (x1 - x0) : 0;
      const double by = y0 + (y1 - y0) * t;
      shift = b.StemUp ? std::min(shift, tip[i] - by) : std::max(shift, tip[i] - by);
    }
    for (size_t i = b.First; i <= b.Last; ++i) {
      const double t = x1 > x0 ? (stemX[i] - x0) / (x1 - x0) : 0;
      tip[i] = y0 + (y1 - y0) * t + shift;
    }
    const double thick = space * 0.5, gap = space * 0.75;
    auto beam = [&](double xa, double ya, double xb, double yb, int level) {
      const double d = (b.StemUp ? 1 : -1) * level * gap;
      QPainterPath path;
      path.moveTo(xa, ya + d);
      path.lineTo(xb, yb + d);
      path.lineTo(xb, yb + d + (b.StemUp ? thick : -thick));
      path.lineTo(xa, ya + d + (b.StemUp ? thick : -thick));
      path.closeSubpath();
      p.fillPath(path, kInk);
    };
    beam(x0, tip[b.First], x1, tip[b.Last], 0);
    // Secondary beams between neighbours that both have them, else a stub.
    for (int level = 1; level <= 3; ++level) {
      for (size_t i = b.First; i <= b.Last; ++i) {
        if (l.Chords[i].Value < 3 + level) continue;
        const bool next = i < b.Last && l.Chords[i + 1].Value >= 3 + level;
        const bool prev = i > b.First && l.Chords[i - 1].Value >= 3 + level;
        if (next) beam(stemX[i], tip[i], stemX[i + 1], tip[i + 1], level);
        else if (!prev) {
          const double stub = space * 1.1;
          const double xs = i == b.Last ? stemX[i] - stub : stemX[i] + stub;
          const double t = x1 > x0 ? (xs - x0) / (x1 - x0) : 0;
          const double ys = tip[b.First] + (tip[b.Last] - tip[b.First]) * t;
          if (i == b.Last) beam(xs, ys, stemX[i], tip[i], level);
          else beam(stemX[i], tip[i], xs, ys, level);
        }
      }
    }
  }
  QFont valueFont = font();
  valueFont.setPixelSize(9);
  for (size_t i = 0; i < l.Chords.size(); ++i) {
    const ScoreChord& c = l.Chords[i];
    if (c.Heads.empty()) continue;
    const char16_t hg = headGlyph(c.Value);
    const double hw = f.Width(hg);
    const double hx = x(c.Tick) + inset;
    if (hx < -4 * hw - 40 || hx > width() + 20) continue;
    // Seconds in a chord: every other head goes to the other side of the stem.
    std::vector<double> headX(c.Heads.size(), hx);
    if (c.StemUp) {
      for (size_t k = 1; k < c.Heads.size(); ++k)
        if (c.Heads[k].Step - c.Heads[k - 1].Step == 1 && headX[k - 1] == hx) headX[k] = hx + hw - 1.2;
    } else {
      for (size_t k = c.Heads.size() - 1; k-- > 0;)
        if (c.Heads[k + 1].Step - c.Heads[k].Step == 1 && headX[k + 1] == hx) headX[k] = hx - hw + 1.2;
    }
    int accColumn = 0;
    int lastAccStep = -100;
    for (size_t k = c.Heads.size(); k-- > 0;) {
      const ScoreHead& h = c.Heads[k];
      ledgers(headX[k], hw, h.Step);
      f.Draw(p, QPointF(headX[k], y(h.Step)), hg);
      if (h.Accidental) {
        const char16_t ag = h.Alter > 0 ? kGlyphSharp : h.Alter < 0 ? kGlyphFlat : kGlyphNatural;
        accColumn = lastAccStep - h.Step < 6 ? accColumn + 1 : 0;
        lastAccStep = h.Step;
        const double aw = f.Width(kGlyphSharp) + 1;
        f.Draw(p, QPointF(std::min(hx, headX[k]) - aw * (accColumn + 1) - 1, y(h.Step)), ag);
      }
      if (c.Dotted) {
        const int dotStep = IsStaffLine(kClefGrand, h.Step) || (h.Step % 2 == (kTrebleBottomLine % 2)) ? h.Step + 1 : h.Step;
        f.Draw(p, QPointF(std::max(hx, headX[k]) + hw + space * 0.35, y(dotStep)), kGlyphDot);
      }
      // A tie to the continued piece, curved away from the stem.
      if (c.TieToNext) {
        const double x1 = x(c.Tick + c.Length) + inset;
        const double sy = y(h.Step) + (c.StemUp ? space * 0.6 : -space * 0.6);
        const double bow = c.StemUp ? space * 1.0 : -space * 1.0;
        QPainterPath tie;
        tie.moveTo(hx + hw + 1, sy);
        tie.cubicTo(hx + hw + 1 + (x1 - hx) * 0.25, sy + bow, x1 - 1 - (x1 - hx) * 0.25, sy + bow, x1 - 1, sy);
        tie.cubicTo(x1 - 1 - (x1 - hx) * 0.25, sy + bow * 0.7, hx + hw + 1 + (x1 - hx) * 0.25, sy + bow * 0.7, hx + hw + 1, sy);
        p.fillPath(tie, kInk);
      }
    }
    if (c.Value >= 1) {
      const int reach = c.StemUp ? c.Heads.front().Step : c.Heads.back().Step;
      p.setPen(QPen(kInk, std::max(1.0, space * 0.13)));
      p.drawLine(QPointF(stemX[i], y(reach)), QPointF(stemX[i], tip[i]));
      p.setPen(kInk);
      if (c.Beam < 0 && c.Value >= 3)
        f.Draw(p, QPointF(stemX[i] - (c.StemUp ? 0.6 : 0.6), tip[i]),
               char16_t((c.StemUp ? kGlyphFlagUp8 : kGlyphFlagDown8) + std::min(3, c.Value - 3)));
    }
    if (form_.ShowValues && !c.Continued) {
      p.setFont(valueFont);
      p.setPen(QColor(0x20, 0x60, 0x20));
      const ScoreHead& h = c.Heads.back();
      p.drawText(QPointF(hx, y(staffBottom - 6) + 4), QString::number(form_.ShowValues == 1 ? h.Velocity : h.Gate));
      p.setPen(kInk);
    }
  }
  // Rests on the middle line (the whole rest hangs from the line above it).
  const int restLine = treble ? kTrebleBottomLine + 4 : kBassBottomLine + 4;
  for (const ScoreRest& r : l.Rests) {
    double rx = x(r.Tick) + inset;
    if (r.WholeMeasure) rx = (x(r.Tick) + x(r.Tick + r.Length)) / 2 - f.Width(kGlyphRestWhole) / 2;
    const char16_t g = r.Value == 0   ? char16_t(kGlyphRestWhole)
                       : r.Value == 1 ? char16_t(kGlyphRestHalf)
                       : r.Value == 2 ? char16_t(kGlyphRestQuarter)
                                      : char16_t(kGlyphRest8 + std::min(3, r.Value - 3));
    f.Draw(p, QPointF(rx, y(r.Value == 0 ? restLine + 2 : restLine)), g);
  }
  // The step cursor: a line at its tick and a hollow head on its note.
  const double cx = x(form_.step_.Tick());
  p.setPen(QPen(kCursor, 1.5));
  p.drawLine(QPointF(cx, 0), QPointF(cx, height()));
  const StaffSpelling s = SpellForStaff(form_.step_.Note(), form_.step_.KeyAtCursor());
  QColor ghost = kCursor;
  ghost.setAlpha(130);
  p.setPen(ghost);
  f.Draw(p, QPointF(cx + 1, y(s.Step)), kGlyphHeadBlack);
  if (form_.step_.Palette.Pen || form_.step_.Palette.Erase) {
    p.setPen(form_.step_.Palette.Pen ? kCursor : QColor(0xC0, 0x30, 0x30));
    p.setFont(small);
    p.drawText(QPointF(4, height() - 4), form_.step_.Palette.Pen ? QStringLiteral("ペン") : QStringLiteral("消去"));
  }
}

void TStaffView::FollowPointer(const QPoint& pos, bool ctrl) {
  ScoreStep& st = form_.step_;
  const uint32_t tick = st.SnapTick(TickAtX(pos.x(), form_.ScrollOffset(), form_.PixelsPer16th(), form_.song_.TPQN), ctrl);
  st.SetTick(tick);
  const int step = StepAtY(pos.y(), TopStepNow(), form_.NoteHeight());
  st.SetNote(NoteAtStep(step, st.KeyAtCursor()));
}

void TStaffView::mouseMoveEvent(QMouseEvent* e) {
  if (form_.MouseBlocked()) return;
  ScoreStep& st = form_.step_;
  if (IgnoreNextMove) {
    IgnoreNextMove = false;
    return;
  }
  if (!st.Palette.Pen || st.Palette.ByMouse) {
    const int before = st.Note();
    FollowPointer(e->pos(), e->modifiers() & Qt::ControlModifier);
    // While the button is held, each new pitch sounds.
    if (sounding_ >= 0 && st.Note() != before && form_.Hooks.Audition) {
      form_.Hooks.Audition(st.Track, sounding_, 0, false);
      sounding_ = st.Note();
      form_.Hooks.Audition(st.Track, sounding_, st.State().Velocity(), true);
    }
    form_.UpdateBoxes();
    update();
  }
}

void TStaffView::mousePressEvent(QMouseEvent* e) {
  setFocus();
  if (form_.MouseBlocked()) return;
  ScoreStep& st = form_.step_;
  const bool ctrl = e->modifiers() & Qt::ControlModifier;
  if (e->button() == Qt::RightButton) {
    st.SetTick(st.SnapTick(TickAtX(e->pos().x(), form_.ScrollOffset(), form_.PixelsPer16th(), form_.song_.TPQN), ctrl));
    form_.AfterCommand(false);
    return;
  }
  if (e->button() != Qt::LeftButton) return;
  if (st.Palette.Pen) {
    sounding_ = st.Note();
    if (form_.Hooks.Audition) form_.Hooks.Audition(st.Track, sounding_, st.State().Velocity(), true);
  } else if (st.Palette.Erase) {
    // The chord whose head is under the pointer.
    const double px = e->pos().x();
    const int step = StepAtY(e->pos().y(), TopStepNow(), form_.NoteHeight());
    const double hw = form_.Font().Width(kGlyphHeadBlack);
    for (const ScoreChord& c : form_.Layout().Chords) {
      if (c.Continued) continue;
      const double hx = double(XOfTick(c.Tick, form_.PixelsPer16th(), form_.song_.TPQN) - form_.ScrollOffset());
      if (px < hx - 2 || px > hx + 2 * hw + 2) continue;
      bool hit = false;
      for (const ScoreHead& h : c.Heads) hit = hit || std::abs(h.Step - step) <= 1;
      if (hit && st.DeleteAtTick(c.Tick)) break;
    }
    form_.AfterCommand(false);
  }
}

void TStaffView::mouseReleaseEvent(QMouseEvent* e) {
  ScoreStep& st = form_.step_;
  if (e->button() != Qt::LeftButton || !st.Palette.Pen || sounding_ < 0) return;
  if (form_.Hooks.Audition) form_.Hooks.Audition(st.Track, sounding_, 0, false);
  sounding_ = -1;
  const QPoint p = e->pos();
  if (p.x() > 0 && p.y() > 0 && p.x() < width() && p.y() < height()) st.EnterNote();
  form_.AfterCommand(false);
}

}  // namespace melko

#include "midi/ui/piano_dlg.h"

#include <QCursor>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "midi/ui/kanabun_manager.h"
#include "midi/ui/piano.h"

namespace melko {

namespace {
const char* const kPitchNames[12] = {"C ", "C#", "D ", "D#", "E ", "F ", "F#", "G ", "G#", "A ", "A#", "B "};
constexpr int kVisibleWhiteKeys = 56;
}  // namespace

QString PianoNoteName(int note, int centerC) {
  note = std::clamp(note, 0, 127);
  return QString::asprintf("%s%2d", kPitchNames[note % 12], note / 12 - 2 + centerC);
}

TPianoDlg::TPianoDlg(int note, int centerC, TmMidiRelay* relay, QWidget* parent, NoteNamer namer)
    : QDialog(parent), namer_(std::move(namer)) {
  setWindowTitle(QStringLiteral("Piano"));
  setObjectName(QStringLiteral("PianoDlg"));
  if (!namer_) namer_ = [centerC](int n) { return PianoNoteName(n, centerC); };

  Piano = new TmPiano(this);
  Piano->SetShowOctaveNum(true);
  Piano->SetKeyWidth(10);
  Piano->SetLeftWhiteKey(7);
  Piano->SetCenterC(centerC);
  Piano->Relay = relay;
  Piano->setFixedSize(Piano->WidthFor(kVisibleWhiteKeys), TmPiano::kOctaveStrip + 56);
  Piano->OnPianoKeyDown = [this](int key) { Select(key); };
  Piano->OnPianoKeyMove = [this](int key) { Select(key); };
  // The piano shows the key released when the mouse lets go; the choice stays.
  Piano->OnPianoKeyUp = [this](int) { Piano->SetPressed(selected_, true); };

  btnLeft = new QPushButton(QStringLiteral("<"), this);
  btnLeft->setObjectName(QStringLiteral("btnLeft"));
  btnRight = new QPushButton(QStringLiteral(">"), this);
  btnRight->setObjectName(QStringLiteral("btnRight"));
  for (QPushButton* b : {btnLeft, btnRight}) {
    b->setAutoDefault(false);
    b->setFixedWidth(28);
  }
  connect(btnLeft, &QPushButton::clicked, this, [this] { Piano->SetLeftWhiteKey(Piano->LeftWhiteKey() - 1); });
  connect(btnRight, &QPushButton::clicked, this, [this] { Piano->SetLeftWhiteKey(Piano->LeftWhiteKey() + 1); });

  edNote1 = new QLineEdit(this);
  edNote1->setObjectName(QStringLiteral("edNote1"));
  edNote1->setReadOnly(true);
  edNote1->setFocusPolicy(Qt::NoFocus);
  edNote1->setFixedWidth(edNote1->fontMetrics().horizontalAdvance(QStringLiteral("C# 10")) + 16);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* row = new QHBoxLayout;
  row->addWidget(btnLeft);
  row->addWidget(btnRight);
  row->addSpacing(8);
  row->addWidget(edNote1);
  row->addStretch(1);
  row->addWidget(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Piano);
  layout->addLayout(row);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  Kanabun.SetOctave(3);
  Kanabun.Relay = relay;
  Kanabun.OnNoteOn = [this](int n) { Select(n); };
  registration_ = std::make_unique<TmKanabunRegistration>(Kanabun, this);

  Select(std::clamp(note, 0, 127));
}

TPianoDlg::~TPianoDlg() {
  registration_.reset();
  Kanabun.ReleaseAll();
}

void TPianoDlg::Select(int note) {
  if (note < 0 || note > 127) return;
  if (selected_ >= 0 && selected_ != Piano->CurrentKey()) Piano->SetPressed(selected_, false);
  selected_ = note;
  Piano->SetPressed(note, true);
  edNote1->setText(namer_(note));
}

void TPianoDlg::PlaceBottomCentreAt(const QPoint& point) {
  adjustSize();
  QRect r(QPoint(point.x() - width() / 2, point.y() - height()), size());
  if (QScreen* screen = QGuiApplication::screenAt(point)) {
    const QRect area = screen->availableGeometry();
    r.moveLeft(std::clamp(r.left(), area.left(), std::max(area.left(), area.right() - r.width())));
    r.moveTop(std::clamp(r.top(), area.top(), std::max(area.top(), area.bottom() - r.height())));
  }
  move(r.topLeft());
}

bool TPianoDlg::ChooseNote(int& note, int centerC, TmMidiRelay* relay, QWidget* parent, NoteNamer namer) {
  TPianoDlg dlg(note, centerC, relay, parent, std::move(namer));
  dlg.PlaceBottomCentreAt(QCursor::pos());
  if (dlg.exec() != QDialog::Accepted) return false;
  note = dlg.Selected();
  return true;
}

}  // namespace melko

#include "instruments/ui/patch_select_dlg.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>

#include "instruments/inst_defs.h"
#include "instruments/instruments.h"
#include "instruments/note_name.h"
#include "instruments/ui/ref_list_box.h"
#include "midi/midi_device.h"
#include "midi/midi_ports.h"
#include "midi/ui/kanabun_manager.h"
#include "midi/ui/piano.h"

namespace melko {

int TCmPatchSelectDlg::CenterC = 0;
int TmPatchSelectDlg::LastMonitorNote = 60;
int TmDrumPatchSelectDlg::LastMonitorNote = 38;

namespace {
constexpr int kGroupsWidth = 180;
constexpr int kPatchColumns = 4;
constexpr int kPianoKeyWidth = 10;
constexpr int kPianoWhiteKeys = 75;  // notes 0..127

// Loading a large definition takes a moment; the pointer says so.
class WaitCursor {
 public:
  WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { QApplication::restoreOverrideCursor(); }
};

void DrawText(QPainter& p, const QRect& rect, const QString& text) {
  QRect r = rect.adjusted(3, 0, -2, 0);
  p.drawText(r, Qt::AlignVCenter | Qt::AlignLeft, p.fontMetrics().elidedText(text, Qt::ElideRight, r.width()));
}
}  // namespace

TCmPatchSelectDlg::TCmPatchSelectDlg(TmMidiRelay* relay, MidiPorts* ports, QWidget* parent)
    : QDialog(parent), relay_(relay), ports_(ports) {
  lbxGroups = new QListWidget(this);
  lbxGroups->setObjectName(QStringLiteral("lbxGroups"));
  lbxGroups->setFixedWidth(kGroupsWidth);
  lbxPatches = new TmRefListBox(this);
  lbxPatches->setObjectName(QStringLiteral("lbxPatches"));
  lbxPatches->setMinimumWidth(kPatchColumns * lbxPatches->ColumnStep() + 4);
  lbxPatches->setMinimumHeight(24 * lbxPatches->RowHeight());
  lbxPatches->OnDrawItem = [this](QPainter& p, const QRect& r, int i, bool sel) { DrawEntry(p, r, i, sel); };
  lbxPatches->viewport()->installEventFilter(this);

  mPiano1 = new TmPiano(this);
  mPiano1->setObjectName(QStringLiteral("mPiano1"));
  mPiano1->SetShowOctaveNum(true);
  mPiano1->SetKeyWidth(kPianoKeyWidth);
  mPiano1->SetLeftWhiteKey(0);
  mPiano1->SetCenterC(CenterC);
  mPiano1->Relay = relay;
  mPiano1->setFixedSize(mPiano1->WidthFor(kPianoWhiteKeys), TmPiano::kOctaveStrip + 48);
  mPiano1->OnPianoKeyDown = [this](int key) { SetMonitorNote(key); };
  mPiano1->OnPianoKeyMove = [this](int key) { SetMonitorNote(key); };
  mPiano1->OnPianoKeyUp = [this](int) {
    if (monitorNote_ >= 0) mPiano1->SetPressed(monitorNote_, true);
  };

  lblMonitor = new QLabel(QStringLiteral("Monitor"), this);
  edMonitorNote = new QLineEdit(this);
  edMonitorNote->setObjectName(QStringLiteral("edMonitorNote"));
  edMonitorNote->setReadOnly(true);
  edMonitorNote->setFixedWidth(edMonitorNote->fontMetrics().horizontalAdvance(QStringLiteral("C#-2")) + 24);
  lblMonitor->setBuddy(edMonitorNote);
  btnOK = new QPushButton(QStringLiteral("OK"), this);
  btnOK->setDefault(true);
  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* lists = new QHBoxLayout;
  lists->addWidget(lbxGroups);
  lists->addWidget(lbxPatches, 1);
  bottom_ = new QHBoxLayout;
  bottom_->addWidget(lblMonitor);
  bottom_->addWidget(edMonitorNote);
  bottom_->addStretch(1);
  bottom_->addWidget(btnOK);
  bottom_->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lists, 1);
  layout->addWidget(mPiano1, 0, Qt::AlignHCenter);
  layout->addLayout(bottom_);

  connect(lbxPatches, &QAbstractItemView::pressed, this, [this](const QModelIndex& i) {
    if (!i.isValid()) return;
    SelectEntry(i.row());
    StartMonitor();
  });
  connect(lbxPatches, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& i) {
    if (i.isValid()) accept();
  });
  connect(lbxPatches->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& i) {
            if (!updating_ && i.isValid()) SelectEntry(i.row());
          });
  connect(lbxGroups, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    if (!updating_) SelectGroup(lbxGroups->row(item));
  });
  connect(lbxGroups, &QListWidget::currentRowChanged, this, [this](int row) {
    if (!updating_ && row >= 0) SelectGroup(row);
  });

  mKanabun1.Relay = relay;
  mKanabun1.OnNoteOn = [this](int note) { SetMonitorNote(note); };
  registration_ = std::make_unique<TmKanabunRegistration>(mKanabun1, this);
}

TCmPatchSelectDlg::~TCmPatchSelectDlg() {
  StopMonitor();
  registration_.reset();
  mKanabun1.ReleaseAll();
}

void TCmPatchSelectDlg::SetInst(TCmInst* inst) {
  inst_ = inst;
  updating_ = true;
  lbxPatches->SetList(inst ? &inst->Entries : nullptr);
  updating_ = false;
}

int TCmPatchSelectDlg::SelectedIndex() const { return lbxPatches->ItemIndex(); }

std::optional<TPatchKey> TCmPatchSelectDlg::SelectedKey() const {
  int i = SelectedIndex();
  if (!inst_ || i < 0) return std::nullopt;
  return inst_->GetKey(i);
}

void TCmPatchSelectDlg::SelectEntry(int index) {
  if (!inst_ || index < 0 || index >= lbxPatches->Count()) return;
  updating_ = true;
  lbxPatches->SetItemIndex(index);
  lbxPatches->ScrollToTop(index);
  SetGroupRow(GroupOf(index));
  updating_ = false;
  Audition(inst_->GetKey(index));
  EntrySelected(index);
}

void TCmPatchSelectDlg::SetGroupRow(int row) {
  bool was = updating_;
  updating_ = true;
  if (row >= 0 && row < lbxGroups->count())
    lbxGroups->setCurrentRow(row);
  else
    lbxGroups->clearSelection();
  updating_ = was;
}

void TCmPatchSelectDlg::Audition(TPatchKey key) {
  MidiOutDevice* handle = relay_ && ports_ ? ports_->PortHandle(relay_->Port) : nullptr;
  const uint32_t channel = relay_ ? (relay_->Channel & 15u) : 0u;
  const int msb = KeyBankMsb(key), lsb = KeyBankLsb(key), program = KeyProgram(key);
  if (BankByteSent(msb) && msb != lastMsb_) {
    MidiPorts::SendShort(handle, ShortMsg(0xB0 + channel, 0, msb));
    lastMsb_ = msb;
  }
  if (BankByteSent(lsb) && lsb != lastLsb_) {
    MidiPorts::SendShort(handle, ShortMsg(0xB0 + channel, 32, lsb));
    lastLsb_ = lsb;
  }
  // An unreadable program number in the file gives a byte above 127, which is
  // no program change at all; it is not sent.
  if ((!lastKey_ || *lastKey_ != key) && program < 128) {
    MidiPorts::SendShort(handle, ShortMsg(0xC0 + channel, program));
    lastKey_ = key;
  }
}

void TCmPatchSelectDlg::DrawEntry(QPainter& p, const QRect& rect, int index, bool selected) {
  const QPalette& pal = palette();
  p.fillRect(rect, selected ? pal.color(QPalette::Highlight) : QColor(Qt::white));
  p.setPen(selected ? pal.color(QPalette::HighlightedText) : QColor(Qt::black));
  if (inst_ && index < inst_->Count()) DrawText(p, rect, QString::fromStdString(inst_->Entries[index]));
}

void TCmPatchSelectDlg::SetMonitorNote(int note) {
  note = std::clamp(note, 0, 127);
  if (monitorNote_ >= 0 && monitorNote_ != note && monitorNote_ != mPiano1->CurrentKey())
    mPiano1->SetPressed(monitorNote_, false);
  monitorNote_ = note;
  mPiano1->SetPressed(note, true);
  edMonitorNote->setText(QString::fromStdString(NoteName(note, 0, CenterC)));
  MonitorNoteChanged();
}

void TCmPatchSelectDlg::StartMonitor() {
  StopMonitor();
  if (!relay_ || monitorNote_ < 0) return;
  relay_->NoteOn(monitorNote_);
  sounding_ = monitorNote_;
}

void TCmPatchSelectDlg::StopMonitor() {
  if (sounding_ < 0) return;
  if (relay_) relay_->NoteOff(sounding_);
  sounding_ = -1;
}

QPoint TCmPatchSelectDlg::MovePointerToCentre() {
  QPoint old = QCursor::pos();
  QScreen* screen = QGuiApplication::screenAt(old);
  if (!screen) screen = QGuiApplication::primaryScreen();
  if (screen) QCursor::setPos(screen, screen->geometry().center() - QPoint(10, 0));
  return old;
}

void TCmPatchSelectDlg::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  // The list has its real height only now; the selected patch goes on top.
  lbxPatches->ScrollToTop(SelectedIndex());
}

void TCmPatchSelectDlg::done(int r) {
  StopMonitor();
  mKanabun1.ReleaseAll();
  QDialog::done(r);
}

bool TCmPatchSelectDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lbxPatches->viewport() && event->type() == QEvent::MouseButtonRelease) StopMonitor();
  return QDialog::eventFilter(watched, event);
}

// ---- patches

TmPatchSelectDlg::TmPatchSelectDlg(TmInstruments& insts, int instIndex, TPatchKey key, TmMidiRelay* relay,
                                   MidiPorts* ports, QWidget* parent)
    : TCmPatchSelectDlg(relay, ports, parent) {
  setObjectName(QStringLiteral("PatchSelectDlg"));
  {
    WaitCursor wait;
    instrument_ = insts.GetInst(instIndex);
  }
  QString name = instIndex >= 0 && instIndex < static_cast<int>(insts.InsNames.size())
                     ? QString::fromStdString(insts.InsNames[static_cast<size_t>(instIndex)])
                     : QString();
  setWindowTitle(QStringLiteral("PatchList - [%1]").arg(name));
  if (instrument_)
    for (const TmInstBank& bank : instrument_->Banks) lbxGroups->addItem(QString::fromStdString(bank.Name));
  SetInst(instrument_);
  if (instrument_) SelectEntry(instrument_->FindKey(key));
  SetMonitorNote(LastMonitorNote);
}

int TmPatchSelectDlg::GroupOf(int index) const { return instrument_ ? instrument_->BankOf(index) : -1; }

void TmPatchSelectDlg::SelectGroup(int row) {
  if (!instrument_ || row < 0 || row >= static_cast<int>(instrument_->Banks.size())) return;
  SelectEntry(instrument_->Banks[static_cast<size_t>(row)].FirstEntry);
}

void TmPatchSelectDlg::DrawEntry(QPainter& p, const QRect& rect, int index, bool selected) {
  // Every other bank on its own ground, so the banks of a long list part.
  if (GroupOf(index) % 2 != 1) {
    TCmPatchSelectDlg::DrawEntry(p, rect, index, selected);
    return;
  }
  const QPalette& pal = palette();
  p.fillRect(rect, selected ? QColor(128, 0, 128) : pal.color(QPalette::ToolTipBase));
  p.setPen(selected ? QColor(Qt::white) : pal.color(QPalette::ToolTipText));
  DrawText(p, rect, QString::fromStdString(instrument_->Entries[static_cast<size_t>(index)]));
}

bool TmPatchSelectDlg::Execute(TmInstruments& insts, int instIndex, TPatchKey& key, TmMidiRelay* relay,
                               MidiPorts* ports, QWidget* parent) {
  if (instIndex < 0 || instIndex >= static_cast<int>(insts.InsFiles.size())) return false;
  QPoint pointer = MovePointerToCentre();
  bool chosen = false;
  {
    TmPatchSelectDlg dlg(insts, instIndex, key, relay, ports, parent);
    bool ok = dlg.exec() == QDialog::Accepted;
    LastMonitorNote = dlg.MonitorNote();
    if (ok && dlg.SelectedKey()) {
      key = *dlg.SelectedKey();
      chosen = true;
    }
  }
  QCursor::setPos(pointer);
  return chosen;
}

bool TmPatchSelectDlg::Execute(TmInstruments& insts, const std::string& instrument, TPatchKey& key,
                               TmMidiRelay* relay, MidiPorts* ports, QWidget* parent) {
  return Execute(insts, insts.IndexOfInst(instrument), key, relay, ports, parent);
}

// ---- drum sets

TmDrumPatchSelectDlg::TmDrumPatchSelectDlg(TmInstruments& insts, int drumIndex, TPatchKey key, TmMidiRelay* relay,
                                           MidiPorts* ports, QWidget* parent)
    : TCmPatchSelectDlg(relay, ports, parent), insts_(insts), key_(key) {
  setObjectName(QStringLiteral("DrumPatchSelectDlg"));
  lblToneName = new QLabel(QStringLiteral("ToneName"), this);
  edToneName = new QLineEdit(this);
  edToneName->setObjectName(QStringLiteral("edToneName"));
  edToneName->setReadOnly(true);
  edToneName->setMinimumWidth(edToneName->fontMetrics().horizontalAdvance(QStringLiteral("Mute High Conga (x)")) + 16);
  lblToneName->setBuddy(edToneName);
  bottom_->insertSpacing(2, 12);
  bottom_->insertWidget(3, lblToneName);
  bottom_->insertWidget(4, edToneName);

  for (const std::string& name : insts.DrmNames) lbxGroups->addItem(QString::fromStdString(name));
  QString name = drumIndex >= 0 && drumIndex < static_cast<int>(insts.DrmNames.size())
                     ? QString::fromStdString(insts.DrmNames[static_cast<size_t>(drumIndex)])
                     : QString();
  setWindowTitle(QStringLiteral("DrumPatchList - [%1]").arg(name));
  SetMonitorNote(LastMonitorNote);
  SelectGroup(drumIndex);
}

TmDrumPatchSelectDlg::~TmDrumPatchSelectDlg() {
  if (drum_) drum_->FreeAllToneNames();
}

int TmDrumPatchSelectDlg::GroupOf(int) const { return drumIndex_; }

void TmDrumPatchSelectDlg::SelectGroup(int row) {
  if (row < 0 || row >= static_cast<int>(insts_.DrmFiles.size()) || row == drumIndex_) return;
  if (drum_) drum_->FreeAllToneNames();
  drumIndex_ = row;
  {
    WaitCursor wait;
    drum_ = insts_.GetDrumInst(row);
  }
  SetInst(drum_);
  SetGroupRow(row);
  setWindowTitle(QStringLiteral("DrumPatchList - [%1]").arg(QString::fromStdString(insts_.DrmNames[row])));
  int index = drum_ ? drum_->FindKey(key_) : -1;
  SelectEntry(index < 0 ? 0 : index);
  ShowToneName();
}

void TmDrumPatchSelectDlg::EntrySelected(int index) {
  if (drum_) key_ = drum_->GetKey(index);
  ShowToneName();
}

void TmDrumPatchSelectDlg::MonitorNoteChanged() { ShowToneName(); }

void TmDrumPatchSelectDlg::ShowToneName() {
  if (!edToneName) return;  // the monitor note is set before the box exists
  int set = SelectedIndex();
  edToneName->setText(drum_ && set >= 0 ? QString::fromStdString(drum_->GetToneName(set, MonitorNote()))
                                        : QString());
}

void TmDrumPatchSelectDlg::done(int r) {
  TCmPatchSelectDlg::done(r);
  if (drum_) drum_->FreeAllToneNames();
}

bool TmDrumPatchSelectDlg::Execute(TmInstruments& insts, int& drumIndex, TPatchKey& key, TmMidiRelay* relay,
                                   MidiPorts* ports, QWidget* parent) {
  if (insts.DrmFiles.empty()) return false;
  int start = drumIndex >= 0 && drumIndex < static_cast<int>(insts.DrmFiles.size()) ? drumIndex : 0;
  QPoint pointer = MovePointerToCentre();
  bool chosen = false;
  {
    TmDrumPatchSelectDlg dlg(insts, start, key, relay, ports, parent);
    bool ok = dlg.exec() == QDialog::Accepted;
    LastMonitorNote = dlg.MonitorNote();
    if (ok && dlg.SelectedKey()) {
      drumIndex = dlg.DrumIndex();
      key = *dlg.SelectedKey();
      chosen = true;
    }
  }
  QCursor::setPos(pointer);
  return chosen;
}

}  // namespace melko

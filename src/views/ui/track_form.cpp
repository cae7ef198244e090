#include "views/ui/track_form.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include "base/int_helpers.h"
#include "base/text_encoding.h"
#include "song/track_ops.h"
#include "views/track_commands.h"

namespace melko {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
QPushButton* ToolButton(QWidget* parent, const char* name, const char* caption, const char* hint, bool checkable) {
  auto* b = new QPushButton(QString::fromUtf8(caption), parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setCheckable(checkable);
  b->setFocusPolicy(Qt::NoFocus);
  if (hint) b->setToolTip(QString::fromUtf8(hint));
  QFontMetrics fm(b->font());
  b->setFixedWidth(std::max(24, fm.horizontalAdvance(b->text()) + 14));
  return b;
}
const QColor kDrumGreen(0x00, 0x80, 0x00);
const QColor kPatchBlue(0x00, 0x00, 0xFF);
const QColor kHeaderBack(0xE4, 0xE4, 0xE4);
const QColor kSelectionBack(0xCC, 0xDD, 0xFF);
}  // namespace

// ---------------------------------------------------------------- the form

TTrackForm::TTrackForm(Song& song, EditDispatcher& dispatcher, QWidget* parent)
    : QWidget(parent, Qt::Window), song_(song), dispatcher_(dispatcher) {
  setObjectName(QStringLiteral("TrackForm"));
  auto* top = new QHBoxLayout;
  top->setSpacing(4);
  cmbMarker = new QComboBox(this);
  cmbMarker->setObjectName(QStringLiteral("cmbMarker"));
  cmbMarker->setEditable(true);
  cmbMarker->setToolTip(QStringLiteral("マーカージャンプ"));
  cmbMarker->setMinimumWidth(180);
  cmbMarker->setInsertPolicy(QComboBox::NoInsert);
  pnlInfo = new QLabel(this);
  pnlInfo->setObjectName(QStringLiteral("pnlInfo"));
  pnlInfo->setFrameShape(QFrame::Panel);
  pnlInfo->setFrameShadow(QFrame::Sunken);
  pnlThru = new QLabel(QStringLiteral("Off"), this);
  pnlThru->setObjectName(QStringLiteral("pnlThru"));
  pnlThru->setFrameShape(QFrame::Panel);
  pnlThru->setFrameShadow(QFrame::Sunken);
  pnlThru->setAlignment(Qt::AlignCenter);
  pnlThru->setMinimumWidth(QFontMetrics(pnlThru->font()).horizontalAdvance(QStringLiteral("D 16")) + 16);
  sbtActiveTrackThru = ToolButton(this, "sbtActiveTrackThru", "A",
                                  "スコア、リストがアクティヴになったら、そのトラックにDynamicThru先を変更する", true);
  top->addWidget(cmbMarker);
  top->addWidget(pnlInfo, 1);
  top->addWidget(new QLabel(QStringLiteral("THRU"), this));
  top->addWidget(pnlThru);
  top->addWidget(sbtActiveTrackThru);

  auto* tools = new QHBoxLayout;
  tools->setSpacing(2);
  sbtList1 = ToolButton(this, "sbtList1", "List1", "イベントリスト1", false);
  sbtList2 = ToolButton(this, "sbtList2", "List2", "イベントリスト2", false);
  sbtScore = ToolButton(this, "sbtScore", "Score", "スコア", false);
  sbtCond = ToolButton(this, "sbtCond", "Cond", "コンダクタートラック", false);
  sbtDbcEvent = ToolButton(this, "sbtDbcEvent", "E", "ダブルクリックでイベントリストを開く", true);
  sbtDbcScore = ToolButton(this, "sbtDbcScore", "S", "ダブルクリックでスコアを開く", true);
  sbtDbcEvent->setAutoExclusive(true);
  sbtDbcScore->setAutoExclusive(true);
  sbtDbcEvent->setChecked(true);
  sbtMonitor = ToolButton(this, "sbtMonitor", "M", "クリックしたトラックを演奏する", true);
  sbtFull = ToolButton(this, "sbtFull", "Full", "全てのトラック情報を表示", true);
  sbtSync = ToolButton(this, "sbtSync", "Sync", "演奏に同期して表示", true);
  edQuant = new QLineEdit(this);
  edQuant->setObjectName(QStringLiteral("edQuant"));
  edQuant->setReadOnly(true);
  edQuant->setFixedWidth(QFontMetrics(edQuant->font()).horizontalAdvance(QStringLiteral("000")) + 12);
  edQuant->setToolTip(QStringLiteral("マップの分解能（全音符あたりのセル数）"));
  sbtQuantDown = ToolButton(this, "sbtQuantDown", "-", nullptr, false);
  sbtQuantUp = ToolButton(this, "sbtQuantUp", "+", nullptr, false);
  edRepeat = new QLineEdit(this);
  edRepeat->setObjectName(QStringLiteral("edRepeat"));
  edRepeat->setReadOnly(true);
  edRepeat->setFixedWidth(edQuant->width());
  edRepeat->setToolTip(QStringLiteral("貼り付けの繰り返し回数"));
  sbtRepeatDown = ToolButton(this, "sbtRepeatDown", "-", nullptr, false);
  sbtRepeatUp = ToolButton(this, "sbtRepeatUp", "+", nullptr, false);
  for (QWidget* w : std::initializer_list<QWidget*>{sbtList1, sbtList2, sbtScore, sbtCond, sbtDbcEvent, sbtDbcScore,
                                                    sbtMonitor, sbtFull, sbtSync})
    tools->addWidget(w);
  tools->addSpacing(8);
  tools->addWidget(new QLabel(QStringLiteral("Quant"), this));
  tools->addWidget(edQuant);
  tools->addWidget(sbtQuantDown);
  tools->addWidget(sbtQuantUp);
  tools->addSpacing(8);
  tools->addWidget(new QLabel(QStringLiteral("Rep"), this));
  tools->addWidget(edRepeat);
  tools->addWidget(sbtRepeatDown);
  tools->addWidget(sbtRepeatUp);
  tools->addStretch();

  sheet_ = new TSheetView(*this);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(3, 3, 3, 3);
  layout->setSpacing(3);
  layout->addLayout(top);
  layout->addLayout(tools);
  layout->addWidget(sheet_, 1);

  PopupMenuTrack = new QMenu(this);
  PopupMenuTrack->setObjectName(QStringLiteral("PopupMenuTrack"));
  PopupMenuTrack->addAction(QStringLiteral("New"), this, &TTrackForm::CommandNew);
  PopupMenuTrack->addAction(QStringLiteral("Insert"), this, &TTrackForm::CommandInsert);
  PopupMenuTrack->addAction(QStringLiteral("Delete"), this, &TTrackForm::CommandDelete);
  PopupMenuTrack->addAction(QStringLiteral("Erase"), this, &TTrackForm::CommandErase);
  PopupMenuTrack->addSeparator();
  PopupMenuTrack->addAction(QStringLiteral("Note to Pad"), this, [this] {
    QDialog dlg(this);
    dlg.setWindowTitle(QStringLiteral("Note to Pad"));
    auto* v = new QVBoxLayout(&dlg);
    v->addWidget(new QLabel(QStringLiteral("SourceTrack = %1").arg(SheetRow), &dlg));
    auto* buttons = new QDialogButtonBox(&dlg);
    QPushButton* paste = buttons->addButton(QStringLiteral("Paste"), QDialogButtonBox::AcceptRole);
    QPushButton* mix = buttons->addButton(QStringLiteral("Mix"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QDialogButtonBox::Cancel);
    v->addWidget(buttons);
    int chosen = 0;
    connect(paste, &QPushButton::clicked, &dlg, [&] { chosen = 1; dlg.accept(); });
    connect(mix, &QPushButton::clicked, &dlg, [&] { chosen = 2; dlg.accept(); });
    connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    if (dlg.exec() == QDialog::Accepted && chosen) CommandNoteToPad(chosen == 2);
  });
  PopupMenuTrack->addAction(QStringLiteral("Pad to Note"), this, &TTrackForm::CommandPadToNote);
  PopupMenuTrack->addAction(QStringLiteral("Note to Lyric"), this, &TTrackForm::CommandNoteToLyric);

  connect(sbtQuantDown, &QPushButton::clicked, this, [this] {
    if (maps_.SetMapQuant(maps_.MapQuant / 2)) RefreshAll();
  });
  connect(sbtQuantUp, &QPushButton::clicked, this, [this] {
    if (maps_.SetMapQuant(maps_.MapQuant * 2)) RefreshAll();
  });
  connect(sbtRepeatDown, &QPushButton::clicked, this, [this] {
    dispatcher_.Range.RepeatCount = std::clamp(dispatcher_.Range.RepeatCount - 1, 1, 99);
    ShowValues();
  });
  connect(sbtRepeatUp, &QPushButton::clicked, this, [this] {
    dispatcher_.Range.RepeatCount = std::clamp(dispatcher_.Range.RepeatCount + 1, 1, 99);
    ShowValues();
  });
  auto open = [this](int list) {
    if (Hooks.OpenList) Hooks.OpenList(list, SheetRow);
  };
  connect(sbtList1, &QPushButton::clicked, this, [open] { open(1); });
  connect(sbtList2, &QPushButton::clicked, this, [open] { open(2); });
  connect(sbtCond, &QPushButton::clicked, this, [this] {
    if (Hooks.OpenList) Hooks.OpenList(1, 0);
  });
  connect(sbtScore, &QPushButton::clicked, this, [this] {
    if (Hooks.OpenScore) Hooks.OpenScore(SheetRow);
  });
  connect(cmbMarker->lineEdit(), &QLineEdit::returnPressed, this, [this] {
    const QString text = cmbMarker->currentText();
    // A line of the list chosen and confirmed is a jump; anything else a new marker.
    const int index = cmbMarker->findText(text);
    if (index >= 0) JumpToMarker(index);
    else MarkerEntered(text);
  });
  connect(cmbMarker, QOverload<int>::of(&QComboBox::activated), this, [this](int index) {
    if (index >= 0 && cmbMarker->itemText(index) == cmbMarker->currentText()) JumpToMarker(index);
  });

  syncTimer_ = new QTimer(this);
  syncTimer_->setInterval(100);
  connect(syncTimer_, &QTimer::timeout, this, &TTrackForm::SyncStep);
  connect(sbtSync, &QPushButton::toggled, this, [this](bool on) {
    if (on) syncTimer_->start();
    else {
      syncTimer_->stop();
      SyncTick = -1;
      sheet_->viewport()->update();
    }
  });
  connect(sbtFull, &QPushButton::toggled, this, &TTrackForm::SetFullView);
  songWatch_ = song_.Changes.Subscribe([this](const SongChange& c) { SongChanged(c); });
  resize(900, 420);
  RefreshAll();
}

TTrackForm::~TTrackForm() { songWatch_.Reset(); }

void TTrackForm::LoadSettings(const IniFile& ini) {
  sbtMonitor->setChecked(ini.ReadBool("Track", "Monitor", false));
  const int w = std::clamp(ini.ReadInteger("Track", "Width", 1000), 300, 4000);
  const int h = std::clamp(ini.ReadInteger("Track", "Height", 480), 150, 3000);
  resize(w, h);
  if (ini.ValueExists("Track", "Left"))
    move(std::clamp(ini.ReadInteger("Track", "Left", 0), -2000, 8000), std::clamp(ini.ReadInteger("Track", "Top", 0), 0, 8000));
  if (ini.ReadInteger("Track", "wState", 0) == 2) setWindowState(windowState() | Qt::WindowMaximized);
  const std::string widths = ini.ReadString("Track", "ColWidths", "");
  size_t pos = 0;
  for (int c = 0; c < kSheetColumns && pos < widths.size(); ++c) {
    size_t comma = widths.find(',', pos);
    const std::string part = widths.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
    int64_t v;
    if (TryParseInt(part, v)) sheet_->ColWidths[size_t(c)] = int(std::clamp<int64_t>(v, 8, 600));
    if (comma == std::string::npos) break;
    pos = comma + 1;
  }
  int quant = ini.ReadInteger("Track", "Quant", 16);
  int q = 1;
  while (q * 2 <= std::clamp(quant, kMinMapQuant, kMaxMapQuant)) q *= 2;  // a power of two, as the buttons keep it
  maps_.MapQuant = q;
  RefreshAll();
}

void TTrackForm::SaveSettings(IniFile& ini) const {
  ini.WriteBool("Track", "Monitor", sbtMonitor->isChecked());
  const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
  ini.WriteInteger("Track", "Width", g.width());
  ini.WriteInteger("Track", "Height", g.height());
  ini.WriteInteger("Track", "Left", g.x());
  ini.WriteInteger("Track", "Top", g.y());
  ini.WriteInteger("Track", "wState", isMaximized() ? 2 : 0);
  std::string widths;
  const auto& saved = fullView_ ? normalWidths_ : sheet_->ColWidths;
  for (int c = 0; c < kSheetColumns; ++c) widths += (c ? "," : "") + std::to_string(saved[size_t(c)]);
  ini.WriteString("Track", "ColWidths", widths);
  ini.WriteInteger("Track", "Quant", maps_.MapQuant);
}

void TTrackForm::SyncStep() {
  const bool playing = Hooks.IsPlaying && Hooks.IsPlaying() && Hooks.PlayTick;
  const int32_t tick = playing ? std::max(Hooks.PlayTick(), 0) : -1;
  if (tick == SyncTick) return;
  SyncTick = tick;
  if (tick >= 0) {
    // Keep the position on screen: a page on when it leaves the right edge.
    QScrollBar* h = sheet_->horizontalScrollBar();
    const int cell = int(uint32_t(tick) / std::max<uint32_t>(maps_.MapCellTicks, 1));
    if (cell < h->value() || cell >= h->value() + h->pageStep()) h->setValue(cell);
  }
  sheet_->viewport()->update();
}

void TTrackForm::UpdateCaption() {
  setWindowTitle(QStringLiteral("Song - ") + Q(DisplayText(song_.TrackNames[0])));
}

SheetTextContext TTrackForm::TextContext() const {
  SheetTextContext c;
  c.PatchName = Hooks.PatchName;
  if (Hooks.PortDevices) c.PortDevices = Hooks.PortDevices();
  c.CenterC = CenterC;
  return c;
}

void TTrackForm::ShowValues() {
  edQuant->setText(QString::number(maps_.MapQuant));
  edRepeat->setText(QString::number(dispatcher_.Range.RepeatCount));
  sbtList1->setEnabled(bool(Hooks.OpenList));
  sbtList2->setEnabled(bool(Hooks.OpenList));
  sbtCond->setEnabled(bool(Hooks.OpenList));
  sbtScore->setEnabled(bool(Hooks.OpenScore));
  int used = 0;
  for (int t = 1; t <= 64; ++t) used += song_.Tracks[size_t(t)].HasData() ? 1 : 0;
  pnlInfo->setText(QStringLiteral("Tracks %1   TPQN %2   Map %3 ticks/cell")
                       .arg(used)
                       .arg(song_.TPQN)
                       .arg(maps_.MapCellTicks));
  if (Hooks.Thru) {
    auto [caption, hint] = Hooks.Thru();
    pnlThru->setText(Q(caption));
    pnlThru->setToolTip(Q(hint));
  }
}

void TTrackForm::RefreshAll() {
  for (int t = 1; t <= 64; ++t) song_.GetTrackPatch(t);
  maps_.BuildAll(song_);
  FillMarkers();
  cmbMarker->setEditText(QString());
  UpdateCaption();
  ShowValues();
  FitColumns();
  sheet_->viewport()->update();
  sheet_->UpdateScrollBars();
}

void TTrackForm::SetFullView(bool on) {
  if (on == fullView_) return;
  if (on) normalWidths_ = sheet_->ColWidths;
  else sheet_->ColWidths = normalWidths_;
  fullView_ = on;
  if (sbtFull->isChecked() != on) sbtFull->setChecked(on);
  FitColumns();
  sheet_->UpdateScrollBars();
  sheet_->viewport()->update();
}

void TTrackForm::FitColumns() {
  if (!fullView_) return;
  const QFontMetrics metrics(sheet_->viewport()->font());
  const SheetTextContext context = TextContext();
  for (int c : {kColName, kColInstrument, kColProgram, kColOutPort}) {
    int widest = metrics.horizontalAdvance(QString::fromUtf8(kSheetHeaders[c]));
    for (int r = 1; r <= 64; ++r)
      widest = std::max(widest, metrics.horizontalAdvance(Q(SheetCellText(song_, r, c, context, true))));
    sheet_->ColWidths[size_t(c)] = std::clamp(widest + 8, normalWidths_[size_t(c)], 600);
  }
}

void TTrackForm::SongChanged(const SongChange& c) {
  if (c.Has(kChangeWholeSong)) {
    RefreshAll();
    return;
  }
  if (c.Has(kChangeTrackData))
    for (int t = 1; t <= 64; ++t)
      if (c.Touches(t)) {
        song_.GetTrackPatch(t);
        maps_.Build(song_, t);
      }
  if (c.Has(kChangeMaps)) maps_.BuildAll(song_);
  if (c.Has(kChangeMaps) || (c.Has(kChangeTrackData) && c.Touches(0))) FillMarkers();
  if (c.Has(kChangeSongSettings)) UpdateCaption();
  ShowValues();
  FitColumns();
  sheet_->UpdateScrollBars();
  sheet_->viewport()->update();
}

int TTrackForm::SelectionFrom() const { return std::min(sheet_->selFrom_, sheet_->selTo_); }
int TTrackForm::SelectionTo() const { return std::max(sheet_->selFrom_, sheet_->selTo_); }
void TTrackForm::SelectRows(int from, int to) {
  sheet_->selFrom_ = std::clamp(from, 1, 64);
  sheet_->selTo_ = std::clamp(to, 1, 64);
  sheet_->viewport()->update();
}

void TTrackForm::RowsChanged() {
  if (Hooks.RangeChanged) Hooks.RangeChanged();
  RefreshAll();
}

void TTrackForm::CommandNew() {
  if (Hooks.StopPlayback) Hooks.StopPlayback();
  if (!TrackNew(song_, dispatcher_, SheetRow) && Hooks.Beep) Hooks.Beep();
  RowsChanged();
}

void TTrackForm::CommandInsert() {
  if (Hooks.StopPlayback) Hooks.StopPlayback();
  if (!TrackInsert(song_, dispatcher_, SheetRow) && Hooks.Beep) Hooks.Beep();
  RowsChanged();
}

void TTrackForm::CommandDelete() {
  const std::string q = TrackRangeQuestion(kMsgDeleteTracks, dispatcher_.Range.EditFromTrack, dispatcher_.Range.EditToTrack);
  if (Hooks.AskYesNo && !Hooks.AskYesNo(q)) return;
  if (Hooks.StopPlayback) Hooks.StopPlayback();
  TrackDelete(song_, dispatcher_);
  RowsChanged();
}

void TTrackForm::CommandErase() {
  const std::string q = TrackRangeQuestion(kMsgEraseTracks, dispatcher_.Range.EditFromTrack, dispatcher_.Range.EditToTrack);
  if (Hooks.AskYesNo && !Hooks.AskYesNo(q)) return;
  if (Hooks.StopPlayback) Hooks.StopPlayback();
  TrackErase(song_, dispatcher_);
  RowsChanged();
}

void TTrackForm::CommandNoteToPad(bool mix) {
  if (!NoteToPad(song_, dispatcher_, SheetRow, mix) && Hooks.Beep) Hooks.Beep();
}
void TTrackForm::CommandPadToNote() {
  if (!PadToNote(song_, dispatcher_) && Hooks.Beep) Hooks.Beep();
}
void TTrackForm::CommandNoteToLyric() { NoteToLyric(song_, dispatcher_, SheetRow); }

void TTrackForm::MarkerEntered(const QString& text) {
  if (text.isEmpty()) return;
  if (!AddMarker(song_, dispatcher_, StoreText(text.toStdString()))) {
    if (Hooks.ShowError) Hooks.ShowError(kMsgMarkerExists);
    return;
  }
  FillMarkers();
  cmbMarker->setEditText(QString());
}

void TTrackForm::FillMarkers() {
  markerTicks_.clear();
  const QString typed = cmbMarker->currentText();
  cmbMarker->blockSignals(true);
  cmbMarker->clear();
  for (TrackWalker w(song_.Tracks[0]); !w.AtEnd(); w.Advance()) {
    const TMidiEvent& e = w.Next();
    if (e.Status != 0xFF || e.Data1 != 0x06) continue;
    const std::string text(reinterpret_cast<const char*>(e.Data), e.Len);
    const uint32_t measure = song_.Maps.TickToMeasure(e.Time).Measure;
    cmbMarker->addItem(QString::asprintf("%.3u: ", measure) + Q(DisplayText(text)));
    markerTicks_.push_back(e.Time);
  }
  cmbMarker->setEditText(typed);
  cmbMarker->blockSignals(false);
}

void TTrackForm::JumpToMarker(int index) {
  if (index < 0 || size_t(index) >= markerTicks_.size()) return;
  if (Hooks.JumpTo) Hooks.JumpTo(markerTicks_[size_t(index)]);
}

// ---------------------------------------------------------------- the view

TSheetView::TSheetView(TTrackForm& form) : QAbstractScrollArea(&form), form_(form) {
  setObjectName(QStringLiteral("DrawGrid1"));
  viewport()->setMouseTracking(false);
  setFocusPolicy(Qt::StrongFocus);
  verticalScrollBar()->setSingleStep(1);
  horizontalScrollBar()->setSingleStep(1);
}

int TSheetView::ListWidth() const {
  int w = 0;
  for (int c : ColWidths) w += c;
  return w;
}

int TSheetView::RowAt(int y) const {
  if (y < kRowHeight) return 0;
  return std::min(64, (y - kRowHeight) / kRowHeight + 1 + verticalScrollBar()->value());
}

int TSheetView::ColumnAt(int x, int& cell) const {
  cell = -1;
  int left = 0;
  for (int c = 0; c < kSheetColumns; ++c) {
    if (x < left + ColWidths[size_t(c)]) return c;
    left += ColWidths[size_t(c)];
  }
  cell = (x - left) / kCellWidth + horizontalScrollBar()->value();
  return -1;
}

QRect TSheetView::CellRect(int row, int column) const {
  int left = 0;
  for (int c = 0; c < column; ++c) left += ColWidths[size_t(c)];
  const int y = row == 0 ? 0 : kRowHeight * (row - verticalScrollBar()->value());
  return QRect(left, y, ColWidths[size_t(column)], kRowHeight);
}

void TSheetView::UpdateScrollBars() {
  const int visibleRows = std::max(1, (viewport()->height() - kRowHeight) / kRowHeight);
  verticalScrollBar()->setRange(0, std::max(0, 64 - visibleRows));
  verticalScrollBar()->setPageStep(visibleRows);
  size_t cells = 0;
  for (int t = 1; t <= 64; ++t) cells = std::max(cells, form_.maps_.MapCells[size_t(t)].size());
  const int visibleCells = std::max(1, (viewport()->width() - ListWidth()) / kCellWidth);
  horizontalScrollBar()->setRange(0, std::max(0, int(cells) - visibleCells));
  horizontalScrollBar()->setPageStep(visibleCells);
}

void TSheetView::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  UpdateScrollBars();
}

void TSheetView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const Song& song = form_.song_;
  const TEventMaps& maps = form_.maps_;
  const SheetTextContext context = form_.TextContext();
  const int width = viewport()->width(), height = viewport()->height();
  const int listWidth = ListWidth();
  p.fillRect(rect(), Qt::white);
  const int firstRow = verticalScrollBar()->value() + 1;
  const int rows = std::min(64 - firstRow + 1, (height - kRowHeight) / kRowHeight + 1);
  const int firstCell = horizontalScrollBar()->value();
  const int cells = std::max(0, (width - listWidth) / kCellWidth + 1);
  const QPen grid(QColor(0xC0, 0xC0, 0xC0));
  const TEditRange& range = form_.dispatcher_.Range;

  // Header row.
  p.fillRect(QRect(0, 0, width, kRowHeight), kHeaderBack);
  for (int c = 0; c < kSheetColumns; ++c) {
    QRect r = CellRect(0, c);
    QFont f = p.font();
    const bool styled = (c == kColMute && song.Mute[0]) || (c == kColSolo && song.Solo != 0);
    f.setBold(styled);
    p.setFont(f);
    p.setPen(styled ? QColor(0xC0, 0x00, 0x00) : Qt::black);
    p.drawText(r.adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, QString::fromUtf8(kSheetHeaders[c]));
    p.setPen(grid);
    p.drawLine(r.topRight(), r.bottomRight());
  }
  QFont plain = p.font();
  plain.setBold(false);
  p.setFont(plain);
  // Measure numbers over the map.
  for (int k = 0; k < cells; ++k) {
    const uint32_t tick = uint32_t(firstCell + k) * maps.MapCellTicks;
    const TMeasurePos m = song.Maps.TickToMeasure(tick);
    if (m.Tick == 0 && m.Beat == 0) {
      p.setPen(Qt::black);
      p.drawText(QRect(listWidth + k * kCellWidth + 2, 0, 60, kRowHeight), Qt::AlignVCenter | Qt::AlignLeft,
                 QString::number(m.Measure));
    }
  }

  for (int i = 0; i < rows; ++i) {
    const int r = firstRow + i;
    const int y = kRowHeight * (i + 1);
    const bool selected = r >= form_.SelectionFrom() && r <= form_.SelectionTo();
    if (selected) p.fillRect(QRect(0, y, listWidth, kRowHeight), kSelectionBack);
    const bool drum = song.IsDrumChannel(song.Ch[size_t(r)]);
    for (int c = 0; c < kSheetColumns; ++c) {
      const QRect cell = CellRect(r, c);
      const bool wide = !(c == kColProgram && cell.width() < 25) && !(c == kColOutPort && cell.width() <= 30);
      QString text = Q(SheetCellText(song, r, c, context, wide));
      QColor colour = Qt::black;
      if (c == kColInstrument && drum) colour = kDrumGreen;
      if (c == kColProgram) colour = drum ? kDrumGreen : kPatchBlue;
      p.setPen(colour);
      const Qt::Alignment align = (c == kColName || c == kColInstrument || c == kColProgram || c == kColOutPort)
                                      ? Qt::AlignLeft | Qt::AlignVCenter
                                      : Qt::AlignRight | Qt::AlignVCenter;
      p.drawText(cell.adjusted(3, 0, -3, 0), align, p.fontMetrics().elidedText(text, Qt::ElideRight, cell.width() - 6));
      if (r == focusRow_ && c == focusColumn_ && hasFocus()) {
        p.setPen(QPen(Qt::black, 1, Qt::DotLine));
        p.drawRect(cell.adjusted(1, 1, -2, -2));
      }
      p.setPen(grid);
      p.drawLine(cell.topRight(), cell.bottomRight());
    }
    // The map: the edit range, measure lines and the four marks.
    const auto& row = maps.MapCells[size_t(r)];
    for (int k = 0; k < cells; ++k) {
      const int x = listWidth + k * kCellWidth;
      const size_t index = size_t(firstCell + k);
      const uint64_t from = uint64_t(index) * maps.MapCellTicks;
      const bool inRange = r >= range.EditFromTrack && r <= range.EditToTrack && from < range.EditToTick &&
                           from + maps.MapCellTicks > range.EditFromTick;
      if (inRange) p.fillRect(QRect(x, y, kCellWidth, kRowHeight), kSelectionBack);
      const TMeasurePos m = song.Maps.TickToMeasure(uint32_t(std::min<uint64_t>(from, 0x0FFFFFFF)));
      p.setPen(m.Tick == 0 && m.Beat == 0 ? QPen(Qt::black) : grid);
      p.drawLine(x, y, x, y + kRowHeight - 1);
      const uint8_t bits = index < row.size() ? row[index] : 0;
      if (bits & kMapNote) p.fillRect(QRect(x + 2, y + 3, 5, 5), QColor(0x20, 0x20, 0x20));
      if (bits & kMapControl) p.fillRect(QRect(x + 8, y + 3, 4, 5), QColor(0x20, 0x80, 0x20));
      if (bits & kMapProgram) p.fillRect(QRect(x + 2, y + 10, 5, 5), QColor(0x20, 0x40, 0xE0));
      if (bits & kMapSysEx) p.fillRect(QRect(x + 8, y + 10, 4, 5), QColor(0xD0, 0x40, 0x20));
    }
    p.setPen(grid);
    p.drawLine(0, y + kRowHeight - 1, width, y + kRowHeight - 1);
  }
  p.setPen(Qt::black);
  p.drawLine(listWidth, 0, listWidth, height);
  if (form_.SyncTick >= 0) {
    const int64_t x = listWidth + (int64_t(form_.SyncTick) / std::max<uint32_t>(maps.MapCellTicks, 1) - firstCell) *
                                      kCellWidth;
    if (x >= listWidth && x < width) {
      p.setPen(QPen(QColor(0xE0, 0x20, 0x20), 2));
      p.drawLine(int(x), kRowHeight, int(x), height);
    }
  }
}

void TSheetView::FlagClick(int row, int column, bool ctrl) {
  Song& song = form_.song_;
  std::vector<int> rows;
  if (row >= form_.SelectionFrom() && row <= form_.SelectionTo())
    for (int t = form_.SelectionFrom(); t <= form_.SelectionTo(); ++t) rows.push_back(t);
  else
    rows.push_back(row);
  if (column == kColMute) MuteClick(song, rows, ctrl);
  else if (column == kColSolo) SoloClick(song, row);
  else RecClick(song, rows, row, form_.SingleRec);
}

void TSheetView::MapClick(int row, int cell, bool extend) {
  TEditRange& r = form_.dispatcher_.Range;
  const uint32_t ticks = form_.maps_.MapCellTicks;
  if (!extend) {
    mapAnchorRow_ = row;
    mapAnchorCell_ = cell;
  }
  r.EditFromTrack = std::min(mapAnchorRow_, row);
  r.EditToTrack = std::max(mapAnchorRow_, row);
  r.EditFromTick = uint32_t(std::min(mapAnchorCell_, cell)) * ticks;
  r.EditToTick = uint32_t(std::max(mapAnchorCell_, cell) + 1) * ticks;
  if (form_.Hooks.RangeChanged) form_.Hooks.RangeChanged();
  viewport()->update();
}

void TSheetView::mousePressEvent(QMouseEvent* e) {
  CommitEdit();
  const int row = RowAt(int(e->position().y()));
  int cell;
  const int column = ColumnAt(int(e->position().x()), cell);
  const bool ctrl = e->modifiers() & Qt::ControlModifier;
  form_.SheetRow = row;
  if (e->button() != Qt::LeftButton) return;
  if (row == 0) {
    if (column == kColMute) MuteHeaderClick(form_.song_, ctrl);
    else if (column == kColSolo) SoloHeaderClick(form_.song_);
    viewport()->update();
    return;
  }
  if (column < 0) {
    if (cell < 0) return;
    MapClick(row, cell, e->modifiers() & Qt::ShiftModifier);
    if (form_.sbtMonitor->isChecked() && form_.Hooks.Monitor && !(form_.Hooks.IsPlaying && form_.Hooks.IsPlaying()))
      form_.Hooks.Monitor(row, uint32_t(cell) * form_.maps_.MapCellTicks);
    return;
  }
  if (column == kColMute || column == kColSolo || column == kColRec) {
    FlagClick(row, column, ctrl);
    viewport()->update();
    return;
  }
  if (e->modifiers() & Qt::ShiftModifier) {
    selTo_ = row;
  } else {
    selFrom_ = selTo_ = row;
  }
  focusRow_ = row;
  focusColumn_ = column;
  if (form_.Hooks.TrackSelected) form_.Hooks.TrackSelected(row);
  if (column == kColCh) {
    // A channel for every selected row, from a list at the cell.
    QMenu menu(this);
    for (int ch = 1; ch <= 16; ++ch) menu.addAction(QString::number(ch))->setData(ch);
    QAction* chosen = menu.exec(viewport()->mapToGlobal(CellRect(row, column).bottomLeft()));
    if (chosen) {
      if (form_.Hooks.ThruNotesOff) form_.Hooks.ThruNotesOff();
      SongNotifier::Batch batch(form_.song_.Changes);
      for (int t = form_.SelectionFrom(); t <= form_.SelectionTo(); ++t)
        SetChannelText(form_.song_, t, std::to_string(chosen->data().toInt()));
    }
  } else if (column == kColProgram && form_.Hooks.ChoosePatch) {
    form_.song_.GetTrackPatch(row);
    uint32_t patch = form_.song_.ProgramChange[size_t(row)];
    if ((patch & 0xFF) >= 128) patch = 0xFFFF00;  // no program yet: the first patch, no bank
    if (form_.Hooks.ChoosePatch(row, patch)) {
      // The patch goes to every selected row, as one edit.
      SongNotifier::Batch batch(form_.song_.Changes);
      form_.dispatcher_.BeginEdit();
      for (int t = form_.SelectionFrom(); t <= form_.SelectionTo(); ++t) {
        form_.song_.SetTrackPatch(t, uint8_t(patch >> 16), uint8_t(patch >> 8), uint8_t(patch));
        form_.song_.GetTrackPatch(t);
        form_.song_.Changes.Notify(kChangeTrackSettings, t);
      }
      form_.dispatcher_.FinishEdit("<Track>Program Change");
    }
  } else if (column == kColInstrument && form_.Hooks.InstrumentNames) {
    // The instrument definition for every selected row.
    QMenu menu(this);
    for (const std::string& name : form_.Hooks.InstrumentNames()) menu.addAction(Q(name));
    QAction* chosen = menu.exec(viewport()->mapToGlobal(CellRect(row, column).bottomLeft()));
    if (chosen) {
      SongNotifier::Batch batch(form_.song_.Changes);
      for (int t = form_.SelectionFrom(); t <= form_.SelectionTo(); ++t) {
        form_.song_.Instrument[size_t(t)] = StoreText(chosen->text().toStdString());
        form_.song_.SongSaved = false;
        form_.song_.Changes.Notify(kChangeTrackSettings, t);
      }
    }
  } else if (column == kColOutPort) {
    QMenu menu(this);
    std::array<std::string, 4> devices;
    if (form_.Hooks.PortDevices) devices = form_.Hooks.PortDevices();
    for (int p = 0; p < 4; ++p)
      menu.addAction(QString(QChar('A' + p)) + QStringLiteral(": ") + Q(devices[size_t(p)]))->setData(p);
    QAction* chosen = menu.exec(viewport()->mapToGlobal(CellRect(row, column).bottomLeft()));
    if (chosen) {
      if (form_.Hooks.ThruNotesOff) form_.Hooks.ThruNotesOff();
      SongNotifier::Batch batch(form_.song_.Changes);
      for (int t = form_.SelectionFrom(); t <= form_.SelectionTo(); ++t) {
        form_.song_.OutPort[size_t(t)] = uint8_t(chosen->data().toInt());
        form_.song_.SongSaved = false;
        form_.song_.Changes.Notify(kChangeTrackSettings, t);
      }
    }
  }
  viewport()->update();
}

void TSheetView::mouseMoveEvent(QMouseEvent* e) {
  if (!(e->buttons() & Qt::LeftButton)) return;
  int cell;
  const int column = ColumnAt(int(e->position().x()), cell);
  const int row = RowAt(int(e->position().y()));
  if (column < 0 && cell >= 0 && row >= 1) MapClick(row, cell, true);
}

void TSheetView::mouseDoubleClickEvent(QMouseEvent* e) {
  const int row = RowAt(int(e->position().y()));
  int cell;
  const int column = ColumnAt(int(e->position().x()), cell);
  if (row < 1) return;
  if (column < 0) {
    if (form_.sbtDbcEvent->isChecked() && form_.Hooks.OpenList) form_.Hooks.OpenList(1, row);
    else if (form_.Hooks.OpenScore) form_.Hooks.OpenScore(row);
    return;
  }
  StartEdit(row, column);
}

void TSheetView::StartEdit(int row, int column) {
  if (column != kColName && column != kColCh && column != kColPad && column != kColDelay) return;
  CommitEdit();
  editRow_ = row;
  editColumn_ = column;
  editor_ = new QLineEdit(viewport());
  editor_->setObjectName(QStringLiteral("cellEditor"));
  editor_->setGeometry(CellRect(row, column));
  const Song& song = form_.song_;
  std::string text = column == kColName ? DisplayText(song.TrackNames[size_t(row)])
                                        : SheetCellText(song, row, column, form_.TextContext());
  if (column == kColPad && song.Pad[size_t(row)] >= 128) text.clear();
  editor_->setText(Q(text));
  editor_->selectAll();
  editor_->show();
  editor_->setFocus();
  connect(editor_, &QLineEdit::returnPressed, this, [this] {
    CommitEdit();
    setFocus();
  });
}

void TSheetView::CommitEdit() {
  if (!editor_) return;
  QLineEdit* editor = editor_;
  editor_ = nullptr;
  const std::string text = editor->text().toStdString();
  Song& song = form_.song_;
  if ((editColumn_ == kColCh || editColumn_ == kColPad) && form_.Hooks.ThruNotesOff) form_.Hooks.ThruNotesOff();
  switch (editColumn_) {
    case kColName: SetTrackNameText(song, editRow_, StoreText(text)); break;
    case kColCh: SetChannelText(song, editRow_, text); break;
    case kColPad: SetPadText(song, editRow_, text, form_.CenterC); break;
    case kColDelay: SetDelayText(song, editRow_, text); break;
  }
  editor->hide();
  editor->deleteLater();
  viewport()->update();
}

void TSheetView::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: StartEdit(focusRow_, focusColumn_); return;
    case Qt::Key_Up: focusRow_ = std::max(1, focusRow_ - 1); break;
    case Qt::Key_Down: focusRow_ = std::min(64, focusRow_ + 1); break;
    case Qt::Key_Left: focusColumn_ = std::max(0, focusColumn_ - 1); break;
    case Qt::Key_Right: focusColumn_ = std::min(kSheetColumns - 1, focusColumn_ + 1); break;
    default: QAbstractScrollArea::keyPressEvent(e); return;
  }
  selFrom_ = selTo_ = focusRow_;
  form_.SheetRow = focusRow_;
  const int first = verticalScrollBar()->value() + 1, visible = verticalScrollBar()->pageStep();
  if (focusRow_ < first) verticalScrollBar()->setValue(focusRow_ - 1);
  if (focusRow_ >= first + visible) verticalScrollBar()->setValue(focusRow_ - visible);
  viewport()->update();
}

void TSheetView::contextMenuEvent(QContextMenuEvent* e) {
  const int row = RowAt(e->pos().y());
  form_.SheetRow = std::max(row, 1);
  form_.PopupMenuTrack->popup(e->globalPos());
}

}  // namespace melko

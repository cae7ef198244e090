#include "views/ui/rhythm_form.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "base/int_helpers.h"
#include "base/text_encoding.h"
#include "views/rhythm_transfer.h"
#include "views/ui/rhythm_custom_dlg.h"
#include "views/ui/rhythm_grid.h"

namespace melko {

namespace {
QString Q(const std::string& utf8) { return QString::fromStdString(utf8); }
QString Raw(const std::string& raw) { return Q(DisplayText(raw)); }
constexpr int kUnits[] = {1, 2, 4, 8, 16, 32};

QPushButton* SmallButton(const QString& text, QWidget* parent, int width = 0) {
  auto* b = new QPushButton(text, parent);
  b->setAutoDefault(false);
  b->setFocusPolicy(Qt::NoFocus);
  if (width) b->setFixedWidth(width);
  return b;
}
}  // namespace

TRymPtEditForm::TRymPtEditForm(Song& song, EditDispatcher& dispatcher, TmInstruments& insts, TmMidiRelay* relay,
                               MidiPorts* ports, Clock& clock, TimerFactory timers, const std::string& dataDir,
                               QWidget* parent)
    : QWidget(parent, Qt::Window),
      VelocityLevels(kDefaultVelocityLevels),
      song_(song),
      dispatcher_(dispatcher),
      insts_(insts),
      relay_(relay),
      ports_(ports),
      dataDir_(dataDir),
      player_(clock, std::move(timers)) {
  setObjectName(QStringLiteral("RhythmPatternEditor"));
  Maps.Load(dataDir_ + kDrumMapFileName);
  Pattern.LoadStream(List.Patterns[0].Stream);
  BuildControls();
  positionTimer_ = new QTimer(this);
  positionTimer_->setInterval(15);
  connect(positionTimer_, &QTimer::timeout, this, [this] { DrainPlayer(); });
  drumSet_ = ResolveDrumSet(insts_, Pattern.PatternInstrument, Pattern.PatternDrumSet);
  Grid->RowNames = DrumRowNames(insts_, drumSet_);
  SelectMap(Pattern.PatternMap);
  ChooseLevel(1);
  UpdateControls();
  Grid->ScrollToRow(std::max(0, Grid->RowOfNote(35)));
  resize(980, 560);
}

TRymPtEditForm::~TRymPtEditForm() { player_.Stop(); }

void TRymPtEditForm::BuildControls() {
  auto* top = new QVBoxLayout(this);
  top->setContentsMargins(6, 6, 6, 6);
  top->setSpacing(4);

  // The tool bar: file, play and the doors to the song.
  auto* bar = new QHBoxLayout;
  bar->setSpacing(3);
  auto addButton = [&](const char* name, const QString& text, auto slot) {
    QPushButton* b = SmallButton(text, this);
    b->setObjectName(QString::fromLatin1(name));
    connect(b, &QPushButton::clicked, this, slot);
    bar->addWidget(b);
    return b;
  };
  addButton("btnNew", QStringLiteral("New"), [this] { NewFile(); });
  addButton("btnOpen", QStringLiteral("Open"), [this] {
    const std::string path = Hooks.ChooseFile ? Hooks.ChooseFile(false, FileName) : std::string();
    if (!path.empty()) OpenFile(path);
  });
  addButton("btnSave", QStringLiteral("Save"), [this] {
    std::string path = FileName;
    if (path.empty() && Hooks.ChooseFile) path = Hooks.ChooseFile(true, FileName);
    if (!path.empty()) SaveFile(path);
  });
  addButton("btnSaveAs", QStringLiteral("SaveAs"), [this] {
    const std::string path = Hooks.ChooseFile ? Hooks.ChooseFile(true, FileName) : std::string();
    if (!path.empty()) SaveFile(path);
  });
  bar->addSpacing(10);
  btnPlay = SmallButton(QStringLiteral("Play"), this);
  btnPlay->setObjectName(QStringLiteral("btnPlay"));
  btnPlay->setCheckable(true);
  connect(btnPlay, &QPushButton::toggled, this, [this](bool on) { Play(on); });
  bar->addWidget(btnPlay);
  bar->addSpacing(10);
  addButton("btnImport", QStringLiteral("Import"), [this] { Import(); });
  addButton("btnExport", QStringLiteral("Export"), [this] { Export(); });
  btnStretch = addButton("btnStretch", QStringLiteral("Stretch"), [this] { StretchPattern(); });
  btnMap = addButton("btnMap", QStringLiteral("Map"), [this] {
    QMenu menu(this);
    for (int i = 0; i < Maps.Count(); ++i) {
      QAction* a = menu.addAction(Raw(Maps.Maps[size_t(i)].Name), this, [this, i] { SelectMap(i); });
      a->setCheckable(true);
      a->setChecked(i == (Pattern.PatternMap < Maps.Count() ? Pattern.PatternMap : 0));
    }
    menu.addSeparator();
    menu.addAction(QStringLiteral("名前のあるノートを先に並べたマップを追加..."), this, [this] {
      if (Maps.Count() >= kMaxDrumMaps) {
        if (Hooks.ShowError) Hooks.ShowError(kMsgDrumMapLimit);
        return;
      }
      std::string name = DisplayText(drumSet_.Instrument);
      if (Hooks.InputText && !Hooks.InputText("Map", kMsgRenamePrompt, name)) return;
      TDrumMap map;
      map.Name = StoreText(name);
      int r = 0;
      for (int pass = 0; pass < 2; ++pass)
        for (int n = 0; n < 128; ++n)
          if (Grid->RowNames[size_t(n)].empty() == (pass == 1)) map.Notes[size_t(r++)] = uint8_t(n);
      if (!Maps.Add(map)) {
        if (Hooks.ShowError) Hooks.ShowError(kMsgDrumMapLimit);
        return;
      }
      Maps.Save(dataDir_ + kDrumMapFileName);
      SelectMap(Maps.Count() - 1);
    });
    menu.exec(btnMap->mapToGlobal(QPoint(0, btnMap->height())));
  });
  bar->addStretch(1);
  top->addLayout(bar);

  // The pattern's layout and sound.
  auto* settings = new QHBoxLayout;
  settings->setSpacing(4);
  auto label = [&](const QString& text) {
    auto* l = new QLabel(text, this);
    settings->addWidget(l);
    return l;
  };
  label(QStringLiteral("Quant"));
  cbQuant = new QComboBox(this);
  cbQuant->setObjectName(QStringLiteral("cbQuant"));
  for (int q : kPatternQuants) cbQuant->addItem(QString::number(q), q);
  settings->addWidget(cbQuant);
  label(QStringLiteral("拍子"));
  cbBeats = new QComboBox(this);
  cbBeats->setObjectName(QStringLiteral("cbBeats"));
  for (int b = 1; b <= 16; ++b) cbBeats->addItem(QString::number(b), b);
  settings->addWidget(cbBeats);
  label(QStringLiteral("/"));
  cbUnit = new QComboBox(this);
  cbUnit->setObjectName(QStringLiteral("cbUnit"));
  for (int u : kUnits) cbUnit->addItem(QString::number(u), u);
  settings->addWidget(cbUnit);
  auto layoutFromBoxes = [this] {
    if (updating_) return;
    LayoutChanged(cbQuant->currentData().toInt(), cbBeats->currentData().toInt(), cbUnit->currentData().toInt(),
                  Pattern.PatternMeasures);
  };
  connect(cbQuant, &QComboBox::activated, this, layoutFromBoxes);
  connect(cbBeats, &QComboBox::activated, this, layoutFromBoxes);
  connect(cbUnit, &QComboBox::activated, this, layoutFromBoxes);

  // A number box with "-" and "+" (AddClamp).
  auto stepper = [&](const QString& caption, const char* name, int lo, int hi, std::function<int()> get,
                     std::function<void(int)> set) {
    label(caption);
    auto* minus = SmallButton(QStringLiteral("-"), this, 22);
    auto* box = new QLineEdit(this);
    box->setObjectName(QString::fromLatin1(name));
    box->setFixedWidth(40);
    box->setAlignment(Qt::AlignRight);
    auto* plus = SmallButton(QStringLiteral("+"), this, 22);
    settings->addWidget(minus);
    settings->addWidget(box);
    settings->addWidget(plus);
    connect(minus, &QPushButton::clicked, this, [=] { set(int(AddClamp(get(), -1, lo, hi))); });
    connect(plus, &QPushButton::clicked, this, [=] { set(int(AddClamp(get(), 1, lo, hi))); });
    connect(box, &QLineEdit::editingFinished, this,
            [=] { set(int(StrToIntClamp(box->text().toStdString(), get(), lo, hi))); });
    return box;
  };
  edMeasures = stepper(QStringLiteral("小節数"), "edMeasures", 1, 255, [this] { return int(Pattern.PatternMeasures); },
                       [this](int m) {
                         LayoutChanged(Pattern.PatternQuant, Pattern.PatternBeats, Pattern.PatternBeatUnit, m);
                       });
  edShuffle = stepper(QStringLiteral("Shuffle"), "edShuffle", 0, kMaxShuffle, [this] { return Pattern.PatternShuffle; },
                      [this](int s) {
                        Pattern.SetShuffle(s);
                        UpdateControls();
                        PatternChanged();
                      });
  settings->addSpacing(8);
  label(QStringLiteral("DrumSet"));
  cbInstrument = new QComboBox(this);
  cbInstrument->setObjectName(QStringLiteral("cbInstrument"));
  for (const std::string& n : insts_.DrmNames) cbInstrument->addItem(Raw(n));
  settings->addWidget(cbInstrument);
  cbDrumSet = new QComboBox(this);
  cbDrumSet->setObjectName(QStringLiteral("cbDrumSet"));
  cbDrumSet->setMinimumWidth(150);
  settings->addWidget(cbDrumSet);
  connect(cbInstrument, &QComboBox::activated, this, [this](int i) {
    if (i < 0 || i >= int(insts_.DrmNames.size())) return;
    Pattern.PatternInstrument = insts_.DrmNames[size_t(i)];
    Pattern.PatternDrumSet = 0;
    SelectDrumSet();
  });
  connect(cbDrumSet, &QComboBox::activated, this, [this](int i) {
    Pattern.PatternInstrument = drumSet_.Instrument;
    Pattern.PatternDrumSet = uint8_t(std::clamp(i, 0, 255));
    SelectDrumSet();
  });
  label(QStringLiteral("Port"));
  cbPort = new QComboBox(this);
  cbPort->setObjectName(QStringLiteral("cbPort"));
  for (char c : {'A', 'B', 'C', 'D'}) cbPort->addItem(QString(QChar(c)));
  connect(cbPort, &QComboBox::activated, this, [this](int i) {
    Port = uint8_t(std::clamp(i, 0, 3));
    SelectDrumSet();
  });
  settings->addWidget(cbPort);
  settings->addStretch(1);
  top->addLayout(settings);

  // The velocity levels, loudest last as a musician reads them.
  auto* levels = new QHBoxLayout;
  levels->setSpacing(2);
  levels->addWidget(new QLabel(QStringLiteral("Velocity"), this));
  for (int i = 7; i >= 0; --i) {
    QPushButton* b = SmallButton(QString::fromLatin1(kVelocityLevelNames[size_t(i)]), this, 44);
    b->setCheckable(true);
    b->setObjectName(QStringLiteral("btn") + QString::fromLatin1(kVelocityLevelNames[size_t(i)]));
    connect(b, &QPushButton::clicked, this, [this, i] { ChooseLevel(i); });
    btnLevels[size_t(i)] = b;
    levels->addWidget(b);
  }
  auto* custom = SmallButton(QStringLiteral("..."), this, 28);
  custom->setObjectName(QStringLiteral("btnVelocity"));
  custom->setToolTip(QStringLiteral("Velocity"));
  connect(custom, &QPushButton::clicked, this, [this] {
    TRhythmCustomDlg dlg(VelocityLevels, this);
    if (dlg.exec() != QDialog::Accepted) return;
    VelocityLevels = dlg.Levels();
    for (int i = 0; i < 8; ++i)
      if (btnLevels[size_t(i)]->isChecked()) ChooseLevel(i);
  });
  levels->addWidget(custom);
  levels->addSpacing(8);
  cbPen = new QCheckBox(QStringLiteral("Pen"), this);
  cbPen->setObjectName(QStringLiteral("cbPen"));
  connect(cbPen, &QCheckBox::toggled, this, [this](bool on) { Grid->PenMode = on; });
  levels->addWidget(cbPen);
  levels->addStretch(1);
  top->addLayout(levels);

  // The pattern list beside the grid.
  auto* split = new QSplitter(Qt::Horizontal, this);
  auto* left = new QWidget(split);
  auto* lv = new QVBoxLayout(left);
  lv->setContentsMargins(0, 0, 0, 0);
  auto* nameRow = new QHBoxLayout;
  lblIndex = new QLabel(left);
  lblIndex->setObjectName(QStringLiteral("Index"));
  lblIndex->setMinimumWidth(28);
  edPatternName = new QLineEdit(left);
  edPatternName->setObjectName(QStringLiteral("edPatternName"));
  connect(edPatternName, &QLineEdit::editingFinished, this, [this] {
    List.Rename(Index, StoreText(edPatternName->text().toStdString()));
    UpdateControls();
  });
  nameRow->addWidget(lblIndex);
  nameRow->addWidget(edPatternName);
  lv->addLayout(nameRow);
  lbPatterns = new QListWidget(left);
  lbPatterns->setObjectName(QStringLiteral("lbPatterns"));
  lbPatterns->setSelectionMode(QAbstractItemView::ContiguousSelection);
  connect(lbPatterns, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    const int row = lbPatterns->row(item);
    if (row != Index && lbPatterns->selectedItems().size() <= 1) ShowPattern(row);
  });
  lv->addWidget(lbPatterns, 1);
  auto* listButtons = new QHBoxLayout;
  for (auto [name, text, slot] : {std::tuple{"btnAdd", "Add", &TRymPtEditForm::AddPattern},
                                  std::tuple{"btnDelete", "Delete", &TRymPtEditForm::DeletePatterns},
                                  std::tuple{"btnRename", "Rename", &TRymPtEditForm::RenamePattern}}) {
    QPushButton* b = SmallButton(QString::fromLatin1(text), left);
    b->setObjectName(QString::fromLatin1(name));
    connect(b, &QPushButton::clicked, this, [this, slot = slot] { (this->*slot)(); });
    listButtons->addWidget(b);
  }
  lv->addLayout(listButtons);
  Grid = new TRhythmGrid(Pattern, split);
  Grid->CellChanged = [this](int, int) { PatternChanged(); };
  Grid->VelocityMenu = [this](int step, int note, QPoint at) {
    QMenu menu(this);
    for (int i = 0; i < 8; ++i)
      menu.addAction(QString::fromLatin1(kVelocityLevelNames[size_t(i)]) + QStringLiteral("  (") +
                         QString::number(VelocityLevels[size_t(i)]) + QStringLiteral(")"),
                     this, [this, i, step, note] {
                       ChooseLevel(i);
                       Pattern.SetCell(step, note, VelocityLevels[size_t(i)]);
                       PatternChanged();
                     });
    menu.exec(at);
  };
  split->addWidget(left);
  split->addWidget(Grid);
  split->setStretchFactor(1, 1);
  split->setSizes({190, 780});
  top->addWidget(split, 1);
}

void TRymPtEditForm::UpdateTitle() {
  setWindowTitle(Q(std::string(kRhythmTitle) +
                   (FileName.empty() ? std::string("(無題)") : QFileInfo(Q(FileName)).fileName().toStdString())));
}

void TRymPtEditForm::UpdateControls() {
  updating_ = true;
  cbQuant->setCurrentIndex(cbQuant->findData(int(Pattern.PatternQuant)));
  if (cbBeats->findData(int(Pattern.PatternBeats)) < 0) cbBeats->addItem(QString::number(Pattern.PatternBeats), int(Pattern.PatternBeats));
  cbBeats->setCurrentIndex(cbBeats->findData(int(Pattern.PatternBeats)));
  if (cbUnit->findData(int(Pattern.PatternBeatUnit)) < 0) cbUnit->addItem(QString::number(Pattern.PatternBeatUnit), int(Pattern.PatternBeatUnit));
  cbUnit->setCurrentIndex(cbUnit->findData(int(Pattern.PatternBeatUnit)));
  edMeasures->setText(QString::number(Pattern.PatternMeasures));
  edShuffle->setText(QString::number(Pattern.PatternShuffle));
  btnStretch->setEnabled(Pattern.CanStretch());
  cbInstrument->setCurrentIndex(drumSet_.DrumIndex);
  cbDrumSet->clear();
  if (TmDrumInst* d = drumSet_.DrumIndex >= 0 ? insts_.GetDrumInst(drumSet_.DrumIndex) : nullptr)
    for (const std::string& e : d->Entries) cbDrumSet->addItem(Raw(e));
  cbDrumSet->setCurrentIndex(drumSet_.Set);
  cbPort->setCurrentIndex(Port);
  lblIndex->setText(QString::number(Index + 1) + QStringLiteral(":"));
  edPatternName->setText(Raw(List.Patterns[size_t(Index)].Name));
  lbPatterns->clear();
  for (int i = 0; i < List.Count(); ++i)
    lbPatterns->addItem(QString::asprintf("%.2d ", i + 1) + Raw(List.Patterns[size_t(i)].Name));
  lbPatterns->setCurrentRow(Index);
  UpdateTitle();
  updating_ = false;
}

void TRymPtEditForm::PatternChanged() {
  Grid->viewport()->update();
  if (player_.Playing())
    player_.Update(Pattern.PlayEvents(song_.TPQN), Pattern.LengthTicks(song_.TPQN), Pattern.StepTicks(song_.TPQN));
}

void TRymPtEditForm::LayoutChanged(int quant, int beats, int unit, int measures) {
  if (!Pattern.SetLayout(quant, beats, unit, measures)) QApplication::beep();
  UpdateControls();
  Grid->Relayout();
  PatternChanged();
}

void TRymPtEditForm::StoreCurrent() { List.Patterns[size_t(Index)].Stream = Pattern.StoreStream(); }

void TRymPtEditForm::ShowPattern(int index) {
  if (index < 0 || index >= List.Count()) return;
  if (index != Index && Index < List.Count()) StoreCurrent();
  const std::string oldInstrument = Pattern.PatternInstrument;
  const uint8_t oldSet = Pattern.PatternDrumSet;
  Index = index;
  Pattern.LoadStream(List.Patterns[size_t(Index)].Stream);
  if (Pattern.PatternInstrument != oldInstrument || Pattern.PatternDrumSet != oldSet) SelectDrumSet();
  SelectMap(Pattern.PatternMap);
  UpdateControls();
  Grid->Relayout();
  PatternChanged();
}

void TRymPtEditForm::ChooseLevel(int level) {
  level = std::clamp(level, 0, 7);
  for (int i = 0; i < 8; ++i) btnLevels[size_t(i)]->setChecked(i == level);
  Grid->Velocity = VelocityLevels[size_t(level)];
  cbPen->setChecked(true);
}

void TRymPtEditForm::SelectMap(int index) {
  Pattern.PatternMap = uint8_t(std::clamp(index, 0, 255));
  Grid->RowMap = Maps.Get(Pattern.PatternMap).Notes;
  Grid->viewport()->update();
}

void TRymPtEditForm::SelectDrumSet() {
  drumSet_ = ResolveDrumSet(insts_, Pattern.PatternInstrument, Pattern.PatternDrumSet);
  if (relay_) {
    relay_->Port = Port;
    for (uint32_t m : DrumSetPatchMessages(insts_, drumSet_)) relay_->Send(m);
  }
  Grid->RowNames = DrumRowNames(insts_, drumSet_);
  UpdateControls();
  Grid->viewport()->update();
}

bool TRymPtEditForm::OpenFile(const std::string& path, int index) {
  TRymPatternList list;
  if (!list.Load(path)) {
    if (Hooks.ShowError) Hooks.ShowError(kMsgUnreadableFormat);
    return false;
  }
  // Nothing of the old list is stored back.
  List = std::move(list);
  FileName = path;
  Index = std::clamp(index, 0, List.Count() - 1);
  Pattern.LoadStream(List.Patterns[size_t(Index)].Stream);
  SelectDrumSet();
  SelectMap(Pattern.PatternMap);
  UpdateControls();
  Grid->Relayout();
  PatternChanged();
  return true;
}

bool TRymPtEditForm::SaveFile(const std::string& path) {
  StoreCurrent();
  if (!List.Save(path)) {
    if (Hooks.ShowError) Hooks.ShowError("The file " + path + " could not be written.");
    return false;
  }
  FileName = path;
  UpdateTitle();
  return true;
}

void TRymPtEditForm::Import() {
  if (Hooks.AskYesNo && !Hooks.AskYesNo(kMsgDiscardForImport)) return;
  ImportPattern(song_, dispatcher_.Range, Pattern);
  PatternChanged();
}

void TRymPtEditForm::Export() {
  ExportPattern(song_, Pattern);
  if (Hooks.ClipboardChanged) Hooks.ClipboardChanged();
}

void TRymPtEditForm::StretchPattern() {
  if (!Pattern.CanStretch()) return;
  if (Hooks.AskYesNo && !Hooks.AskYesNo(kMsgStretch)) return;
  Pattern.Stretch();
  UpdateControls();
  Grid->Relayout();
  PatternChanged();
}

void TRymPtEditForm::AddPattern() {
  const bool copy = Hooks.AskYesNo && Hooks.AskYesNo(kMsgAddPattern);
  StoreCurrent();
  const int added = List.Add(Index, copy);
  Index = added;  // the new one is shown as it is stored
  Pattern.LoadStream(List.Patterns[size_t(Index)].Stream);
  SelectMap(Pattern.PatternMap);
  UpdateControls();
  Grid->Relayout();
  PatternChanged();
}

void TRymPtEditForm::DeletePatterns() {
  int first = Index, last = Index;
  const auto selected = lbPatterns->selectionModel()->selectedRows();
  if (!selected.isEmpty()) {
    first = last = selected.front().row();
    for (const auto& i : selected) first = std::min(first, i.row()), last = std::max(last, i.row());
  }
  if (Hooks.AskYesNo && !Hooks.AskYesNo(DeletePatternsQuestion(first + 1, last + 1))) return;
  const int next = List.Delete(first, last);
  Index = next;
  Pattern.LoadStream(List.Patterns[size_t(Index)].Stream);
  SelectMap(Pattern.PatternMap);
  UpdateControls();
  Grid->Relayout();
  PatternChanged();
}

void TRymPtEditForm::RenamePattern() {
  std::string name = DisplayText(List.Patterns[size_t(Index)].Name);
  if (!Hooks.InputText || !Hooks.InputText(kMsgRenameCaption, kMsgRenamePrompt, name)) return;
  List.Rename(Index, StoreText(name));
  UpdateControls();
}

void TRymPtEditForm::NewFile() {
  if (Hooks.AskYesNo && !Hooks.AskYesNo(kMsgNewFile)) return;
  Play(false);
  List.Clear();
  FileName.clear();
  Index = 0;
  Pattern.LoadStream(List.Patterns[0].Stream);
  SelectMap(0);
  UpdateControls();
  Grid->Relayout();
  PatternChanged();
}

void TRymPtEditForm::Play(bool on) {
  if (btnPlay->isChecked() != on) {
    btnPlay->setChecked(on);  // comes back here through toggled
    return;
  }
  if (!on) {
    player_.Stop();
    positionTimer_->stop();
    Grid->SetPlayStep(-1);
    return;
  }
  const uint32_t tempo = song_.Maps.TempoAt(dispatcher_.Range.CurrentTick).Tempo;
  if (Hooks.TempoPosted) Hooks.TempoPosted(tempo);
  player_.Stop();  // the sender is not changed under a running timer
  MidiPorts* ports = ports_;
  const int port = Port;
  player_.Send = [ports, port](uint32_t m) {
    if (ports) MidiPorts::SendShort(ports->PortHandle(port), m);
  };
  if (!player_.Start(Pattern.PlayEvents(song_.TPQN), Pattern.LengthTicks(song_.TPQN), Pattern.StepTicks(song_.TPQN),
                     tempo, song_.TPQN)) {
    btnPlay->setChecked(false);
    return;
  }
  positionTimer_->start();
}

void TRymPtEditForm::DrainPlayer() {
  Notification n;
  int step = -1;
  bool stop = false;
  const char* text = nullptr;
  while (player_.Notify.Pop(n)) {
    if (n.Message == RhythmPosition) step = int(n.LParam / std::max<uint32_t>(Pattern.StepTicks(song_.TPQN), 1));
    if (n.Message == RhythmStop) stop = true, text = n.Text;
  }
  if (step >= 0) Grid->SetPlayStep(step);
  if (stop) {
    Play(false);
    if (text && Hooks.ShowError) Hooks.ShowError(text);
  }
}

void TRymPtEditForm::closeEvent(QCloseEvent* e) {
  Play(false);
  StoreCurrent();
  QWidget::closeEvent(e);
}

}  // namespace melko

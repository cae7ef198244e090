#include "edit/ui/event_form.h"

#include <QApplication>
#include <QColorDialog>
#include <QContextMenuEvent>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "base/ini_file.h"
#include "base/int_helpers.h"
#include "base/text_encoding.h"
#include "edit/edit_dispatcher.h"
#include "edit/shift_location.h"
#include "edit/ui/event_list_dialogs.h"

namespace melko {

QColor ListColorFromValue(uint32_t v) { return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF)); }
uint32_t ListColorValue(const QColor& c) { return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16; }

namespace {

QToolButton* Button(QWidget* parent, const char* name, const char* caption, const char* hint, bool checkable) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(QString::fromUtf8(caption));
  if (hint) b->setToolTip(QString::fromUtf8(hint));
  b->setCheckable(checkable);
  b->setAutoRaise(true);
  return b;
}

QString TabText(const Song& song, int t) {
  return QString::asprintf("%.2d", t) + (song.TrackNames[size_t(t)].empty() || t == 0
                                               ? QString()
                                               : QStringLiteral(" ") + QString::fromStdString(DisplayText(song.TrackNames[size_t(t)])));
}

}  // namespace

TEventForm::TEventForm(Song& song, EditDispatcher& dispatcher, const EditNameTables& tables, int listNumber,
                       QWidget* parent)
    : QWidget(parent, Qt::Window),
      song_(song),
      dispatcher_(dispatcher),
      tables_(tables),
      number_(listNumber == 2 ? 2 : 1),
      editor_(song, dispatcher) {
  setObjectName(QStringLiteral("List%1").arg(number_));
  setWindowTitle(QStringLiteral("List%1").arg(number_));
  editor_.Context.Control = &tables.Control;
  editor_.Context.Meta = &tables.Meta;
  QFont font(QStringLiteral("ＭＳ ゴシック"), 9);
  font.setStyleHint(QFont::Monospace);
  font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("monospace")});
  grid_ = new TEventGrid(editor_, this);
  grid_->setFont(font);
  grid_->EditSysEx = [this](const std::string& hex) -> std::optional<std::string> {
    if (!Hooks.EditSysEx) return std::nullopt;
    return Hooks.EditSysEx(hex);
  };
  grid_->FormKey = [this](QKeyEvent* e) { return FormKey(e); };
  grid_->RowChanged = [this] {
    if (sbtMonitor->isChecked() && Hooks.AuditionNote && editor_.Row() >= 0 && editor_.Current().IsNote())
      Hooks.AuditionNote(CurrentTrack(), editor_.Current().Data1, editor_.Current().Data2);
  };
  // Without a SysEx dialog the grid edits the bytes as text: the hook is
  // looked up at each use, so the lead may set it after construction.
  Tabs = new QTabBar(this);
  Tabs->setObjectName(QStringLiteral("TabControl1"));
  Tabs->setExpanding(false);
  connect(Tabs, &QTabBar::currentChanged, this, [this](int i) {
    if (i < 0) return;
    const int t = Tabs->tabData(i).toInt();
    if (t != CurrentTrack() || editor_.Model().LoadedRevision() != song_.TrackRevision(t)) {
      editor_.Open(t);
      Refreshed();
    }
  });
  BuildToolbar();
  BuildPopup();
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(0, 0, 0, 0);
  v->setSpacing(0);
  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(2, 2, 2, 2);
  bar->setSpacing(1);
  for (QToolButton* b : {sbtSync, sbtScore, sbtStayOnTop, sbtFullView, sbtByMidi, sbtMonitor, sbtTrackChange})
    bar->addWidget(b);
  bar->addSpacing(6);
  bar->addWidget(lbStep);
  bar->addWidget(edStepInc);
  bar->addStretch();
  v->addLayout(bar);
  v->addWidget(Tabs);
  v->addWidget(grid_, 1);
  resize(320, 212);
  watch_ = song_.Changes.Subscribe([this](const SongChange& c) { SongChanged(c); });
  editor_.Open(1);
  if (Tabs->count() == 0) ShowTrack(1);
}

TEventForm::~TEventForm() = default;

void TEventForm::BuildToolbar() {
  sbtSync = Button(this, "sbtSync", "Sync", "演奏と同期して描画", true);
  sbtScore = Button(this, "sbtScore", "Score", "このトラックの譜面を表示", false);
  sbtStayOnTop = Button(this, "sbtStayOnTop", "T", "常に手前に表示", true);
  sbtFullView = Button(this, "sbtFullView", "F", "FullText表示", true);
  sbtByMidi = Button(this, "sbtByMidi", "MIDI", "ＭＩＤＩ入力で音程を決定 ", true);
  sbtMonitor = Button(this, "sbtMonitor", "M", "モニタ送信", true);
  sbtTrackChange = Button(this, "sbtTrackChange", "TR", "トラック切替 [F9]", false);
  lbStep = new QLabel(QStringLiteral("Step"), this);
  lbStep->setObjectName(QStringLiteral("lbStep"));
  lbStep->setToolTip(QStringLiteral("クリックでステップの一覧"));
  lbStep->installEventFilter(this);
  edStepInc = new QLineEdit(this);
  edStepInc->setObjectName(QStringLiteral("edStepInc"));
  edStepInc->setMaximumWidth(QFontMetrics(font()).horizontalAdvance(QStringLiteral("0000/0000")) + 12);
  edStepInc->setText(QString::fromStdString(editor_.StepText()));
  connect(edStepInc, &QLineEdit::editingFinished, this, [this] { StepTyped(); });
  connect(sbtScore, &QToolButton::clicked, this, [this] {
    if (Hooks.ShowScore) Hooks.ShowScore(CurrentTrack() > 0 ? CurrentTrack() : dispatcher_.Range.EditFromTrack);
  });
  connect(sbtStayOnTop, &QToolButton::toggled, this, [this](bool on) {
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, on);
    if (shown) show();
  });
  connect(sbtFullView, &QToolButton::toggled, this, [this](bool on) {
    // The full text: the last column as wide as the window allows.
    grid_->ColumnWidths[4] = on ? grid_->ColumnWidths[4] * 3 : grid_->ColumnWidths[4] / 3;
    grid_->viewport()->update();
  });
  connect(sbtTrackChange, &QToolButton::clicked, this, [this] { TrackChangeClick(); });
  auto setMidiColour = [this] {
    sbtByMidi->setStyleSheet(secondMidiMode_ ? QStringLiteral("color: red") : QStringLiteral("color: purple"));
  };
  setMidiColour();
  for (QToolButton* b : {sbtByMidi, sbtTrackChange}) {
    b->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(b, &QWidget::customContextMenuRequested, this, [this, setMidiColour] {
      secondMidiMode_ = !secondMidiMode_;
      setMidiColour();
    });
  }
}

void TEventForm::BuildPopup() {
  popup_ = new QMenu(this);
  popup_->setObjectName(QStringLiteral("Popup1"));
  auto add = [this](const char* name, const char* text, std::function<void()> run) {
    QAction* a = popup_->addAction(QString::fromUtf8(text));
    a->setObjectName(QString::fromLatin1(name));
    connect(a, &QAction::triggered, this, std::move(run));
    return a;
  };
  add("popCloseTab", "このページを閉じる", [this] { popCloseTabClick(); });
  add("popCloseAllTab", "全て閉じる", [this] { popCloseAllTabClick(); });
  popup_->addSeparator();
  add("popFilter", "表示フィルター", [this] { popFilterClick(); });
  add("popFilterClear", "全イベント表示", [this] { popFilterClearClick(); });
  add("popShiftLoca", "ShiftLocation", [this] { popShiftLocaClick(); });
  add("popRpn", "RPN/NRPN挿入", [this] { popRpnClick(); });
  popup_->addSeparator();
  add("popFont", "フォント設定", [this] {
    bool ok = false;
    QFont f = QFontDialog::getFont(&ok, grid_->font(), this);
    if (ok) grid_->setFont(f);
  });
  add("popColor", "色設定", [this] {
    QColor c = QColorDialog::getColor(grid_->Colors.Background, this, QStringLiteral("BackGroundColor"));
    if (c.isValid()) {
      grid_->Colors.Background = c;
      grid_->viewport()->update();
    }
  });
  popup_->addSeparator();
  add("popAnotherList", "もう一方のリストを開く", [this] {
    if (Hooks.OpenAnotherList) Hooks.OpenAnotherList();
  });
  add("popReloadSysEx", "SysEx定義ﾌｧｲﾙ再読込み", [this] {
    if (Hooks.ReloadSysEx) Hooks.ReloadSysEx();
    grid_->viewport()->update();
  });
}

void TEventForm::contextMenuEvent(QContextMenuEvent* e) { popup_->popup(e->globalPos()); }

bool TEventForm::eventFilter(QObject* o, QEvent* e) {
  // A click on the step label offers the shared step list.
  if (o == lbStep && e->type() == QEvent::MouseButtonPress && steps_ && !steps_->Items().empty()) {
    QMenu menu(this);
    for (const std::string& s : steps_->Items()) menu.addAction(QString::fromStdString(s));
    if (QAction* a = menu.exec(lbStep->mapToGlobal(QPoint(0, lbStep->height())))) {
      editor_.SetStepText(a->text().toStdString());
      edStepInc->setText(QString::fromStdString(editor_.StepText()));
    }
    return true;
  }
  return QWidget::eventFilter(o, e);
}

void TEventForm::ShowTrack(int track) {
  track = std::clamp(track, 0, kSongTracks - 1);
  for (int i = 0; i < Tabs->count(); ++i)
    if (Tabs->tabData(i).toInt() == track) {
      Tabs->setCurrentIndex(i);
      if (CurrentTrack() != track) {
        editor_.Open(track);
        Refreshed();
      }
      return;
    }
  const QSignalBlocker block(Tabs);
  const int i = Tabs->addTab(TabText(song_, track));
  Tabs->setTabData(i, track);
  Tabs->setCurrentIndex(i);
  editor_.Open(track);
  Refreshed();
}

void TEventForm::Refreshed() {
  grid_->Refresh();
  grid_->ScrollToRow(editor_.Row());
}

void TEventForm::SongChanged(const SongChange& c) {
  if (c.Has(kChangeWholeSong)) {
    // A new song: the tabs keep their track numbers, the texts are new.
    for (int i = 0; i < Tabs->count(); ++i) Tabs->setTabText(i, TabText(song_, Tabs->tabData(i).toInt()));
  }
  if (!c.Touches(CurrentTrack()) && !c.Has(kChangeMaps | kChangeTrackSettings | kChangeSongSettings)) return;
  // Our own commits reload at once; whatever else changed the track is
  // picked up once the change is complete.
  if (refreshQueued_) return;
  refreshQueued_ = true;
  QTimer::singleShot(0, this, [this] {
    refreshQueued_ = false;
    if (editor_.Model().LoadedRevision() != song_.TrackRevision(CurrentTrack())) editor_.Reload();
    Refreshed();
  });
}

void TEventForm::StepTyped() {
  editor_.SetStepText(edStepInc->text().toStdString());
  if (steps_) steps_->Add(editor_.StepText(), song_.TPQN);
  edStepInc->setText(QString::fromStdString(editor_.StepText()));
}

void TEventForm::TrackChangeClick() {
  QMenu menu(this);
  for (int t = 0; t <= song_.LastUsedTrack(0) && t < kSongTracks; ++t) {
    QAction* a = menu.addAction(QString::asprintf("%.2d: ", t) +
                                QString::fromStdString(DisplayText(song_.TrackNames[size_t(t)])));
    a->setData(t);
  }
  QAction* chosen = menu.exec(sbtTrackChange->mapToGlobal(QPoint(0, sbtTrackChange->height())));
  if (!chosen) return;
  const uint32_t tick = editor_.Row() >= 0 ? editor_.Current().Time : 0;
  ShowTrack(chosen->data().toInt());
  const size_t row = editor_.Model().RowAtTick(tick);
  if (row < editor_.Model().RowCount()) editor_.Select(long(row));
  Refreshed();
}

bool TEventForm::FormKey(QKeyEvent* e) {
  const auto mods = e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier);
  if (e->key() == Qt::Key_F9 && mods == Qt::NoModifier) {
    TrackChangeClick();
    return true;
  }
  if (e->key() == Qt::Key_F9 && mods == Qt::ShiftModifier) {
    if (Hooks.ShowScore) Hooks.ShowScore(CurrentTrack());
    return true;
  }
  if (e->key() == Qt::Key_F10 && mods == Qt::ShiftModifier) {
    sbtByMidi->toggle();
    return true;
  }
  if (e->key() == Qt::Key_F10 && mods == (Qt::ShiftModifier | Qt::ControlModifier)) {
    secondMidiMode_ = !secondMidiMode_;
    sbtByMidi->setStyleSheet(secondMidiMode_ ? QStringLiteral("color: red") : QStringLiteral("color: purple"));
    return true;
  }
  if (e->key() >= Qt::Key_F1 && e->key() <= Qt::Key_F6 && editor_.Column == 1) {
    editor_.KeyFunction(e->key() - Qt::Key_F1, 1);
    edStepInc->setText(QString::fromStdString(editor_.StepText()));
    return true;
  }
  return false;
}

void TEventForm::FollowPlayback(uint32_t tick) {
  if (!sbtSync->isChecked() || grid_->Editing() || !editor_.Model().RowCount()) return;
  size_t row = editor_.Model().RowAtTick(tick);
  // The last row that has begun sounding.
  if (row >= editor_.Model().RowCount() ||
      editor_.Model().Events()[editor_.Model().FullIndex(row)].Time > tick)
    row = row > 0 ? row - 1 : 0;
  editor_.Select(long(row));
  Refreshed();
}

bool TEventForm::NoteInput(int note, int velocity) {
  if (!sbtByMidi->isChecked() || editor_.Row() < 0) return false;
  const int hi = editor_.Current().Status >> 4;
  if (hi != 0x9 && hi != 0xA) return false;
  editor_.TypeCell(2, std::to_string(std::clamp(note, 0, 127)));
  if (hi == 0x9 && secondMidiMode_ && velocity > 0) editor_.TypeCell(3, std::to_string(std::clamp(velocity, 1, 127)));
  editor_.KeyDown();
  Refreshed();
  return true;
}

void TEventForm::ShowMessage(const QString& text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("警告"), text, QMessageBox::Ok, this);
  QApplication::beep();
  box.exec();
}

void TEventForm::popFilterClick() {
  TEventFilterDlg dlg(editor_.Model().Filter, tables_.Control, tables_.Meta, this);
  if (dlg.exec() != QDialog::Accepted) return;
  editor_.CommitRow();
  editor_.Model().Filter = dlg.Result();
  editor_.Reload();
  Refreshed();
}

void TEventForm::popFilterClearClick() {
  editor_.CommitRow();
  editor_.Model().Filter.Clear();
  editor_.Reload();
  Refreshed();
}

void TEventForm::popShiftLocaClick() {
  if (editor_.Row() < 0) return;
  editor_.CommitRow();
  const uint32_t from = editor_.Current().Time;
  TShiftLocaDlg dlg(QString::fromStdString(LocText(song_.Maps, from)), this);
  if (dlg.exec() != QDialog::Accepted) return;
  ShiftOutcome o = ShiftLocation(song_, dispatcher_, CurrentTrack(), from, dlg.edLocation->text().toStdString(),
                                 dlg.WholeSong);
  if (!o.Message.empty()) ShowMessage(QString::fromStdString(o.Message));
  editor_.Reload();
  Refreshed();
}

void TEventForm::popRpnClick() {
  if (!rpn_) {
    ShowMessage(QString::fromUtf8(kMsgNoRpnFile));
    return;
  }
  editor_.CommitRow();
  const uint32_t tick = editor_.Row() >= 0 ? editor_.Current().Time : 0;
  TPackedRPNDlg dlg(*rpn_, QString::fromStdString(LocText(song_.Maps, tick)), this);
  if (dlg.exec() != QDialog::Accepted || dlg.Group() < 0 || dlg.Param() < 0) return;
  const RpnParam& p = rpn_->Groups[size_t(dlg.Group())].Params[size_t(dlg.Param())];
  const uint32_t at = LocTextToTick(song_.Maps, dlg.edLocation->text().toStdString(), tick);
  const int64_t step = StepList::Ticks(dlg.edStep->text().toStdString(), song_.TPQN);
  std::string text;
  auto events = MakeRpnEvents(p, dlg.Group() > 0, StrToIntClamp(dlg.edData->text().toStdString(), 0, -8192, 8191),
                              StrToIntClamp(dlg.edRr->text().toStdString(), 0, 0, 127), at,
                              uint32_t(std::clamp<int64_t>(step, 0, 1 << 20)), text);
  editor_.InsertEvents(events, kHintRpnInsert);
  Refreshed();
}

void TEventForm::popCloseTabClick() {
  if (Tabs->count() <= 1) {
    close();
    return;
  }
  Tabs->removeTab(Tabs->currentIndex());
}

void TEventForm::popCloseAllTabClick() {
  const QSignalBlocker block(Tabs);
  while (Tabs->count() > 1) Tabs->removeTab(Tabs->count() - 1);
  close();
}

void TEventForm::LoadSettings(const IniFile& ini) {
  const std::string sec = "List" + std::to_string(number_);
  ListTextContext& c = editor_.Context;
  c.Settings = ini.ReadInteger("List", "Settings", 1) & 3;
  ListColors& colors = grid_->Colors;
  colors.General = ListColorFromValue(uint32_t(ini.ReadInteger("List", "GeneralFontColor", 0)));
  colors.Control = ListColorFromValue(uint32_t(ini.ReadInteger("List", "ControlFontColor", 0xFF0000)));
  colors.Patch = ListColorFromValue(uint32_t(ini.ReadInteger("List", "PatchFontColor", 0xFF00FF)));
  colors.SysEx = ListColorFromValue(uint32_t(ini.ReadInteger("List", "SysExFontColor", 0x8000FF)));
  colors.Background = ListColorFromValue(uint32_t(ini.ReadInteger("List", "BackGroundColor", 0xFFFFFF)));
  sbtSync->setChecked(ini.ReadBool(sec, "Sync", false));
  sbtByMidi->setChecked(ini.ReadBool(sec, "ByMidi", false));
  sbtStayOnTop->setChecked(ini.ReadBool(sec, "StayOnTop", false));
  sbtMonitor->setChecked(ini.ReadBool(sec, "Monitor", false));
  ListFilter& f = editor_.Model().Filter;
  f.Bits = uint8_t(ini.ReadInteger(sec, "Filter", 255));
  const int ci = ini.ReadInteger(sec, "TargetCtrlIndex", 0), mi = ini.ReadInteger(sec, "TargetMetaIndex", 0);
  f.CtrlOn = ini.ReadBool(sec, "TargetCtrlChecked", false) && ci >= 0 && ci < tables_.Control.Count;
  if (ci >= 0 && ci < tables_.Control.Count) f.Ctrl = tables_.Control.Codes[size_t(ci)];
  f.MetaOn = ini.ReadBool(sec, "TargetMetaChecked", false) && mi >= 0 && mi < tables_.Meta.Count;
  if (mi >= 0 && mi < tables_.Meta.Count) f.Meta = tables_.Meta.Codes[size_t(mi)];
  QFont font(QString::fromStdString(ini.ReadString("ListFont", "fName", "ＭＳ ゴシック")),
             std::clamp(ini.ReadInteger("ListFont", "fSize", 9), 6, 48));
  font.setStyleHint(QFont::Monospace);
  const int style = ini.ReadInteger("ListFont", "fStyle", 0);
  font.setBold(style & 1);
  font.setItalic(style & 2);
  grid_->setFont(font);
  // Where the window goes: inside the work area, never at a negative position.
  const QRect area = screen() ? screen()->availableGeometry() : QRect(0, 0, 1280, 800);
  int w = std::clamp(ini.ReadInteger(sec, "Width", 320), 120, std::max(120, area.width()));
  int h = std::clamp(ini.ReadInteger(sec, "Height", 212), 80, std::max(80, area.height()));
  int left = ini.ReadInteger(sec, "Left", area.right() - 320);
  int top = ini.ReadInteger(sec, "Top", area.top());
  if (left + w > area.right()) left = area.right() - w;
  if (top + h > area.bottom()) top = area.bottom() - h;
  setGeometry(std::max(0, left), std::max(0, top), w, h);
  if (ini.ReadInteger(sec, "wState", 0) == 2) setWindowState(Qt::WindowMaximized);
  editor_.Reload();
  Refreshed();
}

void TEventForm::SaveSettings(IniFile& ini) const {
  const std::string sec = "List" + std::to_string(number_);
  const ListTextContext& c = editor_.Context;
  ini.WriteInteger("List", "Settings", c.Settings);
  const ListColors& colors = grid_->Colors;
  auto hex = [&](const char* key, const QColor& col) {
    char b[16];
    std::snprintf(b, sizeof b, "$%06X", ListColorValue(col));
    ini.WriteString("List", key, b);
  };
  hex("GeneralFontColor", colors.General);
  hex("ControlFontColor", colors.Control);
  hex("PatchFontColor", colors.Patch);
  hex("SysExFontColor", colors.SysEx);
  hex("BackGroundColor", colors.Background);
  ini.WriteBool(sec, "Sync", sbtSync->isChecked());
  ini.WriteBool(sec, "ByMidi", sbtByMidi->isChecked());
  ini.WriteBool(sec, "StayOnTop", sbtStayOnTop->isChecked());
  ini.WriteBool(sec, "Monitor", sbtMonitor->isChecked());
  const ListFilter& f = editor_.Model().Filter;
  ini.WriteInteger(sec, "Filter", f.Bits);
  auto indexOf = [](const NameTable& t, uint8_t code) {
    for (int i = 0; i < t.Count; ++i)
      if (t.Codes[size_t(i)] == code) return i;
    return 0;
  };
  ini.WriteInteger(sec, "TargetCtrlIndex", indexOf(tables_.Control, f.Ctrl));
  ini.WriteBool(sec, "TargetCtrlChecked", f.CtrlOn);
  ini.WriteInteger(sec, "TargetMetaIndex", indexOf(tables_.Meta, f.Meta));
  ini.WriteBool(sec, "TargetMetaChecked", f.MetaOn);
  const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
  ini.WriteInteger(sec, "Left", g.left());
  ini.WriteInteger(sec, "Top", g.top());
  ini.WriteInteger(sec, "Width", g.width());
  ini.WriteInteger(sec, "Height", g.height());
  ini.WriteInteger(sec, "wState", isMaximized() ? 2 : isMinimized() ? 1 : 0);
  const QFont font = grid_->font();
  ini.WriteString("ListFont", "fName", font.family().toStdString());
  ini.WriteInteger("ListFont", "fSize", font.pointSize());
  ini.WriteInteger("ListFont", "fStyle", (font.bold() ? 1 : 0) | (font.italic() ? 2 : 0));
}

}  // namespace melko

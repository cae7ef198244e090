#include "sysex/ui/sysex_dlg.h"

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "base/text_encoding.h"
#include "sysex/ui/sysex_spin_edit.h"

namespace melko {

namespace {

constexpr int kRawRole = Qt::UserRole;  // the raw bytes of a name, as the tables hold it
constexpr int kNodeRole = Qt::UserRole + 1;

QString Shown(const std::string& raw) { return QString::fromStdString(DisplayText(raw)); }
std::string Typed(const QString& text) { return StoreText(text.toStdString()); }

bool IsEnter(QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// The pointer goes where the warning box will be, so it meets the eye.
void MovePointerForWarning(QWidget* near) {
  QScreen* screen = near && near->screen() ? near->screen() : QGuiApplication::primaryScreen();
  if (screen) QCursor::setPos(screen, screen->geometry().center() + QPoint(10, 35));
}

}  // namespace

QPoint KeepOnScreen(QPoint at, QSize size, const QRect& screen) {
  int x = std::min(at.x(), screen.right() + 1 - size.width());
  int y = std::min(at.y(), screen.bottom() + 1 - size.height());
  return {std::max(x, screen.left()), std::max(y, screen.top())};
}

TSysExDlg::TSysExDlg(TSysExParamNodes& nodes, QWidget* parent) : QDialog(parent), model_(nodes) {
  setObjectName(QStringLiteral("SysExDlg"));
  setWindowTitle(QStringLiteral("SysEx"));

  tvSysEx = new QTreeWidget;
  tvSysEx->setObjectName(QStringLiteral("tvSysEx"));
  tvSysEx->setHeaderHidden(true);
  tvSysEx->setColumnCount(1);
  tvSysEx->setMinimumWidth(150);
  lbxSysEx = new QListWidget;
  lbxSysEx->setObjectName(QStringLiteral("lbxSysEx"));
  lbxSysEx->setMinimumWidth(300);
  splitter = new QSplitter(Qt::Horizontal);
  splitter->setObjectName(QStringLiteral("splitter"));
  splitter->addWidget(tvSysEx);
  splitter->addWidget(lbxSysEx);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);
  splitter->setChildrenCollapsible(false);

  lbExtra0 = new QLabel;
  lbExtra1 = new QLabel;
  lbExtra2 = new QLabel;
  mveExtra0 = new TSysExSpinEdit;
  mveExtra1 = new TSysExSpinEdit;
  mveExtra2 = new TSysExSpinEdit;
  labels_ = {lbExtra0, lbExtra1, lbExtra2};
  extras_ = {mveExtra0, mveExtra1, mveExtra2};
  auto* extraRow = new QHBoxLayout;
  for (int i = 0; i < 3; ++i) {
    labels_[i]->setObjectName(QStringLiteral("lbExtra%1").arg(i));
    extras_[i]->setObjectName(QStringLiteral("mveExtra%1").arg(i));
    labels_[i]->setMinimumWidth(labels_[i]->fontMetrics().horizontalAdvance(QStringLiteral("Volume LSB")) + 4);
    extras_[i]->setRange(0, 127);
    extras_[i]->setMinimumWidth(extras_[i]->fontMetrics().horizontalAdvance(QStringLiteral("000")) + 40);
    labels_[i]->setBuddy(extras_[i]);
    extraRow->addWidget(labels_[i]);
    extraRow->addWidget(extras_[i]);
    if (i < 2) extraRow->addSpacing(12);
    connect(extras_[i], &QSpinBox::valueChanged, this, [this] { ExtraChanged(); });
  }
  extraRow->addStretch(1);

  cmbSysExTable = new QComboBox;
  cmbSysExTable->setObjectName(QStringLiteral("cmbSysExTable"));
  cmbSysExTable->setEditable(true);
  cmbSysExTable->setInsertPolicy(QComboBox::NoInsert);
  cmbSysExTable->lineEdit()->setMaxLength(250);
  cmbSysExTable->setMaxVisibleItems(20);
  cmbSysExTable->setMinimumWidth(240);
  mveValue = new TSysExSpinEdit;
  mveValue->setObjectName(QStringLiteral("mveValue"));
  mveValue->setMinimumWidth(mveValue->fontMetrics().horizontalAdvance(QStringLiteral("-00000")) + 40);

  edSysExHexStr = new QLineEdit;
  edSysExHexStr->setObjectName(QStringLiteral("edSysExHexStr"));
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPointSize(std::max(font().pointSize(), 9));
  edSysExHexStr->setFont(fixed);
  // Room for a whole parameter message of the usual makers.
  edSysExHexStr->setMinimumWidth(QFontMetrics(fixed).horizontalAdvance(QString(36, QLatin1Char('0'))) + 12);

  cmbSysExDisp = new QComboBox;
  cmbSysExDisp->setObjectName(QStringLiteral("cmbSysExDisp"));
  cmbSysExDisp->setEditable(true);
  cmbSysExDisp->setInsertPolicy(QComboBox::NoInsert);
  cmbSysExDisp->lineEdit()->setReadOnly(true);
  cmbSysExDisp->setMaxVisibleItems(20);

  btOk = new QPushButton(QStringLiteral("&OK"));
  btOk->setObjectName(QStringLiteral("btOk"));
  btCancel = new QPushButton(QStringLiteral("&Cancel"));
  btCancel->setObjectName(QStringLiteral("btCancel"));
  // Enter belongs to the boxes (it applies their text), never to a button.
  for (QPushButton* b : {btOk, btCancel}) {
    b->setAutoDefault(false);
    b->setDefault(false);
  }
  connect(btOk, &QPushButton::clicked, this, &TSysExDlg::accept);
  connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);

  auto* fields = new QGridLayout;
  fields->setColumnStretch(1, 1);
  auto* valueLabel = new QLabel(QStringLiteral("値(&V)"));
  valueLabel->setBuddy(cmbSysExTable);
  auto* valueRow = new QHBoxLayout;
  valueRow->addWidget(cmbSysExTable, 1);
  valueRow->addWidget(mveValue);
  fields->addWidget(valueLabel, 0, 0);
  fields->addLayout(valueRow, 0, 1);
  auto* hexLabel = new QLabel(QStringLiteral("データ(&D)"));
  hexLabel->setBuddy(edSysExHexStr);
  fields->addWidget(hexLabel, 1, 0);
  fields->addWidget(edSysExHexStr, 1, 1);
  auto* nameLabel = new QLabel(QStringLiteral("名前(&N)"));
  nameLabel->setBuddy(cmbSysExDisp);
  fields->addWidget(nameLabel, 2, 0);
  auto* nameRow = new QHBoxLayout;
  nameRow->addWidget(cmbSysExDisp, 1);
  nameRow->addSpacing(12);
  nameRow->addWidget(btOk);
  nameRow->addWidget(btCancel);
  fields->addLayout(nameRow, 2, 1);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter, 1);
  layout->addLayout(extraRow);
  layout->addLayout(fields);
  resize(620, 460);

  connect(tvSysEx, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* item) { SelectGroup(item); });
  connect(lbxSysEx, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) { PickParam(item); });
  connect(lbxSysEx, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { PickParam(item); });
  connect(lbxSysEx, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { accept(); });
  connect(mveValue, &QSpinBox::valueChanged, this, [this](int v) { ValueChanged(v); });
  connect(cmbSysExTable, &QComboBox::activated, this, [this](int index) { TableEntryChosen(index); });
  for (QObject* o : {static_cast<QObject*>(edSysExHexStr), static_cast<QObject*>(cmbSysExTable),
                     static_cast<QObject*>(lbxSysEx)})
    o->installEventFilter(this);

  ShowWarning = [this](const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("警告"), QString::fromStdString(text), QMessageBox::Ok, this);
    box.exec();
  };

  BuildGroupTree();
  Refresh();
}

TSysExDlg::~TSysExDlg() = default;

void TSysExDlg::BuildGroupTree() {
  groups_ = BuildSysExGroupTree(model_.Nodes().GetGroupNames());
  QIcon folder;
  folder.addPixmap(style()->standardPixmap(QStyle::SP_DirClosedIcon), QIcon::Normal);
  folder.addPixmap(style()->standardPixmap(QStyle::SP_DirOpenIcon), QIcon::Selected);
  updating_ = true;
  tvSysEx->clear();
  std::vector<QTreeWidgetItem*> items(groups_.size());
  for (size_t i = 0; i < groups_.size(); ++i) {
    const TSysExGroupNode& node = groups_[i];
    QTreeWidgetItem* item = node.Parent < 0 ? new QTreeWidgetItem(tvSysEx)
                                            : new QTreeWidgetItem(items[static_cast<size_t>(node.Parent)]);
    item->setText(0, Shown(node.Text));
    item->setIcon(0, folder);
    item->setData(0, kNodeRole, static_cast<int>(i));
    items[i] = item;
  }
  updating_ = false;
  // The root is open and selected, so the list first shows every parameter.
  items[0]->setExpanded(true);
  tvSysEx->setCurrentItem(items[0]);
}

void TSysExDlg::SelectGroup(QTreeWidgetItem* item) {
  if (!item) return;
  const int node = item->data(0, kNodeRole).toInt();
  const std::vector<std::string> names = ListSysExGroup(model_.Nodes(), SysExGroupPath(groups_, node));
  const bool was = updating_;
  updating_ = true;
  lbxSysEx->clear();
  for (const std::string& name : names) {
    auto* row = new QListWidgetItem(Shown(name), lbxSysEx);
    row->setData(kRawRole, QByteArray::fromStdString(name));
  }
  updating_ = was;
}

void TSysExDlg::PickParam(QListWidgetItem* item) {
  if (updating_ || !item) return;
  const std::string name = item->data(kRawRole).toByteArray().toStdString();
  edSysExHexStr->setText(QString::fromStdString(model_.Nodes().DefaultHexText(name)));
  ApplyHexText();
}

int TSysExDlg::ApplyText(const std::string& text) {
  const int code = model_.ApplyText(text);
  Finish(code);
  return code;
}

void TSysExDlg::Finish(int code) {
  if (code > 0) {
    MovePointerForWarning(this);
    warning_ = true;
    if (ShowWarning) ShowWarning(TSysExParamNodes::ErrorText(code));
    warning_ = false;
  }
  Refresh();
}

void TSysExDlg::ApplyHexText() {
  const int code = model_.ApplyHexText(Typed(edSysExHexStr->text()));
  FillTable();
  Finish(code);
}

void TSysExDlg::ApplyTableText() {
  ApplyText(Typed(cmbSysExTable->currentText()));
  cmbSysExTable->lineEdit()->selectAll();
}

void TSysExDlg::FillTable() {
  const bool was = updating_;
  updating_ = true;
  cmbSysExTable->clear();
  for (const TSysExTableEntry& entry : model_.TableEntries()) cmbSysExTable->addItem(Shown(entry.Text));
  cmbSysExTable->setCurrentIndex(-1);
  updating_ = was;
}

void TSysExDlg::TableEntryChosen(int index) {
  if (updating_) return;
  std::string text;
  const int code = model_.ChooseTableEntry(index, &text);
  cmbSysExTable->setEditText(QString::fromStdString(text));
  Finish(code);
}

void TSysExDlg::ValueChanged(int value) {
  if (updating_) return;
  Finish(model_.SetValue(value));
}

void TSysExDlg::ExtraChanged() {
  if (updating_) return;
  model_.SetExtras({mveExtra0->value(), mveExtra1->value(), mveExtra2->value()});
  Refresh();
}

void TSysExDlg::Refresh() {
  const bool was = updating_;
  updating_ = true;
  const TSysExDialogView& v = model_.View();
  cmbSysExTable->setEditText(Shown(v.ValueText));
  cmbSysExDisp->setEditText(Shown(v.ParamName));
  cmbSysExTable->setEnabled(v.TableEnabled);
  mveValue->setEnabled(v.ValueEnabled);
  if (v.Recognised) {
    mveValue->setRange(v.ValueMin, std::max(v.ValueMin, v.ValueMax));
    mveValue->setValue(v.Value);
  } else {
    mveValue->clear();
  }
  for (size_t i = 0; i < 3; ++i) {
    const TSysExExtraRow& row = v.Extras[i];
    labels_[i]->setEnabled(row.Enabled);
    extras_[i]->setEnabled(row.Enabled);
    if (!row.Enabled) continue;
    extras_[i]->Tag = row.Tag;
    extras_[i]->SetHex(row.Tag == 1);
    labels_[i]->setText(Shown(row.Label));
    extras_[i]->setMaximum(row.Max);
    extras_[i]->setValue(row.Value);
  }
  edSysExHexStr->setText(QString::fromStdString(v.HexText));
  updating_ = was;
}

void TSysExDlg::SetInitialText(const std::string& text) {
  if (text.empty()) return;
  edSysExHexStr->setText(QString::fromStdString(text));
  ApplyHexText();
  const std::string& name = model_.View().ParamName;
  updating_ = true;
  lbxSysEx->setCurrentRow(-1);
  lbxSysEx->clearSelection();
  for (int i = 0; !name.empty() && i < lbxSysEx->count(); ++i) {
    if (lbxSysEx->item(i)->data(kRawRole).toByteArray().toStdString() == name) {
      lbxSysEx->setCurrentRow(i);
      lbxSysEx->scrollToItem(lbxSysEx->item(i), QAbstractItemView::PositionAtCenter);
      break;
    }
  }
  updating_ = false;
}

std::string TSysExDlg::ResultText() const { return edSysExHexStr->text().toStdString(); }

void TSysExDlg::accept() {
  std::string result;
  const int code = model_.Ok(Typed(edSysExHexStr->text()), result);
  FillTable();
  Finish(code);
  // A refused text keeps the dialog open: closing would hand back a message
  // the user did not see being kept (or none at all).
  if (code == 0) QDialog::accept();
}

bool TSysExDlg::AppliesOnLeave(QEvent* event) const {
  if (warning_ || updating_ || !isVisible()) return false;
  const auto reason = static_cast<QFocusEvent*>(event)->reason();
  // The window losing activation, or a popup opening, is no leaving.
  if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
  // OK applies the text itself, Cancel drops it.
  QWidget* next = QApplication::focusWidget();
  return next != btOk && next != btCancel;
}

bool TSysExDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == edSysExHexStr) {
    if (IsEnter(event)) {
      ApplyHexText();
      edSysExHexStr->selectAll();
      return true;
    }
    if (event->type() == QEvent::FocusOut && AppliesOnLeave(event)) ApplyHexText();
  } else if (watched == cmbSysExTable) {
    if (IsEnter(event)) {
      ApplyTableText();
      return true;
    }
    if (event->type() == QEvent::FocusOut && AppliesOnLeave(event)) ApplyTableText();
  } else if (watched == lbxSysEx && IsEnter(event)) {
    focusNextChild();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

// ---- with the named messages

TSysExInputDlg::TSysExInputDlg(TSysExParamNodes& nodes, const std::vector<std::string>& names,
                               const std::vector<std::string>& hexTexts, QWidget* parent)
    : TSysExDlg(nodes, parent) {
  setObjectName(QStringLiteral("SysExInputDlg"));
  const size_t n = std::min(names.size(), hexTexts.size());
  named_.Names.assign(names.begin(), names.begin() + static_cast<long>(n));
  named_.HexTexts.assign(hexTexts.begin(), hexTexts.begin() + static_cast<long>(n));
  updating_ = true;
  for (const std::string& name : named_.Names) cmbSysExDisp->addItem(Shown(name));
  cmbSysExDisp->setCurrentIndex(-1);
  updating_ = false;
  Refresh();
  connect(cmbSysExDisp, &QComboBox::activated, this, [this](int index) { ChooseNamedMessage(index); });
}

void TSysExInputDlg::ChooseNamedMessage(int index) {
  if (updating_ || index < 0 || index >= static_cast<int>(named_.HexTexts.size())) return;
  edSysExHexStr->setText(QString::fromStdString(named_.HexTexts[static_cast<size_t>(index)]));
  ApplyHexText();
}

std::string InputSysEx(TSysExParamNodes& nodes, const std::string& initialHex, QPoint at,
                       const std::vector<std::string>& names, const std::vector<std::string>& hexTexts,
                       QWidget* parent) {
  TSysExInputDlg dlg(nodes, names, hexTexts, parent);
  QScreen* screen = QGuiApplication::screenAt(at);
  if (!screen) screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
  if (screen) {
    // The frame is not known before the window is shown: leave room for a caption bar.
    const QSize size = dlg.size() + QSize(8, 32);
    dlg.move(KeepOnScreen(at, size, screen->availableGeometry()));
  }
  dlg.SetInitialText(initialHex);
  if (dlg.exec() != QDialog::Accepted) return {};
  return dlg.ResultText();
}

}  // namespace melko

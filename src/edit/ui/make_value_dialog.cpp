#include "edit/ui/make_value_dialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

#include "base/int_helpers.h"
#include "base/text_encoding.h"
#include "edit/make_values.h"

namespace melko {

namespace {
QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QLineEdit* e) { return e->text().toStdString(); }
constexpr const char* kHeads[kDynamicsHeadCount] = {"Tempo", "Velocity", "KyPrs", "ChPrs", "Bend"};
}  // namespace

// ---- TValueGraph ----

TValueGraph::TValueGraph(MakeValueSettings& settings, uint32_t length, QWidget* parent)
    : QWidget(parent), s_(settings), length_(length < 1 ? 1 : length) {
  setObjectName(QStringLiteral("pbGraph"));
  setFixedSize(sizeHint());
  setMouseTracking(false);
  auto label = [this](const char* name) {
    auto* l = new QLabel(this);
    l->setObjectName(QString::fromLatin1(name));
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
  };
  lbMin = label("lbMin");
  lbMid = label("lbMid");
  lbMax = label("lbMax");
  KindChanged();
}

QSize TValueGraph::sizeHint() const {
  // Below the graph: the range's start and length in ticks.
  return QSize(LeftMargin + (kGraphWidth - 1) * Scale + 12,
               TopMargin * 2 + kGraphHeight * Scale + 1 + fontMetrics().height());
}

QPoint TValueGraph::ToWidget(double px, double g) {
  return QPoint(LeftMargin + static_cast<int>(std::lround(px * Scale)),
                TopMargin + static_cast<int>(std::lround((kGraphHeight - g) * Scale)));
}

void TValueGraph::FromWidget(QPoint p, int& px, int& py) {
  px = static_cast<int>(ClampInt(std::lround(double(p.x() - LeftMargin) / Scale), 0, kGraphWidth - 1));
  py = static_cast<int>(std::lround(double(p.y() - TopMargin) / Scale));
}

void TValueGraph::KindChanged() {
  const std::array<int, 3> labels = AxisLabels(s_.KindIndex);
  const int h = fontMetrics().height();
  auto place = [&](QLabel* l, int value, int g) {
    l->setText(QString::number(value));
    l->setGeometry(0, ToWidget(0, g).y() - h / 2, LeftMargin - 8, h);
  };
  place(lbMin, labels[0], 0);
  place(lbMid, labels[1], GraphCentre(s_.KindIndex));
  place(lbMax, labels[2], kGraphHeight);
  update();
}

void TValueGraph::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing, true);
  const QRect area(ToWidget(0, kGraphHeight), ToWidget(kGraphWidth - 1, 0));
  p.fillRect(area, Qt::white);
  p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
  p.drawRect(area);
  // The quarters of the range, faint.
  p.setPen(QPen(QColor(0xE4, 0xE4, 0xE4), 1));
  for (int q = 1; q < 4; ++q) {
    const int x = ToWidget((kGraphWidth - 1) * q / 4.0, 0).x();
    p.drawLine(x, area.top() + 1, x, area.bottom() - 1);
  }
  auto hline = [&](int g, const QPen& pen) {
    p.setPen(pen);
    const int y = ToWidget(0, g).y();
    p.drawLine(area.left() + 1, y, area.right() - 1, y);
  };
  hline(GraphCentre(s_.KindIndex), QPen(QColor(0x90, 0x90, 0x90), 1, Qt::DashLine));
  hline(s_.Guide1, QPen(QColor(0x40, 0x90, 0xE0), 1, Qt::DotLine));
  hline(s_.Guide2, QPen(QColor(0x40, 0x90, 0xE0), 1, Qt::DotLine));

  // The curve as it will be applied: one point per graph pixel.
  const ValueCurve curve(s_, length_);
  QPainterPath path;
  for (int px = 0; px < kGraphWidth; ++px) {
    const uint32_t x = static_cast<uint32_t>(uint64_t(px) * length_ / (kGraphWidth - 1));
    const QPoint at = ToWidget(px, curve.GraphAt(x));
    if (px == 0) path.moveTo(at);
    else path.lineTo(at);
  }
  p.setPen(QPen(QColor(0xD0, 0x20, 0x20), 2));
  p.drawPath(path);

  p.setPen(palette().color(QPalette::WindowText));
  const int textTop = area.bottom() + 3, textHeight = fontMetrics().height();
  p.drawText(QRect(area.left(), textTop, area.width() / 2, textHeight), Qt::AlignLeft | Qt::AlignTop,
             QStringLiteral("0"));
  p.drawText(QRect(area.left() + area.width() / 2, textTop, area.width() / 2, textHeight), Qt::AlignRight | Qt::AlignTop,
             QStringLiteral("%1 ticks").arg(length_));

  if (s_.LineType == kLineSpline) {
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(0x20, 0x20, 0x80), 1));
    p.setBrush(dragging_ ? QColor(0xFF, 0xE0, 0x60) : QColor(0xA0, 0xC8, 0xFF));
    const int r = 3 * Scale;  // three graph pixels to each side
    for (const CurvePoint& cp : s_.Points) {
      const QPoint c = ToWidget(cp.X, kGraphHeight - cp.Y);
      p.drawRect(QRect(c.x() - r, c.y() - r, 2 * r, 2 * r));
    }
  }
}

void TValueGraph::Drag(QPoint at) {
  int px, py;
  FromWidget(at, px, py);
  bool changed = false;
  switch (s_.LineType) {
    case kLineSine: changed = DragSine(s_, px, py); break;
    case kLineSpline: changed = DragControlPoint(s_, point_, px, py); break;
    default: changed = DragStraight(s_, px, py); break;
  }
  if (changed) {
    update();
    emit Changed();
  }
}

void TValueGraph::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  dragging_ = true;
  if (s_.LineType == kLineSpline) {
    int px, py;
    FromWidget(e->position().toPoint(), px, py);
    point_ = PickControlPoint(s_, px, py);
  }
  Drag(e->position().toPoint());
  update();
}

void TValueGraph::mouseMoveEvent(QMouseEvent* e) {
  if (dragging_ && (e->buttons() & Qt::LeftButton)) Drag(e->position().toPoint());
}

void TValueGraph::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  dragging_ = false;
  point_ = -1;
  update();
}

// ---- TMakeValueDlg ----

TMakeValueDlg::TMakeValueDlg(MakeValueSettings& settings, std::vector<LinePreset>& presets, const NameTable& dynCtrl,
                             uint32_t length, QWidget* parent)
    : TToolDlg(QStringLiteral("MakeValues"), parent),
      s_(settings),
      work_(settings),
      presets_(presets),
      table_(dynCtrl),
      length_(length < 1 ? 1 : length) {
  CheckCurveSettings(work_);
  interval_ = static_cast<int>(CurveInterval(work_.Interval, length_));
  AskName = [this](QString& name) {
    bool ok = false;
    name = QInputDialog::getText(this, QStringLiteral("MakeValues"), QStringLiteral("名前を入力して下さい"),
                                 QLineEdit::Normal, QString(), &ok);
    return ok;
  };

  cmbData = new QComboBox(this);
  cmbData->setObjectName(QStringLiteral("cmbData"));
  // The list has the five heads in front; a table read without them gets them here.
  if (table_.Names.size() >= size_t(kDynamicsHeadCount) && table_.Names[0] == "Tempo") {
    for (const std::string& n : table_.Names) cmbData->addItem(Q(DisplayText(n)));
  } else {
    for (const char* h : kHeads) cmbData->addItem(QString::fromLatin1(h));
    for (const std::string& n : table_.Names) cmbData->addItem(Q(DisplayText(n)));
  }
  cmbData->setMaxVisibleItems(20);
  work_.KindIndex = static_cast<int>(ClampInt(work_.KindIndex, 0, cmbData->count() - 1));

  rbtStraight = new QRadioButton(QStringLiteral("Straight"), this);
  rbtStraight->setObjectName(QStringLiteral("rbtStraight"));
  rbtSine = new QRadioButton(QStringLiteral("Sine"), this);
  rbtSine->setObjectName(QStringLiteral("rbtSine"));
  rbtSpline = new QRadioButton(QStringLiteral("Spline"), this);
  rbtSpline->setObjectName(QStringLiteral("rbtSpline"));
  auto* lines = new QButtonGroup(this);
  lines->addButton(rbtStraight, kLineStraight);
  lines->addButton(rbtSine, kLineSine);
  lines->addButton(rbtSpline, kLineSpline);

  graph = new TValueGraph(work_, length_, this);

  // Boxes; each is checked when it is left, and Enter in it is OK.
  edInterval = AddBox("edInterval", [this] {
    const int v = static_cast<int>(ClampInt(StrToIntClamp(S(edInterval), interval_, 1, length_), 1, length_));
    if (v != interval_) intervalTouched_ = true;
    interval_ = v;
    ShowAll();
  });
  // A box is read when it loses the focus; Enter reads it and presses OK.
  auto CommitOn = [this](QLineEdit* box, std::function<void()> check) {
    connect(box, &QLineEdit::editingFinished, this, check);
    connect(box, &QLineEdit::returnPressed, this, [this, check] {
      check();
      Ok();
    });
  };
  auto endBox = [this, CommitOn](const char* name, int& end) {
    QLineEdit* box = AddBox(name, nullptr);
    disconnect(box, nullptr, this, nullptr);
    auto check = [this, box, &end] {
      int lo, hi;
      ValueRange(work_.KindIndex, lo, hi);
      const int old = GraphToValue(work_.KindIndex, end);
      const int64_t v = StrToIntClamp(box->text().toStdString(), old, lo, hi);
      if (v != old) {
        end = static_cast<int>(ClampInt(ValueToGraph(work_.KindIndex, v), 0, kGraphHeight));
        CheckCurveSettings(work_);
        graph->update();
      }
      ShowAll();
    };
    CommitOn(box, check);
    return box;
  };
  edFrom = endBox("edFrom", work_.From);
  edTo = endBox("edTo", work_.To);
  edFrq = AddBox("edFrq", [this] {
    bool ok = false;
    const double f = edFrq->text().trimmed().toDouble(&ok);
    if (ok && std::isfinite(f)) work_.Frequency = std::fmin(std::fmax(f, 0.0), kMaxFrequency);
    graph->update();
    ShowAll();
  });
  auto intBox = [this, CommitOn](const char* name, int& value, int lo, int hi) {
    QLineEdit* box = AddBox(name, nullptr);
    disconnect(box, nullptr, this, nullptr);
    auto check = [this, box, &value, lo, hi] {
      value = static_cast<int>(ClampInt(StrToIntClamp(box->text().toStdString(), value, lo, hi), lo, hi));
      graph->update();
      ShowAll();
    };
    CommitOn(box, check);
    return box;
  };
  edAmp = intBox("edAmp", work_.Amplitude, -128, 128);
  edPhase = intBox("edPhase", work_.Phase, -180, 180);
  edGuide1 = intBox("edGuide1", work_.Guide1, 0, kGraphHeight);
  edGuide2 = intBox("edGuide2", work_.Guide2, 0, kGraphHeight);

  auto step = [this](std::function<void()> change) {
    return [this, change] {
      change();
      CheckCurveSettings(work_);
      graph->update();
      ShowAll();
    };
  };
  auto endStep = [this](int& end, int d) {
    int lo, hi;
    GraphBounds(work_.KindIndex, lo, hi);
    end = static_cast<int>(AddClamp(end, d, std::min(lo, end), std::max(hi, end)));
  };
  tsbtIncInterval = Repeat("tsbtIncInterval", QStringLiteral("▲"), step([this] {
    interval_ = static_cast<int>(AddClamp(interval_, 1, 1, length_));
    intervalTouched_ = true;
  }));
  tsbtDecInterval = Repeat("tsbtDecInterval", QStringLiteral("▼"), step([this] {
    interval_ = static_cast<int>(AddClamp(interval_, -1, 1, length_));
    intervalTouched_ = true;
  }));
  tsbtIncFrom = Repeat("tsbtIncFrom", QStringLiteral("▲"), step([this, endStep] { endStep(work_.From, 1); }));
  tsbtDecFrom = Repeat("tsbtDecFrom", QStringLiteral("▼"), step([this, endStep] { endStep(work_.From, -1); }));
  tsbtIncTo = Repeat("tsbtIncTo", QStringLiteral("▲"), step([this, endStep] { endStep(work_.To, 1); }));
  tsbtDecTo = Repeat("tsbtDecTo", QStringLiteral("▼"), step([this, endStep] { endStep(work_.To, -1); }));
  tsbtIncFrq = Repeat("tsbtIncFrq", QStringLiteral("▲"), step([this] { work_.Frequency += 0.5; }));
  tsbtDecFrq = Repeat("tsbtDecFrq", QStringLiteral("▼"), step([this] { work_.Frequency -= 0.5; }));
  tsbtIncAmp = Repeat("tsbtIncAmp", QStringLiteral("▲"), step([this] { ++work_.Amplitude; }));
  tsbtDecAmp = Repeat("tsbtDecAmp", QStringLiteral("▼"), step([this] { --work_.Amplitude; }));
  tsbtIncPhase = Repeat("tsbtIncPhase", QStringLiteral("▲"), step([this] { work_.Phase += 15; }));
  tsbtDecPhase = Repeat("tsbtDecPhase", QStringLiteral("▼"), step([this] { work_.Phase -= 15; }));

  lbxPreset = new QListWidget(this);
  lbxPreset->setObjectName(QStringLiteral("lbxPreset"));
  lbxPreset->setMinimumWidth(170);
  sbtAdd = new QPushButton(QStringLiteral("追加"), this);
  sbtAdd->setObjectName(QStringLiteral("sbtAdd"));
  sbtModify = new QPushButton(QStringLiteral("変更"), this);
  sbtModify->setObjectName(QStringLiteral("sbtModify"));
  sbtDelete = new QPushButton(QStringLiteral("削除"), this);
  sbtDelete->setObjectName(QStringLiteral("sbtDelete"));
  for (QPushButton* b : {sbtAdd, sbtModify, sbtDelete}) b->setAutoDefault(false);

  // Layout: kind and line type on top, the graph with the presets beside
  // it, the boxes of the line type below.
  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("データ"), this));
  top->addWidget(cmbData, 1);
  top->addSpacing(12);
  top->addWidget(rbtStraight);
  top->addWidget(rbtSine);
  top->addWidget(rbtSpline);
  top->addSpacing(12);
  top->addWidget(new QLabel(QStringLiteral("間隔"), this));
  top->addWidget(edInterval);
  top->addWidget(tsbtDecInterval);
  top->addWidget(tsbtIncInterval);
  edInterval->setFixedWidth(64);

  auto pair = [this](QGridLayout* g, int row, int col, const QString& caption, QLineEdit* box, QToolButton* dec,
                     QToolButton* inc) {
    g->addWidget(new QLabel(caption, this), row, col);
    box->setFixedWidth(64);
    g->addWidget(box, row, col + 1);
    g->addWidget(dec, row, col + 2);
    g->addWidget(inc, row, col + 3);
  };
  pnlFromTo = new QWidget(this);
  pnlFromTo->setObjectName(QStringLiteral("pnlFromTo"));
  auto* ft = new QGridLayout(pnlFromTo);
  ft->setContentsMargins(0, 0, 0, 0);
  pair(ft, 0, 0, QStringLiteral("始点"), edFrom, tsbtDecFrom, tsbtIncFrom);
  ft->setColumnMinimumWidth(4, 16);
  pair(ft, 0, 5, QStringLiteral("終点"), edTo, tsbtDecTo, tsbtIncTo);
  ft->setColumnStretch(9, 1);
  pnlSine = new QWidget(this);
  pnlSine->setObjectName(QStringLiteral("pnlSine"));
  auto* sn = new QGridLayout(pnlSine);
  sn->setContentsMargins(0, 0, 0, 0);
  pair(sn, 0, 0, QStringLiteral("周波数"), edFrq, tsbtDecFrq, tsbtIncFrq);
  sn->setColumnMinimumWidth(4, 12);
  pair(sn, 0, 5, QStringLiteral("振幅"), edAmp, tsbtDecAmp, tsbtIncAmp);
  sn->setColumnMinimumWidth(9, 12);
  pair(sn, 0, 10, QStringLiteral("位相"), edPhase, tsbtDecPhase, tsbtIncPhase);
  sn->setColumnStretch(14, 1);

  auto* guides = new QHBoxLayout;
  guides->addWidget(new QLabel(QStringLiteral("ガイド 1"), this));
  edGuide1->setFixedWidth(48);
  guides->addWidget(edGuide1);
  guides->addSpacing(12);
  guides->addWidget(new QLabel(QStringLiteral("ガイド 2"), this));
  edGuide2->setFixedWidth(48);
  guides->addWidget(edGuide2);
  guides->addStretch(1);

  auto* left = new QVBoxLayout;
  left->addWidget(graph);
  left->addWidget(pnlFromTo);
  left->addWidget(pnlSine);
  left->addLayout(guides);
  left->addStretch(1);

  auto* presetBox = new QGroupBox(QStringLiteral("プリセット"), this);
  auto* pl = new QVBoxLayout(presetBox);
  pl->addWidget(lbxPreset, 1);
  auto* pb = new QHBoxLayout;
  pb->addWidget(sbtAdd);
  pb->addWidget(sbtModify);
  pb->addWidget(sbtDelete);
  pl->addLayout(pb);

  auto* middle = new QHBoxLayout;
  middle->addLayout(left);
  middle->addWidget(presetBox, 1);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  for (QAbstractButton* b : buttons->buttons())
    if (auto* p = qobject_cast<QPushButton*>(b)) {
      p->setAutoDefault(false);
      p->setDefault(false);
    }
  connect(buttons, &QDialogButtonBox::accepted, this, [this] { Ok(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(middle);
  layout->addWidget(buttons);

  connect(cmbData, &QComboBox::currentIndexChanged, this, [this](int) { KindChanged(); });
  connect(lines, &QButtonGroup::idClicked, this, [this](int id) {
    work_.LineType = id;
    LineChanged();
  });
  connect(graph, &TValueGraph::Changed, this, [this] { ShowAll(); });
  connect(lbxPreset, &QListWidget::currentRowChanged, this, [this](int row) { ChoosePreset(row); });
  // The preset already shown as chosen applies again when it is clicked.
  connect(lbxPreset, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) { ChoosePreset(lbxPreset->row(item)); });
  connect(sbtAdd, &QPushButton::clicked, this, [this] {
    QString name;
    if (!AskName || !AskName(name) || name.trimmed().isEmpty()) return;
    presets_.push_back(LinePresetOf(StoreText(name.toStdString()), work_));
    FillPresets();
    lbxPreset->setCurrentRow(static_cast<int>(presets_.size()) - 1);
  });
  connect(sbtModify, &QPushButton::clicked, this, [this] {
    const int row = lbxPreset->currentRow();
    if (row < 0 || row >= static_cast<int>(presets_.size())) return;
    presets_[size_t(row)] = LinePresetOf(presets_[size_t(row)].Name, work_);
  });
  connect(sbtDelete, &QPushButton::clicked, this, [this] {
    const int row = lbxPreset->currentRow();
    if (row < 0 || row >= static_cast<int>(presets_.size())) return;
    presets_.erase(presets_.begin() + row);
    updating_ = true;
    FillPresets();
    updating_ = false;
    work_.PresetIndex = std::min(row, static_cast<int>(presets_.size()) - 1);
    if (work_.PresetIndex >= 0) {
      updating_ = true;
      lbxPreset->setCurrentRow(work_.PresetIndex);
      updating_ = false;
    }
  });

  updating_ = true;
  FillPresets();
  if (work_.PresetIndex >= 0 && work_.PresetIndex < lbxPreset->count()) lbxPreset->setCurrentRow(work_.PresetIndex);
  cmbData->setCurrentIndex(work_.KindIndex);
  updating_ = false;
  ResolveCurveControl(work_, table_);
  graph->KindChanged();
  LineChanged();
}

TMakeValueDlg::~TMakeValueDlg() = default;

QToolButton* TMakeValueDlg::Repeat(const char* name, const QString& arrow, std::function<void()> step) {
  auto* b = new QToolButton(this);
  b->setObjectName(QString::fromLatin1(name));
  b->setText(arrow);
  b->setAutoRepeat(true);
  b->setAutoRepeatDelay(400);
  b->setAutoRepeatInterval(60);
  b->setFocusPolicy(Qt::NoFocus);
  connect(b, &QToolButton::clicked, this, step);
  return b;
}

void TMakeValueDlg::FillPresets() {
  lbxPreset->clear();
  for (const LinePreset& p : presets_) lbxPreset->addItem(Q(DisplayText(p.Name)));
}

void TMakeValueDlg::ShowAll() {
  if (updating_) return;
  updating_ = true;
  edInterval->setText(QString::number(interval_));
  edFrom->setText(QString::number(GraphToValue(work_.KindIndex, work_.From)));
  edTo->setText(QString::number(GraphToValue(work_.KindIndex, work_.To)));
  edFrq->setText(QString::number(work_.Frequency, 'g', 6));
  edAmp->setText(QString::number(work_.Amplitude));
  edPhase->setText(QString::number(work_.Phase));
  edGuide1->setText(QString::number(work_.Guide1));
  edGuide2->setText(QString::number(work_.Guide2));
  rbtStraight->setChecked(work_.LineType == kLineStraight);
  rbtSine->setChecked(work_.LineType == kLineSine);
  rbtSpline->setChecked(work_.LineType == kLineSpline);
  if (cmbData->currentIndex() != work_.KindIndex) cmbData->setCurrentIndex(work_.KindIndex);
  updating_ = false;
}

void TMakeValueDlg::KindChanged() {
  if (updating_) return;
  work_.KindIndex = std::max(0, cmbData->currentIndex());
  ResolveCurveControl(work_, table_);
  CheckCurveSettings(work_);
  graph->KindChanged();
  ShowAll();
}

void TMakeValueDlg::LineChanged() {
  pnlSine->setVisible(work_.LineType == kLineSine);
  pnlFromTo->setVisible(work_.LineType != kLineSine);
  graph->update();
  ShowAll();
}

void TMakeValueDlg::ChoosePreset(int row) {
  if (updating_ || row < 0 || row >= static_cast<int>(presets_.size())) return;
  ApplyLinePreset(presets_[size_t(row)], work_);
  work_.KindIndex = static_cast<int>(ClampInt(work_.KindIndex, 0, cmbData->count() - 1));
  work_.PresetIndex = row;
  ResolveCurveControl(work_, table_);
  updating_ = true;
  cmbData->setCurrentIndex(work_.KindIndex);
  updating_ = false;
  graph->KindChanged();
  LineChanged();
}

void TMakeValueDlg::ReadAll() {
  // Every box as if it were left, then everything back into the settings.
  for (QLineEdit* box : {edInterval, edFrom, edTo, edFrq, edAmp, edPhase, edGuide1, edGuide2})
    emit box->editingFinished();
  CheckCurveSettings(work_);
  const int interval = s_.Interval;
  s_ = work_;
  // An interval shortened only to fit a short range is not the user's
  // choice: the setting keeps its value unless the box was changed.
  s_.Interval = intervalTouched_ ? interval_ : interval;
}

void TMakeValueDlg::done(int result) {
  if (result != QDialog::Accepted) {
    s_.KindIndex = work_.KindIndex;
    s_.Control = work_.Control;
    s_.LineType = work_.LineType;
    s_.PresetIndex = work_.PresetIndex;
  }
  TToolDlg::done(result);
}

}  // namespace melko

#include "views/ui/score_gedit_panel.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "base/int_helpers.h"
#include "song/midi_event.h"
#include "song/song_maps.h"
#include "views/score_staff.h"
#include "views/ui/score_form.h"

namespace melko {

namespace {

constexpr int kBandTop = 4;  // the value box starts here; 128 pixels high
constexpr int kColumnWidth = 96;  // as the staff's header, so ticks line up
constexpr int kScaleWidth = 26;

// The labels 127, 64 and 0 beside the band.
class TGEditScale : public QWidget {
 public:
  explicit TGEditScale(QWidget* parent) : QWidget(parent) { setFixedWidth(kScaleWidth); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QFont f = font();
    f.setPointSizeF(std::max(6.0, f.pointSizeF() - 1));
    p.setFont(f);
    const int h = p.fontMetrics().ascent();
    for (int v : {127, 64, 0}) {
      const int y = std::clamp(kBandTop + kGEditBandHeight - v + h / 2 - 1, h, height() - 2);
      p.drawText(QRect(0, y - h, width() - 3, h + 2), Qt::AlignRight | Qt::AlignBottom, QString::number(v));
    }
  }
};

}  // namespace

TGEditPanel::TGEditPanel(TScoreForm& form) : QWidget(&form), form_(form) {
  setObjectName(QStringLiteral("pnlGEdit"));
  StepEntryState& st = form_.Step().State();
  auto* rows = new QVBoxLayout(this);
  rows->setContentsMargins(0, 0, 0, 0);
  rows->setSpacing(1);
  auto* controls = new QHBoxLayout;
  controls->setContentsMargins(2, 0, 2, 0);
  cmbData = new QComboBox(this);
  cmbData->setObjectName(QStringLiteral("cmbData"));
  cmbData->setToolTip(QStringLiteral("描くデータ"));
  cmbData->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  for (const char* head : {"Tempo", "Velocity", "KyPrs", "ChPrs", "Bend"}) cmbData->addItem(QString::fromLatin1(head));
  cmbLine = new QComboBox(this);
  cmbLine->setObjectName(QStringLiteral("cmbLine"));
  cmbLine->setToolTip(QStringLiteral("線の種類"));
  for (const char* line : {"FreeHand", "Straight", "Curve"}) cmbLine->addItem(QString::fromLatin1(line));
  edInterval = new QLineEdit(this);
  edInterval->setObjectName(QStringLiteral("edGEditInterval"));
  edInterval->setToolTip(QStringLiteral("作るイベントの間隔 (ティック, 1..999)"));
  edInterval->setFixedWidth(edInterval->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 14);
  auto label = [this](const char* text) { return new QLabel(QString::fromUtf8(text), this); };
  controls->addWidget(label("グラフィック編集"));
  controls->addSpacing(8);
  controls->addWidget(cmbData);
  controls->addWidget(cmbLine);
  controls->addWidget(label("間隔"));
  controls->addWidget(edInterval);
  controls->addWidget(label("ティック"));
  controls->addStretch(1);
  for (QWidget* w : {static_cast<QWidget*>(cmbData), static_cast<QWidget*>(cmbLine), static_cast<QWidget*>(edInterval)})
    w->setFocusPolicy(Qt::ClickFocus);
  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  auto* column = new QWidget(this);
  column->setFixedWidth(kColumnWidth);
  auto* columnRow = new QHBoxLayout(column);
  columnRow->setContentsMargins(0, 0, 0, 0);
  columnRow->addStretch(1);
  columnRow->addWidget(new TGEditScale(column));
  band_ = new TGEditBand(form_, *this);
  row->addWidget(column);
  row->addWidget(band_, 1);
  row->addSpacing(form_.scbScoreVert ? form_.scbScoreVert->sizeHint().width() : 16);
  rows->addLayout(controls);
  rows->addLayout(row);

  cmbData->setCurrentIndex(std::clamp(st.GEditKind, 0, cmbData->count() - 1));
  cmbLine->setCurrentIndex(std::clamp(st.GEditLine, 0, 2));
  edInterval->setText(QString::number(st.GEditInterval));
  connect(cmbData, &QComboBox::activated, this, [this](int i) {
    form_.Step().State().GEditKind = i;
    band_->update();
  });
  connect(cmbLine, &QComboBox::activated, this, [this](int i) { form_.Step().State().GEditLine = i; });
  connect(edInterval, &QLineEdit::editingFinished, this, [this] {
    StepEntryState& s = form_.Step().State();
    s.GEditInterval = int(StrToIntClamp(edInterval->text().toStdString(), s.GEditInterval, kGEditMinInterval,
                                        kGEditMaxInterval));
    edInterval->setText(QString::number(s.GEditInterval));
  });
}

void TGEditPanel::SetControllers(const NameTable& dynCtrl) {
  while (cmbData->count() > kDynamicsHeadCount) cmbData->removeItem(kDynamicsHeadCount);
  controls_.clear();
  for (int i = kDynamicsHeadCount; i < dynCtrl.Count && i < int(dynCtrl.Names.size()); ++i) {
    cmbData->addItem(QString::fromStdString(dynCtrl.Names[size_t(i)]));
    controls_.push_back(dynCtrl.Codes[size_t(i - kDynamicsHeadCount)] & 0x7F);
  }
  cmbData->setCurrentIndex(std::clamp(form_.Step().State().GEditKind, 0, cmbData->count() - 1));
}

int TGEditPanel::Kind() const { return CurveKindOf(cmbData->currentIndex()); }

int TGEditPanel::Control() const {
  const int i = cmbData->currentIndex() - kDynamicsHeadCount;
  return i >= 0 && i < int(controls_.size()) ? controls_[size_t(i)] : 7;
}

TGEditBand::TGEditBand(TScoreForm& form, TGEditPanel& panel) : QWidget(&panel), form_(form), panel_(panel) {
  setObjectName(QStringLiteral("imgGEdit"));
  setMouseTracking(true);
  setFixedHeight(kBandTop + kGEditBandHeight + 5);
}

QSize TGEditBand::sizeHint() const { return QSize(400, kBandTop + kGEditBandHeight + 5); }

uint32_t TGEditBand::TickAt(int x) const {
  return TickAtX(std::max(0, x), form_.ScrollOffset(), form_.PixelsPer16th(), form_.song_.TPQN);
}

int TGEditBand::XAt(uint32_t tick) const {
  return int(std::clamp<int64_t>(XOfTick(tick, form_.PixelsPer16th(), form_.song_.TPQN) - form_.ScrollOffset(),
                                 -10, width() + 10));
}

void TGEditBand::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), QColor(0xF4, 0xF4, 0xEE));
  const int y0 = kBandTop + kGEditBandHeight;
  p.setPen(QColor(0xC8, 0xC8, 0xC0));
  for (int v : {127, 64, 0}) p.drawLine(0, y0 - v, width(), y0 - v);
  // Measure lines as on the staff.
  const Song& song = form_.song_;
  const uint32_t from = TickAt(0), to = TickAt(width());
  p.setPen(QColor(0xB0, 0xB0, 0xA8));
  for (uint32_t m = song.Maps.TickToMeasure(from).Measure, n = 0; n < 4096; ++m, ++n) {
    const uint32_t t = song.Maps.MeasureToTick(m);
    if (t > to) break;
    if (t >= from) p.drawLine(XAt(t), kBandTop, XAt(t), y0);
  }
  // The kind's values on screen: bars for velocities and key pressures, a
  // step line for the streams.
  const int kind = panel_.Kind();
  const int t = kind == kCurveTempo ? 0 : form_.Tag();
  const TMidiData& data = song.Tracks[size_t(t)];
  index_.Update(data);
  const uint8_t status = kind == kCurveTempo    ? 0xFF
                         : kind == kCurveVelocity ? 0x90
                         : kind == kCurveKyPrs    ? 0xA0
                         : kind == kCurveChPrs    ? 0xD0
                         : kind == kCurveBend     ? 0xE0
                                                  : 0xB0;
  auto bandValue = [&](const TMidiEvent& ev) {
    switch (kind) {
      case kCurveTempo: return ev.Value ? int((60000000 / ev.Value - 4) / 2) : 0;
      case kCurveChPrs: return int(ev.Data1);
      case kCurveBend: return ((int(ev.Data2) << 7 | ev.Data1) - 8192) / 128 + 64;
      default: return int(ev.Data2);
    }
  };
  const bool bars = kind == kCurveVelocity || kind == kCurveKyPrs;
  const QColor ink(0x20, 0x50, 0xA0);
  p.setPen(QPen(ink, bars ? 2 : 1));
  int lastX = -1, lastY = -1;
  if (data.HasData() && index_.Matches(data)) {
    const TickIndex::Position pos = index_.Seek(data, int32_t(std::min<uint32_t>(from, 0x7FFFFFFF)));
    const uint8_t* q = data.Top() + pos.Body;
    const uint8_t* end = data.End();
    uint32_t tick = uint32_t(pos.Tick);
    bool first = true;
    while (q < end) {
      TMidiEvent ev;
      if (first) {
        DecodeBody(q, end, 0, ev);
        first = false;
      } else {
        DecodeEvent(q, end, 0, ev);
        tick = uint32_t(std::min<uint64_t>(uint64_t(tick) + ev.Time, 0x7FFFFFFF));
      }
      if (tick > to) break;
      if (ev.Status != status) continue;
      if (kind == kCurveTempo && ev.Data1 != 0x51) continue;
      if (kind >= kCurveControl && ev.Data1 != panel_.Control()) continue;
      const int x = XAt(tick);
      const int y = y0 - std::clamp(bandValue(ev), 0, kGEditBandHeight);
      if (bars) {
        p.drawLine(x, y0, x, y);
      } else {
        if (lastX >= 0) p.drawLine(lastX, lastY, x, lastY), p.drawLine(x, lastY, x, y);
        lastX = x;
        lastY = y;
      }
    }
  }
  if (!bars && lastX >= 0) p.drawLine(lastX, lastY, width(), lastY);
  // The path being drawn.
  const auto& pts = pen_.Points();
  if (!pts.empty()) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0xD0, 0x30, 0x20), 2));
    QPolygon line;
    for (const GEditPoint& pt : pts) line << QPoint(XAt(pt.Tick), y0 - pt.Value);
    if (line.size() == 1) p.drawEllipse(line[0], 2, 2);
    else p.drawPolyline(line);
  }
}

void TGEditBand::Press(const QPoint& pos) {
  pen_.Press(form_.Step().State().GEditLine, TickAt(pos.x()), GEditValueAtY(pos.y() - kBandTop));
  update();
}

void TGEditBand::Move(const QPoint& pos) {
  const uint32_t tick = TickAt(pos.x());
  const int v = GEditValueAtY(pos.y() - kBandTop);
  if (form_.edLoca) form_.edLoca->setText(QString::fromStdString(LocText(form_.song_.Maps, tick)));
  if (form_.edStep) form_.edStep->setText(QString::number(v));
  if (!pen_.Drawing()) return;
  pen_.Move(tick, v);
  update();
}

void TGEditBand::Release() {
  const std::vector<GEditPoint> path = pen_.Release();
  const StepEntryState& st = form_.Step().State();
  ApplyGEdit(form_.song_, form_.dispatcher_, form_.Tag(), panel_.Kind(), panel_.Control(), st.GEditInterval, path);
  form_.RefreshAll();
  update();
}

void TGEditBand::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton || !form_.Step().Palette.Pen || form_.MouseBlocked()) return;
  if (form_.sbtSync && form_.Hooks.IsPlaying && form_.Hooks.IsPlaying()) form_.sbtSync->setChecked(false);
  Press(e->position().toPoint());
}

void TGEditBand::mouseMoveEvent(QMouseEvent* e) { Move(e->position().toPoint()); }

void TGEditBand::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton && pen_.Drawing()) Release();
}

}  // namespace melko

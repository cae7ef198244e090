// The score's staff: the fixed header (clef, key, meter) and imgStaff's
// painting and mouse rules. Part of TScoreForm (score_form.h).
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "edit/edit_range.h"
#include "views/score_staff.h"
#include "views/ui/music_font.h"
#include "views/ui/score_form.h"

namespace melko {

namespace {

constexpr int kHeaderWidth = 96;
const QColor kInk(0x10, 0x10, 0x10);
const QColor kStaffLine(0x30, 0x30, 0x30);
const QColor kGridLine(0xE4, 0xE8, 0xF0);
const QColor kCursor(0x20, 0x60, 0xE0);
const QColor kPaper(0xFF, 0xFE, 0xF8);

// The steps of a key signature's accidentals on the treble staff (bass: 14 lower).
constexpr int kSharpSteps[7] = {45, 42, 46, 43, 40, 44, 41};
constexpr int kFlatSteps[7] = {41, 44, 40, 43, 39, 42, 38};

QString Q(const std::string& s) { return QString::fromStdString(s); }

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

QWidget* MakeStaffHeader(TScoreForm& form) { return new TStaffHeader(form); }


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

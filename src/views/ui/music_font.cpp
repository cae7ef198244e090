#include "views/ui/music_font.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <cstdlib>

namespace melko {

QString FindMusicFontFile() {
  static const QString found = [] {
    if (const char* env = std::getenv("MELKO_MUSIC_FONT"); env && QFileInfo(QString::fromLocal8Bit(env)).isFile())
      return QString::fromLocal8Bit(env);
    // lilypond-fonts keeps one folder per version.
    for (const QString& root : {QStringLiteral("/usr/share/lilypond"), QStringLiteral("/usr/local/share/lilypond")}) {
      QDir dir(root);
      QStringList versions = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
      for (const QString& v : versions) {
        const QString f = root + "/" + v + "/fonts/otf/emmentaler-20.otf";
        if (QFileInfo(f).isFile()) return f;
      }
    }
    return QString();
  }();
  return found;
}

namespace {
QString LoadedFamily() {
  static const QString family = [] {
    const QString file = FindMusicFontFile();
    if (file.isEmpty()) return QString();
    const int id = QFontDatabase::addApplicationFont(file);
    if (id < 0) return QString();
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    return families.isEmpty() ? QString() : families.front();
  }();
  return family;
}
}  // namespace

MusicFont::MusicFont(int staffSpace) : space_(std::max(2, staffSpace)) {
  const QString family = LoadedFamily();
  if (!family.isEmpty()) {
    font_ = QFont(family);
    font_.setPixelSize(space_ * 4);
    font_.setStyleStrategy(QFont::StyleStrategy(QFont::NoFontMerging | QFont::PreferAntialias));
    font_.setHintingPreference(QFont::PreferNoHinting);
    loaded_ = QFontMetricsF(font_).inFont(QChar(kGlyphHeadBlack));
    path_ = FindMusicFontFile();
  }
}

double MusicFont::Width(char16_t glyph) const {
  if (loaded_) return QFontMetricsF(font_).horizontalAdvance(QChar(glyph));
  switch (glyph) {
    case kGlyphClefG:
    case kGlyphClefF: return space_ * 2.6;
    case kGlyphHeadWhole: return space_ * 1.9;
    case kGlyphSharp:
    case kGlyphFlat:
    case kGlyphNatural: return space_ * 1.0;
    default: return space_ * 1.3;
  }
}

void MusicFont::Draw(QPainter& p, const QPointF& at, char16_t glyph) const {
  if (!loaded_) {
    DrawFallback(p, at, glyph);
    return;
  }
  p.save();
  p.setFont(font_);
  p.drawText(at, QString(QChar(glyph)));
  p.restore();
}

// Plain shapes: readable, if not engraved.
void MusicFont::DrawFallback(QPainter& p, const QPointF& at, char16_t glyph) const {
  const double s = space_;
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QColor ink = p.pen().color();
  QFont text;
  text.setPixelSize(int(s * 2));
  text.setBold(true);
  p.setFont(text);
  auto letter = [&](const QString& t, double dy) { p.drawText(at + QPointF(0, dy), t); };
  switch (glyph) {
    case kGlyphHeadBlack:
    case kGlyphHeadHalf:
    case kGlyphHeadWhole: {
      p.setBrush(glyph == kGlyphHeadBlack ? QBrush(ink) : Qt::NoBrush);
      p.setPen(QPen(ink, 1.2));
      const double w = glyph == kGlyphHeadWhole ? s * 1.9 : s * 1.3;
      p.drawEllipse(QRectF(at.x(), at.y() - s / 2, w, s));
      break;
    }
    case kGlyphClefG: letter(QStringLiteral("G"), s * 0.7); break;
    case kGlyphClefF: letter(QStringLiteral("F"), s * 0.7); break;
    case kGlyphSharp: letter(QStringLiteral("#"), s * 0.7); break;
    case kGlyphFlat: letter(QStringLiteral("b"), s * 0.5); break;
    case kGlyphNatural: letter(QString(QChar(0x266E)), s * 0.7); break;
    case kGlyphDot: p.setBrush(ink); p.drawEllipse(at + QPointF(s * 0.2, 0), s * 0.2, s * 0.2); break;
    case kGlyphRestWhole: p.fillRect(QRectF(at.x(), at.y(), s * 1.4, s * 0.5), ink); break;
    case kGlyphRestHalf: p.fillRect(QRectF(at.x(), at.y() - s * 0.5, s * 1.4, s * 0.5), ink); break;
    default:
      if (glyph >= kGlyphFlagUp8 && glyph <= kGlyphFlagDown8 + 3) {
        const bool up = glyph < kGlyphFlagDown8;
        p.setPen(QPen(ink, 1.5));
        p.drawLine(at, at + QPointF(s, up ? s * 1.5 : -s * 1.5));
      } else {
        // Rests from the quarter down: a slanted stroke with a hook.
        p.setPen(QPen(ink, 1.5));
        p.drawLine(at + QPointF(s * 0.8, -s), at + QPointF(0, s));
        p.drawLine(at + QPointF(0, -s * 0.4), at + QPointF(s * 0.8, -s));
      }
  }
  p.restore();
}

}  // namespace melko

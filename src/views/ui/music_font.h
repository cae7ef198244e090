// The music font the score draws with: Emmentaler (Debian's lilypond-fonts)
// found at run time, or a font named by MELKO_MUSIC_FONT. Without one the
// score still draws, with plain shapes and letters in place of the glyphs.
// UI thread (Qt fonts).
#pragma once

#include <QFont>
#include <QString>

class QPainter;
class QPointF;

namespace melko {

// Code points of the glyphs in Emmentaler.
enum MusicGlyph : char16_t {
  kGlyphClefG = 0xE085,
  kGlyphClefF = 0xE083,
  kGlyphHeadWhole = 0xE0E8,
  kGlyphHeadHalf = 0xE0E9,
  kGlyphHeadBlack = 0xE0EA,
  kGlyphFlagUp8 = 0xE0D2,   // up to 64th: +0..+3
  kGlyphFlagDown8 = 0xE0DA,
  kGlyphRestWhole = 0xE000,
  kGlyphRestHalf = 0xE001,
  kGlyphRestQuarter = 0xE008,
  kGlyphRest8 = 0xE00B,     // up to 64th: +0..+3
  kGlyphSharp = 0xE013,
  kGlyphFlat = 0xE021,
  kGlyphNatural = 0xE01D,
  kGlyphDot = 0xE038,
};

class MusicFont {
 public:
  // Looks for the font once per process; staffSpace is the distance of two
  // staff lines in pixels (the font's em is four of them).
  explicit MusicFont(int staffSpace);
  bool HasFont() const { return loaded_; }
  const QString& Path() const { return path_; }
  int StaffSpace() const { return space_; }
  const QFont& Font() const { return font_; }
  // Draws a glyph with its origin at `at` (as the font places it on the staff).
  void Draw(QPainter& p, const QPointF& at, char16_t glyph) const;
  // Width of a glyph in pixels.
  double Width(char16_t glyph) const;

 private:
  void DrawFallback(QPainter& p, const QPointF& at, char16_t glyph) const;
  bool loaded_ = false;
  QString path_;
  int space_;
  QFont font_;
};

// Where the font was found ("" when not); the first call searches.
QString FindMusicFontFile();

}  // namespace melko

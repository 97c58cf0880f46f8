// Fonts of the header and the window: TFont as the window layout gives it
// (face name, height in pixels, colour, style) and the faces that stand in
// for the ones this platform lacks.
//
// "MS Sans Serif" is drawn with Liberation Sans (metric-compatible with the
// common Windows sans face, carries Cyrillic), falling back to DejaVu Sans;
// "Wingdings" has no free equivalent and is drawn with DejaVu Sans, whose
// symbol ranges are the richest at hand. The stored names stay as written,
// so a layout reads back what it was given.
#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

#include "Colors.h"

namespace vizuvod {

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };

class TFont {
 public:
  // The framework's default font: "MS Sans Serif", 8 points at 96 dpi.
  QString Name = QStringLiteral("MS Sans Serif");
  // Negative: character height in pixels (the em, without internal
  // leading), the form layouts store; positive: cell height in pixels.
  int Height = -11;
  TColor Color = clWindowText;
  unsigned Style = 0;

  int Size() const;          // points at 96 dpi
  void SetSize(int points);  // sets Height to -points * 96 / 72
  void Assign(const TFont& source) { *this = source; }
  bool operator==(const TFont&) const = default;

  // The face this platform draws the font with, sized in pixels so that
  // rendering does not depend on the screen's dots per inch.
  QFont ToQFont() const;
};

// The faces tried, in order, for a stored face name.
QStringList SubstituteFamilies(const QString& name);

// The application's default font: "MS Sans Serif", height -11, as the
// window and its controls use it.
QFont DefaultUiFont();

}  // namespace vizuvod

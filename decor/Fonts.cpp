// Face substitution and TFont -> QFont, in pixel sizes.
#include "Fonts.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

#include "Canvas.h"  // MulDiv

namespace vizuvod {

int TFont::Size() const { return -MulDiv(Height, 72, 96); }

void TFont::SetSize(int points) { Height = -MulDiv(points, 96, 72); }

QStringList SubstituteFamilies(const QString& name) {
  if (name.compare(QLatin1String("MS Sans Serif"), Qt::CaseInsensitive) == 0 ||
      name.compare(QLatin1String("MS Shell Dlg"), Qt::CaseInsensitive) == 0)
    return {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")};
  if (name.compare(QLatin1String("Wingdings"), Qt::CaseInsensitive) == 0)
    return {QStringLiteral("DejaVu Sans")};
  return {name, QStringLiteral("DejaVu Sans")};
}

QFont TFont::ToQFont() const {
  QFont font;
  font.setFamilies(SubstituteFamilies(Name));
  font.setStyleHint(QFont::SansSerif);
  font.setBold(Style & fsBold);
  font.setItalic(Style & fsItalic);
  font.setUnderline(Style & fsUnderline);
  font.setStrikeOut(Style & fsStrikeOut);
  font.setHintingPreference(QFont::PreferFullHinting);
  font.setKerning(false);
  if (Height < 0) {
    font.setPixelSize(-Height);
  } else if (Height > 0) {
    // A cell height: scale the em so that ascent + descent comes to it.
    font.setPixelSize(Height);
    const int cell = QFontMetrics(font).height();
    if (cell > 0) font.setPixelSize(std::max(1, int(std::lround(double(Height) * Height / cell))));
  } else {
    font.setPixelSize(11);
  }
  return font;
}

QFont DefaultUiFont() { return TFont().ToQFont(); }

}  // namespace vizuvod

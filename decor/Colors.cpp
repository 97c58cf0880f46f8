// System colours from the application palette, with the classic scheme as
// the fallback for indices the palette has no role for.
#include "Colors.h"

#include <QGuiApplication>
#include <QPalette>
#include <array>
#include <optional>

namespace vizuvod {

namespace {

// The platform's classic colour scheme, index by index.
constexpr std::array<TColorValue, 25> ClassicScheme = {
    RGBColor(212, 208, 200), RGBColor(58, 110, 165),  RGBColor(10, 36, 106),
    RGBColor(128, 128, 128), RGBColor(212, 208, 200), RGBColor(255, 255, 255),
    RGBColor(0, 0, 0),       RGBColor(0, 0, 0),       RGBColor(0, 0, 0),
    RGBColor(255, 255, 255), RGBColor(212, 208, 200), RGBColor(212, 208, 200),
    RGBColor(128, 128, 128), RGBColor(10, 36, 106),   RGBColor(255, 255, 255),
    RGBColor(212, 208, 200), RGBColor(128, 128, 128), RGBColor(128, 128, 128),
    RGBColor(0, 0, 0),       RGBColor(212, 208, 200), RGBColor(255, 255, 255),
    RGBColor(64, 64, 64),    RGBColor(212, 208, 200), RGBColor(0, 0, 0),
    RGBColor(255, 255, 225),
};

std::optional<QPalette::ColorRole> PaletteRole(int index) {
  switch (index) {
    case COLOR_WINDOW: return QPalette::Base;
    case COLOR_WINDOWTEXT: return QPalette::Text;
    case COLOR_MENU:
    case COLOR_BTNFACE: return QPalette::Button;
    case COLOR_MENUTEXT:
    case COLOR_BTNTEXT: return QPalette::ButtonText;
    case COLOR_HIGHLIGHT: return QPalette::Highlight;
    case COLOR_HIGHLIGHTTEXT: return QPalette::HighlightedText;
    case COLOR_BTNSHADOW: return QPalette::Dark;
    case COLOR_BTNHIGHLIGHT: return QPalette::Light;
    case COLOR_3DDKSHADOW: return QPalette::Shadow;
    case COLOR_3DLIGHT: return QPalette::Midlight;
    case COLOR_INFOTEXT: return QPalette::ToolTipText;
    case COLOR_INFOBK: return QPalette::ToolTipBase;
    default: return std::nullopt;
  }
}

}  // namespace

TColorValue GetSysColor(int index) {
  if (index < 0 || index >= int(ClassicScheme.size())) return 0;
  if (qGuiApp) {
    if (const auto role = PaletteRole(index)) {
      const QColor c = QGuiApplication::palette().color(QPalette::Active, *role);
      return RGBColor(c.red(), c.green(), c.blue());
    }
  }
  return ClassicScheme[std::size_t(index)];
}

}  // namespace vizuvod

// TColor and the system colours: the colour values the header, the gradient
// and the window layout are written in.
//
// A value with its top bit set names a system colour by its index in the low
// byte; it is resolved through the application palette, so the header
// follows the desktop's colour scheme the way the original followed the
// platform's.
#pragma once

#include <cstdint>

#include "core/Bitmap.h"  // TColorValue, RGBColor, RedOf, GreenOf, BlueOf

namespace vizuvod {

using TColor = std::uint32_t;

// System colour indices (the platform's COLOR_* numbers).
// clang-format off
enum TSysColorIndex : int {
  COLOR_SCROLLBAR = 0, COLOR_BACKGROUND = 1, COLOR_ACTIVECAPTION = 2, COLOR_INACTIVECAPTION = 3,
  COLOR_MENU = 4, COLOR_WINDOW = 5, COLOR_WINDOWFRAME = 6, COLOR_MENUTEXT = 7,
  COLOR_WINDOWTEXT = 8, COLOR_CAPTIONTEXT = 9, COLOR_ACTIVEBORDER = 10, COLOR_INACTIVEBORDER = 11,
  COLOR_APPWORKSPACE = 12, COLOR_HIGHLIGHT = 13, COLOR_HIGHLIGHTTEXT = 14, COLOR_BTNFACE = 15,
  COLOR_BTNSHADOW = 16, COLOR_GRAYTEXT = 17, COLOR_BTNTEXT = 18, COLOR_INACTIVECAPTIONTEXT = 19,
  COLOR_BTNHIGHLIGHT = 20, COLOR_3DDKSHADOW = 21, COLOR_3DLIGHT = 22, COLOR_INFOTEXT = 23,
  COLOR_INFOBK = 24,
};
// clang-format on

inline constexpr TColor clSystemColor = 0x80000000u;
inline constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
inline constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
inline constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
inline constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
inline constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
inline constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
inline constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
inline constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clWhite = 0xFFFFFF;

// GetSysColor: the current colour of a system colour index, from the
// application palette while an application object exists, else the
// platform's classic scheme. Unknown indices give black.
TColorValue GetSysColor(int index);

// ColorToRGB: a system colour resolved, any other value unchanged.
inline TColorValue ColorToRGB(TColor color) {
  return (color & clSystemColor) ? GetSysColor(int(color & 0xFF)) : TColorValue(color);
}

}  // namespace vizuvod

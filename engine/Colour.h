// Colours described by an ICC profile (a phone's Display P3, Adobe RGB)
// turned into sRGB, which is what a result without its profile is shown as.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Bitmap.h"

namespace vizuvod {

// True when the profile describes sRGB itself: nothing to convert.
bool IsSrgbProfile(const std::vector<std::uint8_t>& profile);

// Converts the picture's colours from `profile` to sRGB with lcms2,
// perceptual intent (a palette picture through its palette). Returns "" when
// done, else why the profile was not applied; the picture is then as it was.
std::string ConvertToSrgb(TBitmap& picture, const std::vector<std::uint8_t>& profile);

}  // namespace vizuvod

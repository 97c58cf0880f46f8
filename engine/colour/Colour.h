// Colours described by an ICC profile (a phone's Display P3, Adobe RGB)
// turned into sRGB, which is what a result without its profile is shown as.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/Bitmap.h"

namespace vizuvod {

// True when the profile describes sRGB itself: nothing to convert.
bool IsSrgbProfile(const std::vector<std::uint8_t>& profile);

// Colours described by numbers, as HEIF and AVIF files do (nclx): the
// chromaticities of the primaries and the white point, and the transfer
// characteristics' code point (1 BT.709, 13 sRGB, 16 PQ, 18 HLG...).
struct TCodedColours {
  double red[2], green[2], blue[2], white[2];
  int transfer = 2;
};

// An ICC profile (primaries and curves) of those colours, for ConvertToSrgb;
// empty for sRGB's own primaries with a transfer of ordinary pictures. The
// high dynamic range ones (PQ, HLG) are brought down to a picture's range:
// their reference white becomes 75 % of the result's white, what lies above
// rolls off towards white.
std::vector<std::uint8_t> ProfileOfCodedColours(const TCodedColours& colours);

// Converts the picture's colours from `profile` to sRGB with lcms2,
// perceptual intent (a palette picture through its palette). Returns "" when
// done, else why the profile was not applied; the picture is then as it was.
std::string ConvertToSrgb(TBitmap& picture, const std::vector<std::uint8_t>& profile);

// True for a profile of printing inks (CMYK), which no RGB result may carry.
bool IsInkProfile(const std::vector<std::uint8_t>& profile);

// A row of four bytes a pixel (cyan, magenta, yellow, black; 255 = no ink
// when inverted, as files with Adobe's marker store them) into blue, green,
// red, through lcms2 from a CMYK profile to sRGB, perceptual intent.
using TInkRows =
    std::function<void(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted)>;
// Null when lcms2 cannot read the profile or it is not a CMYK one.
TInkRows InkToSrgb(const std::vector<std::uint8_t>& profile);

// The same conversion made once and applied to rows as they come: pixels of
// blue, green, red, `step` bytes apart (3, or 4 for pfDevice rows).
class TSrgbConversion {
 public:
  explicit TSrgbConversion(const std::vector<std::uint8_t>& profile);
  ~TSrgbConversion();
  TSrgbConversion(const TSrgbConversion&) = delete;
  TSrgbConversion& operator=(const TSrgbConversion&) = delete;
  // Why the profile cannot be applied; "" when it can.
  const std::string& Refusal() const { return refusal_; }
  void Convert(std::uint8_t* pixels, int width, int step) const;

 private:
  struct TState;
  std::unique_ptr<TState> state_;
  std::string refusal_;
};

}  // namespace vizuvod

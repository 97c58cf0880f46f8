#include "photo/ResizeSettings.h"

#include <cmath>

#include "core/Errors.h"
#include "core/Warnings.h"
#include "resample/EnlargeArithmetic.h"

namespace vizuvod {

namespace {

// Round to nearest, halves to even, in the precision the value carries.
int RoundHalfEven(long double value) { return static_cast<int>(std::nearbyint(value)); }

// A side that rounds to 0 (1 % of a photo 40 rows high) would leave the
// resampler without a picture; the thinnest picture that exists is 1.
int AtLeastOne(int side) { return side < 1 ? 1 : side; }

}  // namespace

TFixedSettings TFixedSettings::Percent(int p) {
  TFixedSettings s;
  s.mode = TResizeMode::rmPercent;
  s.percent = p;
  return s;
}

TFixedSettings TFixedSettings::FitWidth(int n) {
  TFixedSettings s;
  s.mode = TResizeMode::rmPixels;
  s.pixels = n;
  s.fitSide = FitWidthItem;
  return s;
}

TFixedSettings TFixedSettings::FitHeight(int n) {
  TFixedSettings s = FitWidth(n);
  s.fitSide = FitHeightItem;
  return s;
}

bool TFixedSettings::operator==(const TFixedSettings& b) const {
  return mode == b.mode && percent == b.percent && pixels == b.pixels && fitSide == b.fitSide;
}

std::optional<std::string> RunSettingsWarning(const TRunSettings& settings) {
  if (settings.Mode() == TResizeMode::rmPercent) {
    if (settings.P() <= 0) return PercentNotPositiveWarning;
  } else if (settings.N() <= 0) {
    return PixelsNotPositiveWarning;
  }
  return std::nullopt;
}

std::optional<std::string> SettingsPageWarning(const TRunSettings& settings) {
  if (settings.Mode() == TResizeMode::rmPercent) {
    if (settings.P() == 100) return Percent100Warning;
  } else if (const std::string side = settings.FitSideText();
             side != settings.FitSideItem(0) && side != settings.FitSideItem(1)) {
    return FitSideWarning;
  }
  return std::nullopt;
}

std::optional<TResizeCase> SelectCase(int k, const TRunSettings& settings, int SW, int SH) {
  TResizeCase c;
  c.k = k;
  auto enlarge = [&](const char* mode, float scaleX, float scaleY, float toWidth, float toHeight) {
    c.mode = mode;
    c.scaleX = scaleX, c.scaleY = scaleY, c.toWidth = toWidth, c.toHeight = toHeight;
    const auto g = enlarge_detail::Geometry(mode, scaleX, scaleY, toWidth, toHeight, SW, SH);
    c.width = g.EW, c.height = g.EH;
  };
  const bool percent = settings.Mode() == TResizeMode::rmPercent;
  if (k == 0 && percent && settings.P() < 100) {
    const int P = settings.P();
    if (P <= 0) throw EInvalidArgument(PercentNotPositiveWarning);
    const long double scale = P / 100.0L;
    c.shrink = true;
    c.width = AtLeastOne(RoundHalfEven(SW * scale));
    c.height = AtLeastOne(RoundHalfEven(SH * scale));
    return c;
  }
  if (k == 1 && percent && settings.P() > 100) {
    const float scale = static_cast<float>(settings.P() / 100.0L);
    enlarge("percent", scale, scale, 0, 0);
    return c;
  }
  const bool width = k == 2, height = k == 3;
  if (percent || !(width || height) ||
      settings.FitSideText() != settings.FitSideItem(width ? 0 : 1))
    return std::nullopt;
  const int N = settings.N();
  if (N <= 0) throw EInvalidArgument(PixelsNotPositiveWarning);
  const int along = width ? SW : SH, across = width ? SH : SW;
  if (along > N) {
    const long double ratio = static_cast<long double>(N) / along;
    const int other = AtLeastOne(RoundHalfEven(ratio * across));
    c.shrink = true;
    c.width = width ? N : other;
    c.height = width ? other : N;
  } else if (width) {
    enlarge("size", 0, 0, static_cast<float>(N), 0);
  } else {
    enlarge("size", 0, 0, 0, static_cast<float>(N));
  }
  return c;
}

}  // namespace vizuvod

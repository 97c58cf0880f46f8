// Target sizes of vizuvod-batch and the wizard's resampling of one decoded
// picture. The size arithmetic is the batch run's: extended precision,
// halves rounded to even, so the sizes (and therefore the bytes) match.
#include "TargetSize.h"

#include <cmath>
#include <memory>

#include "EnlargeBitmap.h"
#include "Errors.h"
#include "ShrinkBitmap.h"

namespace {

int RoundHalfEven(long double value) { return static_cast<int>(std::nearbyint(value)); }
int AtLeastOne(int side) { return side < 1 ? 1 : side; }

std::optional<int> PositiveNumber(const std::string& text) {
  if (text.empty() || text.size() > 9) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value <= 0) return std::nullopt;
  return value;
}

TBitmap Shrunk(const TBitmap& source, int width, int height, const TRowHooks& hooks) {
  TBitmap S = source;  // shares the pixels; a grey picture is converted in the copy only
  TBitmap D;
  TBitmap* R = nullptr;
  D.SetSize(width, height);
  ShrinkBitmap(S, D, R, hooks);
  return std::move(*R);
}

TBitmap Enlarged(const TBitmap& source, const std::string& mode, float scaleX, float scaleY,
                 float width, float height, const TRowHooks& hooks) {
  auto V = std::make_shared<TBitmap>(source);
  EnlargeBitmap(V, mode, scaleX, scaleY, width, height, hooks);
  return std::move(*V);
}

}  // namespace

std::optional<TSizeRequest> ParseFitBox(const std::string& text) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return std::nullopt;
  const auto width = PositiveNumber(text.substr(0, x));
  const auto height = PositiveNumber(text.substr(x + 1));
  if (!width || !height) return std::nullopt;
  return TSizeRequest{TSizeKind::skFit, *width, *height};
}

TFixedSettings WizardSettingsFor(const TSizeRequest& size, int width, int height,
                                 bool noEnlarge) {
  TFixedSettings s;
  switch (size.kind) {
    case TSizeKind::skPercent: s = TFixedSettings::Percent(size.value); break;
    case TSizeKind::skWidth: s = TFixedSettings::FitWidth(size.value); break;
    case TSizeKind::skHeight: s = TFixedSettings::FitHeight(size.value); break;
    case TSizeKind::skFit:
      // The width decides when box width / photo width <= box height /
      // photo height, compared exactly in integers.
      s = std::int64_t(size.value) * height <= std::int64_t(size.height) * width
              ? TFixedSettings::FitWidth(size.value)
              : TFixedSettings::FitHeight(size.height);
      break;
    case TSizeKind::skLongEdge:
      s = width >= height ? TFixedSettings::FitWidth(size.value)
                          : TFixedSettings::FitHeight(size.value);
      break;
  }
  if (!noEnlarge) return s;
  const bool byHeight = s.mode == TResizeMode::rmPixels && s.fitSide == FitHeightItem;
  const bool atOrBelow = s.mode == TResizeMode::rmPercent ? s.percent >= 100
                         : byHeight                       ? height <= s.pixels
                                                          : width <= s.pixels;
  if (!atOrBelow) return s;
  return byHeight ? TFixedSettings::FitHeight(height) : TFixedSettings::FitWidth(width);
}

std::optional<TBitmap> ResampledPicture(const TBitmap& S, const TRunSettings& settings,
                                        const TRowHooks& hooks) {
  if (const auto warning = RunSettingsWarning(settings)) throw EInvalidArgument(*warning);
  if (settings.Mode() == TResizeMode::rmPercent) {
    const int P = settings.P();
    if (P < 100) {
      const long double scale = P / 100.0L;
      return Shrunk(S, AtLeastOne(RoundHalfEven(S.Width() * scale)),
                    AtLeastOne(RoundHalfEven(S.Height() * scale)), hooks);
    }
    if (P > 100) {
      const float scale = static_cast<float>(P / 100.0L);
      return Enlarged(S, "percent", scale, scale, 0, 0, hooks);
    }
    return std::nullopt;
  }
  const int N = settings.N();
  if (settings.FitSideText() == settings.FitSideItem(0)) {
    if (S.Width() > N) {
      const long double ratio = static_cast<long double>(N) / S.Width();
      return Shrunk(S, N, AtLeastOne(RoundHalfEven(ratio * S.Height())), hooks);
    }
    return Enlarged(S, "size", 0, 0, static_cast<float>(N), 0, hooks);
  }
  if (settings.FitSideText() == settings.FitSideItem(1)) {
    if (S.Height() > N) {
      const long double ratio = static_cast<long double>(N) / S.Height();
      return Shrunk(S, AtLeastOne(RoundHalfEven(ratio * S.Width())), N, hooks);
    }
    return Enlarged(S, "size", 0, 0, 0, static_cast<float>(N), hooks);
  }
  return std::nullopt;
}

// Target sizes of vizuvod-batch: a fit or a long edge picks the side that
// decides, compared exactly in integers; the size itself is then the
// wizard's own arithmetic, in the batch run.
#include "photo/TargetSize.h"

#include <cstdint>

namespace vizuvod {

namespace {

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

}  // namespace

std::optional<TSizeRequest> ParseFitBox(const std::string& text, TSizeKind kind) {
  const std::size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return std::nullopt;
  const auto width = PositiveNumber(text.substr(0, x));
  const auto height = PositiveNumber(text.substr(x + 1));
  if (!width || !height) return std::nullopt;
  return TSizeRequest{kind, *width, *height};
}

TFixedSettings WizardSettingsFor(const TSizeRequest& size, int width, int height, bool noEnlarge) {
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
    case TSizeKind::skFill: {
      // The width run's height, by the run's own arithmetic.
      const auto widthRun = SelectCase(2, TFixedSettings::FitWidth(size.value), width, height);
      s = widthRun && widthRun->height >= size.height ? TFixedSettings::FitWidth(size.value)
                                                      : TFixedSettings::FitHeight(size.height);
      return s;  // a box to fill is filled, never left smaller
    }
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

}  // namespace vizuvod

// The sizes vizuvod-batch offers beyond the wizard's (a box to fit in, the
// long edge, never enlarging), each turned into the wizard's own settings for
// one photo, so a result of such a size is byte for byte the wizard's result
// of that size.
#pragma once

#include <optional>
#include <string>

#include "photo/ResizeSettings.h"

namespace vizuvod {

enum class TSizeKind {
  skPercent,   // the wizard's percentage
  skWidth,     // the wizard's "По ширине"
  skHeight,    // the wizard's "По высоте"
  skFit,       // inside a box of width x height, proportions kept
  skLongEdge,  // the longer side becomes value
  skFill,      // covers a box of width x height, proportions kept; then cropped to it
};

struct TSizeRequest {
  TSizeKind kind = TSizeKind::skPercent;
  int value = 0;   // percentage, width, height, long edge, or the box's width
  int height = 0;  // the box's height (skFit and skFill)
  bool operator==(const TSizeRequest&) const = default;
};

// "WxH" (or "WXH") with both sides positive decimal numbers, as a box of
// the given kind (skFit or skFill).
std::optional<TSizeRequest> ParseFitBox(const std::string& text, TSizeKind kind = TSizeKind::skFit);

// The wizard's settings that make this size of a photo of width x height:
//   skFit decides by the side that reaches its box edge first, and by the
//         width when both do at once (the photo has the box's proportions);
//   skLongEdge by the width when the photo is square;
//   skFill is the width run when the height it gives reaches the box's,
//         else the height run: the smallest run that covers the box.
// With noEnlarge, a photo already at or below the target is given the
// settings of its own size (the enlarging path at a scale of exactly 1).
TFixedSettings WizardSettingsFor(const TSizeRequest& size, int width, int height, bool noEnlarge);

}  // namespace vizuvod

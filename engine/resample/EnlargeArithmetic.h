// The arithmetic every enlargement shares, fast or literal: the new size and
// working scales a mode gives, the progress positions, and the pixel-by-pixel
// fill in extended precision, which is the literal algorithm itself and also
// what the fast EnlargeBitmap falls back on outside the bounds its shortcuts
// are proven for. One definition, so the versions cannot drift apart.
#pragma once

#include <string>

#include "core/Bitmap.h"
#include "core/RowHooks.h"

namespace vizuvod {

namespace enlarge_detail {

// The new picture's size and the working scales that the mode gives.
struct TEnlargeGeometry {
  int EW = 0, EH = 0;
  float scaleX = 0, scaleY = 0;
};

// "percent" and "size" give a size of at least 1 x 1 or fail with
// EInvalidArgument (a side of 0 or less, or no number at all), or with
// EOutOfResources when a side would not even fit a 32-bit count. Any other
// mode text gives 0 x 0.
TEnlargeGeometry Geometry(const std::string& mode, float scaleX, float scaleY, float width,
                          float height, int SW, int SH);

// Position of the progress bar for output row y: round(y * 100 / (EH - 1)),
// and 100 for a picture of one row.
int RowProgress(int y, int EH);

// Fills E (sized, device format) from S pixel by pixel as written, with the
// progress and pump calls of every row.
void FillLiteral(const TBitmap& S, TBitmap& E, float scaleX, float scaleY, const TRowHooks& hooks);

}  // namespace enlarge_detail

}  // namespace vizuvod

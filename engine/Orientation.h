// The EXIF orientation of a photo applied to its decoded picture, so that a
// result comes out upright whatever way the camera stored it.
#pragma once

#include "Bitmap.h"

namespace vizuvod {

// EXIF orientation values 1-8: how the stored picture must be turned or
// flipped to be shown upright. Others mean "as stored".
inline constexpr int UprightOrientation = 1;
inline bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// The picture as a viewer shows it for that orientation: an exact
// permutation of the source's pixels, in the source's pixel format (and
// palette). 1 and unknown values give the source itself (sharing its pixels).
TBitmap OrientedBitmap(const TBitmap& source, int orientation);

}  // namespace vizuvod

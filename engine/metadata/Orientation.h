// The EXIF orientation of a photo applied to its decoded picture, so that a
// result comes out upright whatever way the camera stored it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/Bitmap.h"

namespace vizuvod {

// EXIF orientation values 1-8: how the stored picture must be turned or
// flipped to be shown upright. Others mean "as stored".
inline constexpr int UprightOrientation = 1;
inline bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

// The picture as a viewer shows it for that orientation: an exact
// permutation of the source's pixels, in the source's pixel format (and
// palette). 1 and unknown values give the source itself (sharing its pixels).
TBitmap OrientedBitmap(const TBitmap& source, int orientation);

// The orientation a result carries over from its photo: the IFD0 Orientation
// tag (0x0112, a SHORT) of the first APP1 segment beginning "Exif\0\0", in
// either byte order, when its value is 2 to 8; else UprightOrientation (no
// tag, another value, no such segment, or EXIF that cannot be read). Walks
// the markers before the first scan only; no metadata library needed.
int CarriedOrientation(const std::uint8_t* jpeg, std::size_t size);
inline int CarriedOrientation(const std::vector<std::uint8_t>& jpeg) {
  return CarriedOrientation(jpeg.data(), jpeg.size());
}

}  // namespace vizuvod

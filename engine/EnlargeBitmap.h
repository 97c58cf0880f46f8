// Bilinear interpolation over source cells, white past the source's edge.
// Exact: the bytes are those of EnlargeBitmapLiteral, the algorithm as written
// in extended precision with 32-bit float stores, always.
#pragma once

#include <memory>
#include <string>

#include "Bitmap.h"
#include "RowHooks.h"

namespace vizuvod {

// Enlarges the picture V refers to by bilinear interpolation into a new
// picture and makes V refer to it; the source is left to its other owners.
// mode "percent" uses scaleX/scaleY, mode "size" a target width or height;
// any other mode gives the empty 0 x 0 picture. A resulting side below 1
// fails with EInvalidArgument, one too large for memory with EOutOfResources;
// either way V is left as it was.
void EnlargeBitmap(std::shared_ptr<TBitmap>& V, const std::string& mode, float scaleX, float scaleY,
                   float width, float height, const TRowHooks& hooks = {});

}  // namespace vizuvod

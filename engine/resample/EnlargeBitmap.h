// Bilinear interpolation over source cells, white past the source's edge.
// Exact: the bytes are those of EnlargeBitmapLiteral, the algorithm as written
// in extended precision with 32-bit float stores, always.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/Bitmap.h"
#include "core/RowHooks.h"
#include "core/RowSource.h"
#include "resample/EnlargeArithmetic.h"

namespace vizuvod {

// Enlarges the picture V refers to by bilinear interpolation into a new
// picture and makes V refer to it; the source is left to its other owners.
// mode "percent" uses scaleX/scaleY, mode "size" a target width or height;
// any other mode gives the empty 0 x 0 picture. A resulting side below 1
// fails with EInvalidArgument, one too large for memory with EOutOfResources;
// either way V is left as it was.
void EnlargeBitmap(std::shared_ptr<TBitmap>& V, const std::string& mode, float scaleX, float scaleY,
                   float width, float height, const TRowHooks& hooks = {});

// One row of the enlarged picture in the device format (4 bytes a pixel).
using TEnlargedRowSink = std::function<void(const std::uint8_t* row)>;

// EnlargeBitmap's picture of the source's rows at geometry g
// (enlarge_detail::Geometry of the same arguments) handed to sink row by
// row, top to bottom, as it is made instead of held whole: the same rows,
// progress and pump calls, and EOutOfResources for a size the picture would
// not fit in. Only two source rows are held at a time; the source is
// finished once the rows the enlargement needs are read, after the last row
// went to sink.
void EnlargeRows(TRowSource& source, const enlarge_detail::TEnlargeGeometry& g,
                 const TEnlargedRowSink& sink, const TRowHooks& hooks = {});

}  // namespace vizuvod

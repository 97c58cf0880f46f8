// EnlargeBitmap exactly as its algorithm is written down: per output pixel
// four pixel reads, the slopes and values of the cell in extended precision
// stored as 32-bit floats, one pixel write. Kept as the reference the fast
// EnlargeBitmap must match byte for byte. Linked by tests, benchmarks and
// fuzzing only; the arithmetic both versions share is in EnlargeArithmetic.h.
#pragma once

#include <memory>
#include <string>

#include "core/Bitmap.h"
#include "core/RowHooks.h"
#include "resample/EnlargeArithmetic.h"

namespace vizuvod {

// Same contract and results as EnlargeBitmap, at the speed of the plain text.
void EnlargeBitmapLiteral(std::shared_ptr<TBitmap>& V, const std::string& mode, float scaleX,
                          float scaleY, float width, float height, const TRowHooks& hooks = {});

}  // namespace vizuvod

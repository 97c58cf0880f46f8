// ShrinkBitmap exactly as its algorithm is written down, step by step, kept
// as the reference the fast ShrinkBitmap must match byte for byte. Linked by
// tests, benchmarks and fuzzing only; the arithmetic both versions share is in
// ShrinkArithmetic.h.
#pragma once

#include "core/Bitmap.h"
#include "core/RowHooks.h"
#include "resample/ShrinkArithmetic.h"

namespace vizuvod {

// Same contract and results as ShrinkBitmap, at the speed of the plain text.
void ShrinkBitmapLiteral(TBitmap& S, TBitmap& D, TBitmap*& R, const TRowHooks& hooks = {});

}  // namespace vizuvod

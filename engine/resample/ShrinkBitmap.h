// Area averaging (a box filter over runs of whole source pixels), then a
// sharpening of the interior with the four diagonal neighbours. Exact: the
// bytes are those of ShrinkBitmapLiteral, the algorithm as written, always.
#pragma once

#include <cstdint>

#include "core/Bitmap.h"
#include "core/RowHooks.h"
#include "core/RowSource.h"

namespace vizuvod {

// Shrinks S into D (sized by the caller, 1 <= DW <= SW, 1 <= DH <= SH) by area
// averaging, sharpens D's interior in place, then sets R to &D. S and D end in
// the 24-bit format. A target outside those bounds fails with EInvalidArgument
// before anything is changed.
void ShrinkBitmap(TBitmap& S, TBitmap& D, TBitmap*& R, const TRowHooks& hooks = {});

// ShrinkBitmap for a source whose rows arrive one by one, so that it is
// never held whole (the last rows may never be asked for); the source is
// finished between the averaging and the sharpening. The same bytes and
// calls as ShrinkBitmap on that source in the 24-bit format.
void ShrinkRows(TRowSource& source, TBitmap& D, TBitmap*& R, const TRowHooks& hooks = {});

}  // namespace vizuvod

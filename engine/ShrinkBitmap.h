#pragma once

#include "Bitmap.h"
#include "RowHooks.h"

// Shrinks S into D (sized by the caller, 1 <= DW <= SW, 1 <= DH <= SH) by area
// averaging, sharpens D's interior in place, then sets R to &D. S and D end in
// the 24-bit format. A target outside those bounds fails with EInvalidArgument
// before anything is changed.
void ShrinkBitmap(TBitmap& S, TBitmap& D, TBitmap*& R, const TRowHooks& hooks = {});

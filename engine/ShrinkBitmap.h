#pragma once

#include "Bitmap.h"
#include "RowHooks.h"

// Shrinks S into D (sized by the caller, 1 <= DW <= SW, 1 <= DH <= SH) by area
// averaging, sharpens D's interior in place, then sets R to &D.
void ShrinkBitmap(TBitmap& S, TBitmap& D, TBitmap*& R, const TRowHooks& hooks = {});

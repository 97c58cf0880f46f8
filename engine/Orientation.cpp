// Turns and flips by row: for orientations 1-4 each result row is one source
// row, kept or reversed; for 5-8 (sides swapped) each result row is one
// source column, read top down or bottom up.
#include "Orientation.h"

#include <cstring>
#include <vector>

TBitmap OrientedBitmap(const TBitmap& source, int orientation) {
  if (orientation < 2 || orientation > 8 || !source.HasPixels()) return source;
  const int W = source.Width(), H = source.Height();
  const bool swap = SwapsSides(orientation);
  const int bpp = TBitmap::BitsPerPixel(source.PixelFormat()) / 8;

  TBitmap result;
  result.SetPalette(source.Palette());
  result.SetPixelFormat(source.PixelFormat());
  result.SetSize(swap ? H : W, swap ? W : H);

  std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(H));
  for (int y = 0; y < H; ++y) rows[std::size_t(y)] = source.ScanLine(y);

  // For each result pixel (x, y): the source pixel (sx, sy).
  //   2: (W-1-x, y)  3: (W-1-x, H-1-y)  4: (x, H-1-y)
  //   5: (y, x)      6: (y, H-1-x)      7: (W-1-y, H-1-x)  8: (W-1-y, x)
  const bool mirrorX = orientation == 2 || orientation == 3;
  const bool mirrorY = orientation == 3 || orientation == 4;
  const bool columnFromRight = orientation == 7 || orientation == 8;
  const bool columnBottomUp = orientation == 6 || orientation == 7;
  for (int y = 0; y < result.Height(); ++y) {
    std::uint8_t* out = result.ScanLine(y);
    if (!swap) {
      const std::uint8_t* in = rows[std::size_t(mirrorY ? H - 1 - y : y)];
      if (!mirrorX) {
        std::memcpy(out, in, std::size_t(W) * bpp);
      } else {
        for (int x = 0; x < W; ++x) std::memcpy(out + x * bpp, in + (W - 1 - x) * bpp, bpp);
      }
      continue;
    }
    const int sx = (columnFromRight ? W - 1 - y : y) * bpp;
    for (int x = 0; x < H; ++x)
      std::memcpy(out + x * bpp, rows[std::size_t(columnBottomUp ? H - 1 - x : x)] + sx, bpp);
  }
  return result;
}

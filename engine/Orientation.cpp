// Turns and flips by row: for orientations 1-4 each result row is one source
// row, kept or reversed; for 5-8 (sides swapped) each result row is one
// source column, read top down or bottom up.
#include "Orientation.h"

#include <cstring>
#include <vector>

namespace vizuvod {

namespace {

// The pixel copies for one pixel size, so each copy is a fixed-size move.
template <int Bpp>
void Permute(const std::vector<const std::uint8_t*>& rows, TBitmap& result, int W, int H,
             int orientation) {
  // For each result pixel (x, y): the source pixel (sx, sy).
  //   2: (W-1-x, y)  3: (W-1-x, H-1-y)  4: (x, H-1-y)
  //   5: (y, x)      6: (y, H-1-x)      7: (W-1-y, H-1-x)  8: (W-1-y, x)
  const bool mirrorX = orientation == 2 || orientation == 3;
  const bool mirrorY = orientation == 3 || orientation == 4;
  const bool columnFromRight = orientation == 7 || orientation == 8;
  const bool columnBottomUp = orientation == 6 || orientation == 7;
  for (int y = 0; y < result.Height(); ++y) {
    std::uint8_t* out = result.ScanLine(y);
    if (!SwapsSides(orientation)) {
      const std::uint8_t* in = rows[std::size_t(mirrorY ? H - 1 - y : y)];
      if (!mirrorX) {
        std::memcpy(out, in, std::size_t(W) * Bpp);
      } else {
        for (int x = 0; x < W; ++x) std::memcpy(out + x * Bpp, in + (W - 1 - x) * Bpp, Bpp);
      }
      continue;
    }
    const std::size_t sx = std::size_t(columnFromRight ? W - 1 - y : y) * Bpp;
    for (int x = 0; x < H; ++x)
      std::memcpy(out + x * Bpp, rows[std::size_t(columnBottomUp ? H - 1 - x : x)] + sx, Bpp);
  }
}

}  // namespace

TBitmap OrientedBitmap(const TBitmap& source, int orientation) {
  if (orientation < 2 || orientation > 8 || !source.HasPixels()) return source;
  const int W = source.Width(), H = source.Height();
  const bool swap = SwapsSides(orientation);

  TBitmap result;
  result.SetPalette(source.Palette());
  result.SetPixelFormat(source.PixelFormat());
  result.SetSize(swap ? H : W, swap ? W : H);

  std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(H));
  for (int y = 0; y < H; ++y) rows[std::size_t(y)] = source.ScanLine(y);
  switch (source.PixelFormat()) {
    case TPixelFormat::pf8bit: Permute<1>(rows, result, W, H, orientation); break;
    case TPixelFormat::pf24bit: Permute<3>(rows, result, W, H, orientation); break;
    case TPixelFormat::pfDevice: Permute<4>(rows, result, W, H, orientation); break;
  }
  return result;
}

}  // namespace vizuvod

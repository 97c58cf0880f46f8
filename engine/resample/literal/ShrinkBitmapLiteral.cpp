// ShrinkBitmap as written: area averaging block by block, then the in-place
// diagonal sharpening of D's interior. Slow and plain on purpose: it is the
// oracle the fast version is checked against.
#include "resample/literal/ShrinkBitmapLiteral.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace vizuvod {

using namespace shrink_detail;

void ShrinkBitmapLiteral(TBitmap& S, TBitmap& D, TBitmap*& R, const TRowHooks& hooks) {
  const int DW = D.Width(), DH = D.Height();
  const int SW = S.Width(), SH = S.Height();
  CheckSizes(SW, SH, DW, DH);

  if (S.PixelFormat() != TPixelFormat::pf24bit) S.SetPixelFormat(TPixelFormat::pf24bit);
  if (D.PixelFormat() != TPixelFormat::pf24bit) D.SetPixelFormat(TPixelFormat::pf24bit);

  const float rx = Ratio(SW, DW);
  const float ry = Ratio(SH, DH);
  const std::vector<std::int32_t> columnRuns = Runs(SW, DW, rx);
  const std::vector<std::int32_t> rowRuns = Runs(SH, DH, ry);

  // Averaging pass.
  const TBitmap& source = S;
  int sy = 0;
  for (int j = 0; j < DH; ++j) {
    std::uint8_t* out = D.ScanLine(j);
    int sx = 0;
    for (int i = 0; i < DW; ++i) {
      std::uint64_t blue = 0, green = 0, red = 0;
      for (int yy = sy; yy < sy + rowRuns[j]; ++yy) {
        const std::uint8_t* in = source.ScanLine(yy);
        for (int xx = sx; xx < sx + columnRuns[i]; ++xx) {
          blue += in[3 * xx];
          green += in[3 * xx + 1];
          red += in[3 * xx + 2];
        }
      }
      const TBlockScale f = BlockScale(std::int64_t(columnRuns[i]) * rowRuns[j]);
      out[3 * i] = BlockMean(blue, f);
      out[3 * i + 1] = BlockMean(green, f);
      out[3 * i + 2] = BlockMean(red, f);
      sx += columnRuns[i];
    }
    sy += rowRuns[j];
  }

  // Sharpening pass, in place: row y - 1 already holds sharpened values.
  if (DH >= 3) {
    for (int y = 1; y <= DH - 2; ++y) {
      hooks.Progress(SharpenProgress(y, DH));
      hooks.Pump();
      std::uint8_t* above = D.ScanLine(y - 1);
      std::uint8_t* row = D.ScanLine(y);
      std::uint8_t* below = D.ScanLine(y + 1);
      for (int x = 1; x <= DW - 2; ++x) {
        for (int ch = 0; ch < 3; ++ch) {
          const int c = row[3 * x + ch];
          const int s = above[3 * (x - 1) + ch] + above[3 * (x + 1) + ch] +
                        below[3 * (x - 1) + ch] + below[3 * (x + 1) + ch];
          const int v = (12 * c - s) / 8;
          row[3 * x + ch] = std::uint8_t(std::clamp(v, 0, 255));
        }
      }
    }
  }
  R = &D;
}

}  // namespace vizuvod

// ShrinkBitmap: area-average (box) reduction of S into D, then an in-place
// sharpening of D's interior with the four diagonal neighbours (12/8 centre,
// -1/8 each diagonal). Integer work only, apart from the two ratios, which
// are 32-bit floats computed in extended precision and shared with the
// literal version (ShrinkBitmapLiteral), whose bytes this one reproduces:
// the sums are the same integers whatever order they are added in, and the
// sharpening walks the rows top to bottom in place exactly as written.
#include "ShrinkBitmap.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "ShrinkBitmapLiteral.h"

using namespace shrink_detail;

namespace {

// Adds one source row into the per-target-column sums: each column run is
// summed in registers first, then added once to its column's three sums.
template <class Sum>
void AccumulateRow(const std::uint8_t* in, const std::int32_t* runs, int DW, Sum* sums) {
  for (int i = 0; i < DW; ++i, sums += 3) {
    const int run = runs[i];
    Sum b, g, r;
    switch (run) {
      case 1:
        b = in[0], g = in[1], r = in[2];
        break;
      case 2:
        b = Sum(in[0] + in[3]), g = Sum(in[1] + in[4]), r = Sum(in[2] + in[5]);
        break;
      case 3:
        b = Sum(in[0] + in[3] + in[6]), g = Sum(in[1] + in[4] + in[7]),
        r = Sum(in[2] + in[5] + in[8]);
        break;
      default:
        b = g = r = 0;
        for (int k = 0; k < run; ++k) b += in[3 * k], g += in[3 * k + 1], r += in[3 * k + 2];
    }
    sums[0] += b, sums[1] += g, sums[2] += r;
    in += 3 * run;
  }
}

template <class Sum>
void Average(const TBitmap& S, TBitmap& D, const std::vector<std::int32_t>& columnRuns,
             const std::vector<std::int32_t>& rowRuns) {
  const int DW = D.Width(), DH = D.Height();
  std::vector<Sum> sums(std::size_t(DW) * 3);
  std::vector<TBlockScale> scales(DW);
  int scalesForRun = 0;  // the row run the column scales were made for
  int sy = 0;
  for (int j = 0; j < DH; ++j) {
    std::fill(sums.begin(), sums.end(), Sum(0));
    for (int yy = sy; yy < sy + rowRuns[j]; ++yy)
      AccumulateRow(S.ScanLine(yy), columnRuns.data(), DW, sums.data());
    sy += rowRuns[j];
    // Row runs take one or two lengths, so the reciprocals are made rarely.
    if (rowRuns[j] != scalesForRun) {
      scalesForRun = rowRuns[j];
      for (int i = 0; i < DW; ++i)
        scales[i] = BlockScale(std::int64_t(columnRuns[i]) * scalesForRun);
    }
    std::uint8_t* out = D.ScanLine(j);
    for (int i = 0; i < DW; ++i)
      for (int ch = 0; ch < 3; ++ch)
        out[3 * i + ch] = BlockMean(sums[3 * i + ch], scales[i]);
  }
}

// One interior row, in place. Negative values clamp to 0 whichever way the
// division truncates, so (12c - s) / 8 needs no signed division.
void SharpenRow(const std::uint8_t* __restrict above, std::uint8_t* __restrict row,
                const std::uint8_t* __restrict below, int bytes) {
  for (int t = 3; t < bytes - 3; ++t) {
    const int v = 12 * row[t] - (above[t - 3] + above[t + 3] + below[t - 3] + below[t + 3]);
    row[t] = std::uint8_t(v <= 0 ? 0 : std::min(v >> 3, 255));
  }
}

}  // namespace

void ShrinkBitmap(TBitmap& S, TBitmap& D, TBitmap*& R, const TRowHooks& hooks) {
  const int DW = D.Width(), DH = D.Height();
  const int SW = S.Width(), SH = S.Height();
  CheckSizes(SW, SH, DW, DH);

  if (S.PixelFormat() != TPixelFormat::pf24bit) S.SetPixelFormat(TPixelFormat::pf24bit);
  if (D.PixelFormat() != TPixelFormat::pf24bit) D.SetPixelFormat(TPixelFormat::pf24bit);

  const std::vector<std::int32_t> columnRuns = Runs(SW, DW, Ratio(SW, DW));
  const std::vector<std::int32_t> rowRuns = Runs(SH, DH, Ratio(SH, DH));
  const std::int64_t largestBlock =
      std::int64_t(*std::max_element(columnRuns.begin(), columnRuns.end())) *
      *std::max_element(rowRuns.begin(), rowRuns.end());
  // 32-bit sums hold 255 x 2^24 pixels; beyond that 64-bit ones are needed.
  if (largestBlock <= HugeBlock)
    Average<std::uint32_t>(std::as_const(S), D, columnRuns, rowRuns);
  else
    Average<std::uint64_t>(std::as_const(S), D, columnRuns, rowRuns);

  for (int y = 1; y <= DH - 2; ++y) {
    hooks.Progress(SharpenProgress(y, DH));
    hooks.Pump();
    SharpenRow(D.ScanLine(y - 1), D.ScanLine(y), D.ScanLine(y + 1), 3 * DW);
  }
  R = &D;
}

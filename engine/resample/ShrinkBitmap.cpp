// ShrinkBitmap: area-average (box) reduction of S into D, then an in-place
// sharpening of D's interior with the four diagonal neighbours (12/8 centre,
// -1/8 each diagonal). Integer work only, apart from the two ratios, which
// are 32-bit floats computed in extended precision and shared with the
// literal version (ShrinkBitmapLiteral), whose bytes this one reproduces:
// the sums are the same integers whatever order they are added in, and the
// sharpening walks the rows top to bottom in place exactly as written.
#include "resample/ShrinkBitmap.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "resample/Kernels.h"
#include "resample/ShrinkArithmetic.h"

namespace vizuvod {

using namespace shrink_detail;

namespace {

// The three channel sums of one column run of a row (of bytes, or of column
// sums of several rows), in registers.
template <class Sum, class In>
inline void RunSums(const In* in, int run, Sum& b, Sum& g, Sum& r) {
  switch (run) {
    case 1: b = in[0], g = in[1], r = in[2]; break;
    case 2: b = Sum(in[0] + in[3]), g = Sum(in[1] + in[4]), r = Sum(in[2] + in[5]); break;
    case 3:
      b = Sum(in[0] + in[3] + in[6]), g = Sum(in[1] + in[4] + in[7]),
      r = Sum(in[2] + in[5] + in[8]);
      break;
    default:
      b = g = r = 0;
      for (int k = 0; k < run; ++k) b += in[3 * k], g += in[3 * k + 1], r += in[3 * k + 2];
  }
}

// Adds one row into the per-target-column sums: each column run is summed
// in registers first, then added once to its column's three sums.
template <class Sum, class In>
void AccumulateRow(const In* in, const std::int32_t* runs, int DW, Sum* sums) {
  for (int i = 0; i < DW; ++i, sums += 3) {
    const int run = runs[i];
    Sum b, g, r;
    RunSums(in, run, b, g, r);
    sums[0] += b, sums[1] += g, sums[2] += r;
    in += 3 * run;
  }
}

// A target row straight from the column sums of its row run, for blocks of
// up to 256 pixels: sum * (65535 div n) stays below 2^32.
void SmallBlockRow(const std::uint16_t* in, const std::int32_t* runs,
                   const std::vector<TBlockScale>& scales, int DW, std::uint8_t* out) {
  for (int i = 0; i < DW; ++i, out += 3) {
    const int run = runs[i];
    std::uint32_t b, g, r;
    RunSums(in, run, b, g, r);
    const std::uint32_t f = std::uint32_t(scales[i].factor);
    out[0] = std::uint8_t((b * f) >> 16);
    out[1] = std::uint8_t((g * f) >> 16);
    out[2] = std::uint8_t((r * f) >> 16);
    in += 3 * run;
  }
}

template <class Sum>
void Average(int SW, TRowSource& source, TBitmap& D, const std::vector<std::int32_t>& columnRuns,
             const std::vector<std::int32_t>& rowRuns, bool smallBlocks) {
  const int DW = D.Width(), DH = D.Height();
  std::vector<Sum> sums(std::size_t(DW) * 3);
  // Row runs of up to 257 rows keep a column's sum within 16 bits: the rows
  // of a run are then added column by column first (a vector of bytes at a
  // time) and the column runs summed once per target row. The sums are the
  // same integers in any order.
  const bool columnsFirst = *std::max_element(rowRuns.begin(), rowRuns.end()) <= 257;
  std::vector<std::uint16_t> columnSums(columnsFirst ? std::size_t(SW) * 3 : 0);
  std::vector<TBlockScale> scales(DW);
  const auto addToColumnSums = Kernels().addToColumnSums;
  int scalesForRun = 0;  // the row run the column scales were made for
  int sy = 0;
  // Small blocks (which have short row runs) go from the column sums
  // straight to the target row.
  const bool direct = smallBlocks && columnsFirst;
  for (int j = 0; j < DH; ++j) {
    if (!direct) std::fill(sums.begin(), sums.end(), Sum(0));
    if (columnsFirst) {
      for (int yy = sy; yy < sy + rowRuns[j]; ++yy)
        addToColumnSums(source.Row(yy), columnSums.data(), int(columnSums.size()), yy == sy);
      if (!direct) AccumulateRow(columnSums.data(), columnRuns.data(), DW, sums.data());
    } else {
      for (int yy = sy; yy < sy + rowRuns[j]; ++yy)
        AccumulateRow(source.Row(yy), columnRuns.data(), DW, sums.data());
    }
    sy += rowRuns[j];
    // Row runs take one or two lengths, so the reciprocals are made rarely.
    if (rowRuns[j] != scalesForRun) {
      scalesForRun = rowRuns[j];
      for (int i = 0; i < DW; ++i)
        scales[i] = BlockScale(std::int64_t(columnRuns[i]) * scalesForRun);
    }
    std::uint8_t* out = D.ScanLine(j);
    if (direct) {
      SmallBlockRow(columnSums.data(), columnRuns.data(), scales, DW, out);
    } else if (smallBlocks) {
      // Blocks of up to 256 pixels: sum * (65535 div n) stays below 2^32.
      for (int i = 0; i < DW; ++i) {
        const std::uint32_t f = std::uint32_t(scales[i].factor);
        for (int ch = 0; ch < 3; ++ch)
          out[3 * i + ch] = std::uint8_t((std::uint32_t(sums[3 * i + ch]) * f) >> 16);
      }
    } else {
      for (int i = 0; i < DW; ++i)
        for (int ch = 0; ch < 3; ++ch) out[3 * i + ch] = BlockMean(sums[3 * i + ch], scales[i]);
    }
  }
}

// The picture in the 24-bit format with every pixel's colour, as the
// bitmap's own conversion gives it, but row by row instead of one pixel
// read per pixel (a grey photo arrives in the 8-bit palette format).
TBitmap ConvertedTo24Bit(const TBitmap& S) {
  TBitmap converted;
  converted.SetPalette(S.Palette());
  converted.SetPixelFormat(TPixelFormat::pf24bit);
  converted.SetSize(S.Width(), S.Height());
  const TBgrPalette colours = BgrPalette(S.Palette());
  const bool device = S.PixelFormat() == TPixelFormat::pfDevice;
  for (int y = 0; y < S.Height(); ++y) {
    const std::uint8_t* in = S.ScanLine(y);
    std::uint8_t* out = converted.ScanLine(y);
    for (int x = 0; x < S.Width(); ++x, out += 3) {
      const std::uint8_t* c = device ? in + 4 * x : colours[in[x]].data();
      out[0] = c[0], out[1] = c[1], out[2] = c[2];
    }
  }
  return converted;
}

}  // namespace

void ShrinkBitmap(TBitmap& S, TBitmap& D, TBitmap*& R, const TRowHooks& hooks) {
  CheckSizes(S.Width(), S.Height(), D.Width(), D.Height());
  if (S.PixelFormat() != TPixelFormat::pf24bit) S = ConvertedTo24Bit(std::as_const(S));
  TPictureRows rows(std::as_const(S));
  ShrinkRows(rows, D, R, hooks);
}

void ShrinkRows(TRowSource& rows, TBitmap& D, TBitmap*& R, const TRowHooks& hooks) {
  const int SW = rows.Width(), SH = rows.Height();
  const int DW = D.Width(), DH = D.Height();
  CheckSizes(SW, SH, DW, DH);
  if (D.PixelFormat() != TPixelFormat::pf24bit) {
    // Every pixel of D is written below, so a fresh 24-bit picture of its
    // size stands for a pixel-by-pixel conversion; D changes only once it
    // has been made.
    TBitmap fresh;
    fresh.SetPalette(D.Palette());
    fresh.SetPixelFormat(TPixelFormat::pf24bit);
    fresh.SetSize(DW, DH);
    // Only the padding after each row is not written below.
    fresh.AllocateForOverwrite();
    for (int y = 0; y < DH; ++y)
      std::memset(fresh.ScanLine(y) + 3 * DW, 0xFF, std::size_t(fresh.Stride() - 3 * DW));
    D = std::move(fresh);
  }

  const std::vector<std::int32_t> columnRuns = Runs(SW, DW, Ratio(SW, DW));
  const std::vector<std::int32_t> rowRuns = Runs(SH, DH, Ratio(SH, DH));
  const std::int64_t largestBlock =
      std::int64_t(*std::max_element(columnRuns.begin(), columnRuns.end())) *
      *std::max_element(rowRuns.begin(), rowRuns.end());
  // 32-bit sums hold 255 x 2^24 pixels; beyond that 64-bit ones are needed.
  if (largestBlock <= HugeBlock)
    Average<std::uint32_t>(SW, rows, D, columnRuns, rowRuns, largestBlock <= SmallBlock);
  else
    Average<std::uint64_t>(SW, rows, D, columnRuns, rowRuns, false);
  rows.Finish();

  const auto sharpenRow = Kernels().sharpenRow;
  for (int y = 1; y <= DH - 2; ++y) {
    hooks.Progress(SharpenProgress(y, DH));
    hooks.Pump();
    sharpenRow(D.ScanLine(y - 1), D.ScanLine(y), D.ScanLine(y + 1), 3 * DW);
  }
  R = &D;
}

}  // namespace vizuvod

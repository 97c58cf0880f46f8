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

#include "ShrinkArithmetic.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace shrink_detail;

namespace {

// Adds one row (of bytes, or of column sums of several rows) into the
// per-target-column sums: each column run is summed in registers first,
// then added once to its column's three sums.
template <class Sum, class In>
void AccumulateRow(const In* in, const std::int32_t* runs, int DW, Sum* sums) {
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

// Sets (first row of a run) or adds n bytes into 16-bit column sums.
void AddToColumnSums(const std::uint8_t* in, std::uint16_t* sums, int n, bool first) {
  int i = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  for (; i + 16 <= n; i += 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
    __m128i lo = _mm_unpacklo_epi8(bytes, zero), hi = _mm_unpackhi_epi8(bytes, zero);
    auto* out = reinterpret_cast<__m128i*>(sums + i);
    if (!first) {
      lo = _mm_add_epi16(lo, _mm_loadu_si128(out));
      hi = _mm_add_epi16(hi, _mm_loadu_si128(out + 1));
    }
    _mm_storeu_si128(out, lo);
    _mm_storeu_si128(out + 1, hi);
  }
#endif
  for (; i < n; ++i) sums[i] = std::uint16_t(first ? in[i] : sums[i] + in[i]);
}

template <class Sum>
void Average(const TBitmap& S, TBitmap& D, const std::vector<std::int32_t>& columnRuns,
             const std::vector<std::int32_t>& rowRuns, bool smallBlocks) {
  const int DW = D.Width(), DH = D.Height();
  std::vector<Sum> sums(std::size_t(DW) * 3);
  // Row runs of up to 257 rows keep a column's sum within 16 bits: the rows
  // of a run are then added column by column first (sixteen bytes at a
  // time) and the column runs summed once per target row. The sums are the
  // same integers in any order.
  const bool columnsFirst = *std::max_element(rowRuns.begin(), rowRuns.end()) <= 257;
  std::vector<std::uint16_t> columnSums(columnsFirst ? std::size_t(S.Width()) * 3 : 0);
  std::vector<TBlockScale> scales(DW);
  int scalesForRun = 0;  // the row run the column scales were made for
  int sy = 0;
  for (int j = 0; j < DH; ++j) {
    std::fill(sums.begin(), sums.end(), Sum(0));
    if (columnsFirst) {
      for (int yy = sy; yy < sy + rowRuns[j]; ++yy)
        AddToColumnSums(S.ScanLine(yy), columnSums.data(), int(columnSums.size()), yy == sy);
      AccumulateRow(columnSums.data(), columnRuns.data(), DW, sums.data());
    } else {
      for (int yy = sy; yy < sy + rowRuns[j]; ++yy)
        AccumulateRow(S.ScanLine(yy), columnRuns.data(), DW, sums.data());
    }
    sy += rowRuns[j];
    // Row runs take one or two lengths, so the reciprocals are made rarely.
    if (rowRuns[j] != scalesForRun) {
      scalesForRun = rowRuns[j];
      for (int i = 0; i < DW; ++i)
        scales[i] = BlockScale(std::int64_t(columnRuns[i]) * scalesForRun);
    }
    std::uint8_t* out = D.ScanLine(j);
    if (smallBlocks) {
      // Blocks of up to 256 pixels: sum * (65535 div n) stays below 2^32.
      for (int i = 0; i < DW; ++i) {
        const std::uint32_t f = std::uint32_t(scales[i].factor);
        for (int ch = 0; ch < 3; ++ch)
          out[3 * i + ch] = std::uint8_t((std::uint32_t(sums[3 * i + ch]) * f) >> 16);
      }
    } else {
      for (int i = 0; i < DW; ++i)
        for (int ch = 0; ch < 3; ++ch)
          out[3 * i + ch] = BlockMean(sums[3 * i + ch], scales[i]);
    }
  }
}

// One interior row, in place. Negative values clamp to 0 whichever way the
// division truncates, so (12c - s) / 8 needs no signed division.
// Sixteen bytes at a time in 16-bit lanes, where 12c - s (-1020 .. 3060)
// fits; an arithmetic shift then saturation to 0 .. 255 gives the same byte.
void SharpenRow(const std::uint8_t* __restrict above, std::uint8_t* __restrict row,
                const std::uint8_t* __restrict below, int bytes) {
  int t = 3;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128(), twelve = _mm_set1_epi16(12);
  auto load = [](const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  };
  for (; t + 16 <= bytes - 3; t += 16) {
    const __m128i c = load(row + t);
    const __m128i d1 = load(above + t - 3), d2 = load(above + t + 3);
    const __m128i d3 = load(below + t - 3), d4 = load(below + t + 3);
    auto half = [&](auto unpack) {
      const __m128i s = _mm_add_epi16(
          _mm_add_epi16(unpack(d1, zero), unpack(d2, zero)),
          _mm_add_epi16(unpack(d3, zero), unpack(d4, zero)));
      return _mm_srai_epi16(_mm_sub_epi16(_mm_mullo_epi16(unpack(c, zero), twelve), s), 3);
    };
    const __m128i lo = half([](__m128i a, __m128i b) { return _mm_unpacklo_epi8(a, b); });
    const __m128i hi = half([](__m128i a, __m128i b) { return _mm_unpackhi_epi8(a, b); });
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + t), _mm_packus_epi16(lo, hi));
  }
#endif
  for (; t < bytes - 3; ++t) {
    const int v = 12 * row[t] - (above[t - 3] + above[t + 3] + below[t - 3] + below[t + 3]);
    row[t] = std::uint8_t(v <= 0 ? 0 : std::min(v >> 3, 255));
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
  std::uint8_t colours[256][3] = {};  // indices past the palette read black
  for (std::size_t i = 0; i < S.Palette().size(); ++i)
    colours[i][0] = S.Palette()[i].blue, colours[i][1] = S.Palette()[i].green,
    colours[i][2] = S.Palette()[i].red;
  const bool device = S.PixelFormat() == TPixelFormat::pfDevice;
  for (int y = 0; y < S.Height(); ++y) {
    const std::uint8_t* in = S.ScanLine(y);
    std::uint8_t* out = converted.ScanLine(y);
    for (int x = 0; x < S.Width(); ++x, out += 3) {
      const std::uint8_t* c = device ? in + 4 * x : colours[in[x]];
      out[0] = c[0], out[1] = c[1], out[2] = c[2];
    }
  }
  return converted;
}

}  // namespace

void ShrinkBitmap(TBitmap& S, TBitmap& D, TBitmap*& R, const TRowHooks& hooks) {
  const int DW = D.Width(), DH = D.Height();
  const int SW = S.Width(), SH = S.Height();
  CheckSizes(SW, SH, DW, DH);

  if (S.PixelFormat() != TPixelFormat::pf24bit) S = ConvertedTo24Bit(std::as_const(S));
  if (D.PixelFormat() != TPixelFormat::pf24bit) {
    // Every pixel of D is written below, so a fresh 24-bit picture of its
    // size stands for a pixel-by-pixel conversion; D changes only once it
    // has been made.
    TBitmap fresh;
    fresh.SetPalette(D.Palette());
    fresh.SetPixelFormat(TPixelFormat::pf24bit);
    fresh.SetSize(DW, DH);
    D = std::move(fresh);
  }

  const std::vector<std::int32_t> columnRuns = Runs(SW, DW, Ratio(SW, DW));
  const std::vector<std::int32_t> rowRuns = Runs(SH, DH, Ratio(SH, DH));
  const std::int64_t largestBlock =
      std::int64_t(*std::max_element(columnRuns.begin(), columnRuns.end())) *
      *std::max_element(rowRuns.begin(), rowRuns.end());
  // 32-bit sums hold 255 x 2^24 pixels; beyond that 64-bit ones are needed.
  if (largestBlock <= HugeBlock)
    Average<std::uint32_t>(std::as_const(S), D, columnRuns, rowRuns, largestBlock <= SmallBlock);
  else
    Average<std::uint64_t>(std::as_const(S), D, columnRuns, rowRuns, false);

  for (int y = 1; y <= DH - 2; ++y) {
    hooks.Progress(SharpenProgress(y, DH));
    hooks.Pump();
    SharpenRow(D.ScanLine(y - 1), D.ScanLine(y), D.ScanLine(y + 1), 3 * DW);
  }
  R = &D;
}

// EnlargeBitmap: bilinear interpolation over source cells, the cell that
// reaches past the source's edge blending with the white an outside read
// gives. The exactness contract is that of EnlargeBitmapLiteral (extended
// precision, slopes and values stored as 32-bit floats); this version gives
// the same bytes with double arithmetic where that is provably exact:
//  - cell, origin and offset of every column and row are computed once, in
//    long double, with the literal expressions;
//  - a slope (p1 - p0) / scale has only 511 possible values per scale, so
//    they are taken from a table built with the literal expression;
//  - x*sT + p00 - X0*sT is exact in long double and equals (x - X0)*sT + p00,
//    which double holds exactly too, so both round once to the same float;
//  - (I1 - I0) / scaleY: I1 - I0 is exact in both precisions and is a short
//    multiple of the slopes' grid, so the quotient rounded to 64 or 53 bits
//    and then to a float equals the quotient rounded once (no double rounding);
//  - y*sV + I0 - Y0*sV is exact in long double, so its round() is that of
//    the exact (y - Y0)*sV + I0; for vertical scales below 16 double holds
//    that sum exactly too, beyond them an error-free sum recovers what its
//    rounding lost when the result looks like a tie.
// A source row's horizontal values I (every output column, three channels
// side by side) depend on that row alone, so they are made once per source
// row: a cell row's bottom values are the next one's top values I0. Per cell
// row only the vertical slopes sV come from its two rows of values, and only
// when one of its output rows needs them; each output row then composes
// round(k*sV + I0). Columns and rows at their cell's origin (offset 0) need
// no arithmetic beyond tables and float rounding. ChoosePath checks per call the magnitude bounds
// these steps need; a call outside them (scales beyond 8192 or below 2^-20, absurd sizes) is
// computed with the literal arithmetic.
#include "resample/EnlargeBitmap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "resample/EnlargeArithmetic.h"
#include "resample/Kernels.h"
#include "resample/kernels/KernelSets.h"

namespace vizuvod {

using namespace enlarge_detail;

namespace {

// Per output column (or row): the source cell and the offset from the
// cell's origin, by the literal's long double expressions.
struct TAxis {
  std::vector<int> cell;
  std::vector<int> offset;
  int lastCell = 0;
  int minOffset = 0, maxOffset = 0;
};

TAxis MakeAxis(int count, float scale) {
  TAxis a;
  a.cell.resize(count);
  a.offset.resize(count);
  for (int i = 0; i < count; ++i) {
    const int c = int(std::trunc((long double)i / scale));
    const int origin = int(std::nearbyint((long double)c * scale));
    a.cell[i] = c;
    a.offset[i] = i - origin;
  }
  a.lastCell = count ? *std::max_element(a.cell.begin(), a.cell.end()) : 0;
  if (count) {
    auto [lo, hi] = std::minmax_element(a.offset.begin(), a.offset.end());
    a.minOffset = *lo, a.maxOffset = *hi;
  }
  return a;
}

// Smallest power of two of which every float at least |v| is a multiple.
long double FloatGrid(float v) {
  int e;
  std::frexp(std::fabs(v), &e);  // |v| in [2^(e-1), 2^e)
  return std::ldexp(1.0L, e - 24);
}

// The magnitude bounds under which the double evaluation is exact (see the
// file comment). Slopes are multiples of the grid g of the smallest one,
// every I is a multiple of g and at most bI; sV is at most 2 bI / scaleY.
// |I0| / |sV| stays below 2^25 scaleY (I1 - I0 is at least about 2^-24 |I0|
// when not 0), which bounds the sums with I0 from below.
enum class TEnlargePath { epLiteral, epTies, epExact };

TEnlargePath ChoosePath(const TAxis& cols, const TAxis& rows, float scaleX, float scaleY,
                        const float* slope, int EW, int EH) {
  const float limitLow = 1.0f / (1 << 20), limitHigh = 8192.0f;
  if (!(scaleX >= limitLow && scaleX <= limitHigh && scaleY >= limitLow && scaleY <= limitHigh))
    return TEnlargePath::epLiteral;
  if (cols.minOffset < 0 || rows.minOffset < 0 || cols.maxOffset > (1 << 20) ||
      rows.maxOffset > (1 << 20))
    return TEnlargePath::epLiteral;
  const long double g = FloatGrid(slope[255 + 1]);
  const long double maxSlope = std::fabs(slope[255 + 255]);
  if (g > 1) return TEnlargePath::epLiteral;
  const long double bI = (255 + cols.maxOffset * maxSlope) * (1 + 0x1p-20L);
  const long double maxSV = 2 * bI / scaleY * (1 + 0x1p-20L);
  // Exact in long double: x*sT + p00 and y*sV + I0 (the literal's steps);
  // exact in double: k*sT + p00, I1 - I0, and a quotient short enough that
  // rounding it first to 53 bits is harmless.
  if (!(2 * std::max<long double>((long double)(EW - 1) * maxSlope, 256) / g < 0x1p62L &&
        2 * bI / g < 0x1p51L && 2 * (long double)(EH - 1) * maxSV / g < 0x1p62L))
    return TEnlargePath::epLiteral;
  // Exact in double: k'*sV + I0, for vertical scales below 16.
  const bool exactSum = scaleY <= 15.99f && 2 * (long double)rows.maxOffset * maxSV / g < 0x1p52L;
  return exactSum ? TEnlargePath::epExact : TEnlargePath::epTies;
}

// Source row r as blue, green, red bytes, white past the last row or column
// (the colour an outside pixel read gives), `length` pixels long.
class TSourceRows {
 public:
  TSourceRows(TRowSource& rows, int length)
      : rows_(rows), width_(rows.Width()), height_(rows.Height()), length_(length) {}

  void Load(int r, std::uint8_t* out) {
    if (r < 0 || r >= height_ || width_ <= 0) {
      std::memset(out, 0xFF, std::size_t(length_) * 3);
      return;
    }
    const int known = std::min(width_, length_);
    std::memcpy(out, rows_.Row(r), std::size_t(known) * 3);
    std::memset(out + std::size_t(known) * 3, 0xFF, std::size_t(length_ - known) * 3);
  }

 private:
  TRowSource& rows_;
  int width_, height_, length_;
};

// Outside the fast path's bounds the picture is made whole either way, by
// the literal algorithm.
void EnlargeLiteral(TRowSource& from, const TEnlargeGeometry& g, TBitmap* E,
                    const TEnlargedRowSink& sink, const TRowHooks& hooks) {
  TBitmap held, whole;
  if (!from.Held()) {
    held.SetPixelFormat(TPixelFormat::pf24bit);
    held.SetSize(from.Width(), from.Height());
    for (int y = 0; y < from.Height(); ++y)
      std::memcpy(held.ScanLine(y), from.Row(y), std::size_t(from.Width()) * 3);
    from.Finish();
  }
  if (!E) {
    whole.SetSize(g.EW, g.EH);
    E = &whole;
  }
  FillLiteral(from.Held() ? *from.Held() : held, *E, g.scaleX, g.scaleY, hooks);
  if (sink)
    for (int y = 0; y < g.EH; ++y) sink(std::as_const(*E).ScanLine(y));
}

// Makes the enlarged picture row by row: into E (sized to g, every row kept)
// or, when E is null, into one row that goes to sink as soon as it is made.
void Enlarge(TRowSource& from, const TEnlargeGeometry& g, TBitmap* E, const TEnlargedRowSink& sink,
             const TRowHooks& hooks) {
  const int EW = g.EW, EH = g.EH;
  // Horizontal slopes d / scaleX for d = -255 .. 255 by the literal expression.
  float slope[511];
  for (int d = -255; d <= 255; ++d) slope[d + 255] = float((long double)d / g.scaleX);
  const TAxis cols = MakeAxis(EW, g.scaleX);
  const TAxis rows = MakeAxis(EH, g.scaleY);
  const TEnlargePath path = ChoosePath(cols, rows, g.scaleX, g.scaleY, slope, EW, EH);
  if (path == TEnlargePath::epLiteral) return EnlargeLiteral(from, g, E, sink, hooks);
  // Every byte of every row is composed below (device rows have no
  // padding), so the white fill would only be overwritten.
  if (E) E->AllocateForOverwrite();
  std::vector<std::uint8_t> streamed(E ? 0 : std::size_t(EW) * 4);

  // One source row at a time and, per output pixel, four lanes (blue, green,
  // red, unused = 0) of the current cell row's top and bottom values and of
  // its vertical slopes.
  const int length = std::max(from.Width(), cols.lastCell + 2);
  TSourceRows source(from, length);
  std::vector<std::uint8_t> row(std::size_t(length) * 3 + 16);
  const int lanes = 4 * EW;
  std::vector<float> I0s(lanes, 0.0f), I1s(lanes, 0.0f), sVs(lanes, 0.0f);
  // Values at a row's cell origin stay far below 2^22 (float rounding safe).
  const long double bI = 255 + cols.maxOffset * (long double)std::fabs(slope[255 + 255]);
  const bool floatOrigin = bI < 0x1p21L;
  int loadedCell = -2, slopedCell = -2;
  const TResampleKernels& kernels = Kernels();
  auto values = [&](int r, std::vector<float>& I) {
    source.Load(r, row.data());
    kernels.rowValues(row.data(), cols.cell.data(), cols.offset.data(), slope, g.scaleX, I.data(),
                      EW);
  };

  for (int y = 0; y < EH; ++y) {
    hooks.Progress(RowProgress(y, EH));
    hooks.Pump();
    const int cy = rows.cell[y];
    if (cy != loadedCell) {
      if (cy == loadedCell + 1)
        std::swap(I0s, I1s);
      else
        values(cy, I0s);
      values(cy + 1, I1s);
      loadedCell = cy;
    }
    const bool atOrigin = rows.offset[y] == 0 && floatOrigin;
    if (!atOrigin && slopedCell != cy) {
      kernels.verticalSlopes(I0s.data(), I1s.data(), g.scaleY, sVs.data(), lanes);
      slopedCell = cy;
    }
    std::uint8_t* out = E ? E->ScanLine(y) : streamed.data();
    if (atOrigin)
      kernels.composeRowAtOrigin(I0s.data(), out, lanes);
    else if (path == TEnlargePath::epExact)
      kernels.composeRowExact(I0s.data(), sVs.data(), rows.offset[y], out, lanes);
    else
      scalar_kernels::ComposeRowTies(I0s.data(), sVs.data(), rows.offset[y], out, lanes);
    if (!E) sink(out);
  }
  from.Finish();
}

}  // namespace

void EnlargeBitmap(std::shared_ptr<TBitmap>& V, const std::string& mode, float scaleX, float scaleY,
                   float width, float height, const TRowHooks& hooks) {
  const TBitmap& S = *V;
  const TEnlargeGeometry g = Geometry(mode, scaleX, scaleY, width, height, S.Width(), S.Height());
  auto E = std::make_shared<TBitmap>();
  if (g.EW == 0 || g.EH == 0) {  // a mode of neither kind: the empty picture
    V = std::move(E);
    return;
  }
  // Sized first: a size too large for memory fails here, before any table.
  E->SetWidth(g.EW);
  E->SetHeight(g.EH);
  TPictureRows rows(S);
  Enlarge(rows, g, E.get(), {}, hooks);
  V = std::move(E);
}

void EnlargeRows(TRowSource& source, const TEnlargeGeometry& g, const TEnlargedRowSink& sink,
                 const TRowHooks& hooks) {
  if (g.EW == 0 || g.EH == 0) {
    source.Finish();
    return;
  }
  // The picture is never held, but a size it could not be held in fails
  // as EnlargeBitmap fails.
  TBitmap::CheckSize(g.EW, g.EH, TPixelFormat::pfDevice);
  Enlarge(source, g, nullptr, sink, hooks);
}

}  // namespace vizuvod

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
// Work is done per cell row (the source rows cy and cy + 1): for every output
// column its I0 and sV, three channels side by side; each output row of the
// cell row then only composes round(k*sV + I0). Columns and rows at their
// cell's origin (offset 0) need no arithmetic beyond tables and float
// rounding. ChoosePath checks per call the magnitude bounds these steps need;
// a call outside them (scales beyond 8192 or below 2^-20, absurd sizes) is
// computed with the literal arithmetic.
#include "EnlargeBitmap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include "EnlargeArithmetic.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
enum class TPath { Literal, Ties, Exact };

TPath ChoosePath(const TAxis& cols, const TAxis& rows, float scaleX, float scaleY,
                 const float* slope, int EW, int EH) {
  const float limitLow = 1.0f / (1 << 20), limitHigh = 8192.0f;
  if (!(scaleX >= limitLow && scaleX <= limitHigh && scaleY >= limitLow && scaleY <= limitHigh))
    return TPath::Literal;
  if (cols.minOffset < 0 || rows.minOffset < 0 || cols.maxOffset > (1 << 20) ||
      rows.maxOffset > (1 << 20))
    return TPath::Literal;
  const long double g = FloatGrid(slope[255 + 1]);
  const long double maxSlope = std::fabs(slope[255 + 255]);
  if (g > 1) return TPath::Literal;
  const long double bI = (255 + cols.maxOffset * maxSlope) * (1 + 0x1p-20L);
  const long double maxSV = 2 * bI / scaleY * (1 + 0x1p-20L);
  // Exact in long double: x*sT + p00 and y*sV + I0 (the literal's steps);
  // exact in double: k*sT + p00, I1 - I0, and a quotient short enough that
  // rounding it first to 53 bits is harmless.
  if (!(2 * std::max<long double>((long double)(EW - 1) * maxSlope, 256) / g < 0x1p62L &&
        2 * bI / g < 0x1p51L && 2 * (long double)(EH - 1) * maxSV / g < 0x1p62L))
    return TPath::Literal;
  // Exact in double: k'*sV + I0, for vertical scales below 16.
  const bool exactSum = scaleY <= 15.99f && 2 * (long double)rows.maxOffset * maxSV / g < 0x1p52L;
  return exactSum ? TPath::Exact : TPath::Ties;
}

// Source row r as blue, green, red bytes, white past the last row or column
// (the colour an outside pixel read gives), `length` pixels long.
class TSourceRows {
 public:
  TSourceRows(const TBitmap& S, int length) : S_(S), length_(length) {
    if (S.PixelFormat() == TPixelFormat::pf8bit) {
      const auto& palette = S.Palette();
      for (std::size_t i = 0; i < palette.size(); ++i)
        palette_[i] = {palette[i].blue, palette[i].green, palette[i].red};
    }
  }

  void Load(int r, std::uint8_t* out) const {
    const int SW = S_.Width();
    if (r < 0 || r >= S_.Height() || SW <= 0) {
      std::memset(out, 0xFF, std::size_t(length_) * 3);
      return;
    }
    const std::uint8_t* in = S_.ScanLine(r);
    const int known = std::min(SW, length_);
    switch (S_.PixelFormat()) {
      case TPixelFormat::pf24bit:
        std::memcpy(out, in, std::size_t(known) * 3);
        break;
      case TPixelFormat::pfDevice:
        for (int x = 0; x < known; ++x)
          out[3 * x] = in[4 * x], out[3 * x + 1] = in[4 * x + 1], out[3 * x + 2] = in[4 * x + 2];
        break;
      case TPixelFormat::pf8bit:
        for (int x = 0; x < known; ++x) std::memcpy(out + 3 * x, palette_[in[x]].data(), 3);
        break;
    }
    std::memset(out + std::size_t(known) * 3, 0xFF, std::size_t(length_ - known) * 3);
  }

 private:
  const TBitmap& S_;
  int length_;
  // Indices past the palette's end read black, as the pixel read gives them.
  std::array<std::uint8_t, 3> palette_[256] = {};
};

// Round half to even of |v| < 2^51 in the default rounding mode, without a
// library call: adding 1.5 * 2^52 leaves no fraction bits.
inline double RoundHalfEven(double v) { return (v + 0x1.8p52) - 0x1.8p52; }

// round() of the exact sum a + b, a and b doubles: a + b rounded to double
// only misleads at a tie, where the sign of the lost part decides.
inline double RoundSum(double a, double b) {
  const double s = a + b;
  const double r = RoundHalfEven(s);
  const double d = s - r;
  if (d == 0.5 || d == -0.5) {
    const double bb = s - a;
    const double lost = (a - (s - bb)) + (b - bb);
    if (lost > 0) return s + 0.5;
    if (lost < 0) return s - 0.5;
  }
  return r;
}

inline std::uint8_t ClampByte(double v) { return std::uint8_t(v <= 0 ? 0 : v >= 255 ? 255 : v); }

// One output row: every lane round(k * sV + I0) clamped to a byte. Used
// where k * sV + I0 is exact in double, so rounding the double rounds the
// exact value. The fourth lane of a pixel is 0 + k * 0, the unused byte.
void ComposeRowExact(const float* I0, const float* sV, double k, std::uint8_t* out, int count) {
  int i = 0;
#if defined(__SSE2__)
  const __m128d kk = _mm_set1_pd(k), magic = _mm_set1_pd(0x1.8p52), zero = _mm_setzero_pd(),
                top = _mm_set1_pd(255);
  auto lanes = [&](__m128d slope, __m128d value) {
    __m128d v = _mm_add_pd(_mm_mul_pd(kk, slope), value);
    v = _mm_sub_pd(_mm_add_pd(v, magic), magic);  // round half to even
    return _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(v, zero), top));
  };
  for (; i + 16 <= count; i += 16) {
    __m128i q[4];
    for (int j = 0; j < 4; ++j) {
      const __m128 s = _mm_loadu_ps(sV + i + 4 * j), v = _mm_loadu_ps(I0 + i + 4 * j);
      q[j] = _mm_unpacklo_epi64(lanes(_mm_cvtps_pd(s), _mm_cvtps_pd(v)),
                                lanes(_mm_cvtps_pd(_mm_movehl_ps(s, s)),
                                      _mm_cvtps_pd(_mm_movehl_ps(v, v))));
    }
    const __m128i words = _mm_packs_epi32(q[0], q[1]), words2 = _mm_packs_epi32(q[2], q[3]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(words, words2));
  }
#endif
  for (; i < count; ++i) out[i] = ClampByte(RoundHalfEven(k * sV[i] + I0[i]));
}

// Slopes d / scale for d = -255 .. 255 by the literal expression.
struct TSlopeTables {
  float x[511], y[511];
};

// One cell row: for every output column its I0 and sV, three channels side
// by side (the fourth lane stays 0); top and bottom are the cell row's two
// source rows with 16 bytes to spare. Cells change only every scale columns,
// so corners and slopes are made once per cell. The arithmetic:
//  - a slope d / scale (d an integer) is one float division: rounding the
//    extended quotient to float gives the same float, because 64 >= 2*24 + 2
//    bits make that double rounding harmless;
//  - at the cell's origin (k = 0) I0 = p00 and I1 - I0 = p01 - p00;
//  - k a power of two makes k*sT exact in float, so the float sum is the
//    exact value rounded once; I1 - I0 is exact in float when its
//    error-free remainder is 0, and one float division then rounds the
//    quotient correctly; otherwise double does it (file comment);
//  - other k: k*sT + p00 in double (exact), then the quotient in double.
void CellRow(const std::uint8_t* top, const std::uint8_t* bottom, const TAxis& cols,
             const TSlopeTables& slopes, float scaleX, float scaleY, float* I0, float* sV,
             int EW) {
#if defined(__SSE2__)
  (void)slopes;
  const __m128i zero = _mm_setzero_si128(), mask = _mm_set_epi32(0, -1, -1, -1);
  const __m128 sx = _mm_set1_ps(scaleX), sy = _mm_set1_ps(scaleY);
  const __m128d syd = _mm_set1_pd(scaleY);
  // The pixel at p and its right neighbour, blue, green, red and 0.
  auto corners = [&](const std::uint8_t* p, __m128& left, __m128& right) {
    const __m128i w = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), zero);
    left = _mm_cvtepi32_ps(_mm_and_si128(_mm_unpacklo_epi16(w, zero), mask));
    right = _mm_cvtepi32_ps(_mm_and_si128(_mm_unpacklo_epi16(_mm_srli_si128(w, 6), zero), mask));
  };
  auto quotient = [&](__m128 i0, __m128 i1) {  // (I1 - I0) / scaleY in double
    const __m128d lo = _mm_div_pd(_mm_sub_pd(_mm_cvtps_pd(i1), _mm_cvtps_pd(i0)), syd);
    const __m128d hi = _mm_div_pd(
        _mm_sub_pd(_mm_cvtps_pd(_mm_movehl_ps(i1, i1)), _mm_cvtps_pd(_mm_movehl_ps(i0, i0))), syd);
    return _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi));
  };
  int cell = -1;
  __m128 p00 = _mm_setzero_ps(), p01 = p00, sT = p00, sB = p00, sV0 = p00;
  for (int x = 0; x < EW; ++x, I0 += 4, sV += 4) {
    if (cols.cell[x] != cell) {
      cell = cols.cell[x];
      __m128 p10, p11;
      corners(top + 3 * cell, p00, p10);
      corners(bottom + 3 * cell, p01, p11);
      sT = _mm_div_ps(_mm_sub_ps(p10, p00), sx);
      sB = _mm_div_ps(_mm_sub_ps(p11, p01), sx);
      sV0 = _mm_div_ps(_mm_sub_ps(p01, p00), sy);
    }
    const int k = cols.offset[x];
    if (k == 0) {
      _mm_storeu_ps(I0, p00);
      _mm_storeu_ps(sV, sV0);
    } else if ((k & (k - 1)) == 0) {
      const __m128 kf = _mm_set1_ps(float(k));
      const __m128 i0 = _mm_add_ps(_mm_mul_ps(kf, sT), p00);
      const __m128 i1 = _mm_add_ps(_mm_mul_ps(kf, sB), p01);
      const __m128 d = _mm_sub_ps(i1, i0);  // and what its rounding lost:
      const __m128 bb = _mm_sub_ps(d, i1);
      const __m128 lost = _mm_add_ps(_mm_sub_ps(i1, _mm_sub_ps(d, bb)),
                                     _mm_sub_ps(_mm_sub_ps(_mm_setzero_ps(), i0), bb));
      _mm_storeu_ps(I0, i0);
      if (_mm_movemask_ps(_mm_cmpneq_ps(lost, _mm_setzero_ps())) == 0)
        _mm_storeu_ps(sV, _mm_div_ps(d, sy));
      else
        _mm_storeu_ps(sV, quotient(i0, i1));
    } else {
      const __m128d kk = _mm_set1_pd(k);
      auto value = [&](__m128 slope, __m128 p) {
        const __m128d lo = _mm_add_pd(_mm_mul_pd(kk, _mm_cvtps_pd(slope)), _mm_cvtps_pd(p));
        const __m128d hi = _mm_add_pd(_mm_mul_pd(kk, _mm_cvtps_pd(_mm_movehl_ps(slope, slope))),
                                      _mm_cvtps_pd(_mm_movehl_ps(p, p)));
        return _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi));
      };
      const __m128 i0 = value(sT, p00), i1 = value(sB, p01);
      _mm_storeu_ps(I0, i0);
      _mm_storeu_ps(sV, quotient(i0, i1));
    }
  }
#else
  // Without vector lanes: the slopes from the tables, the rest in double.
  (void)scaleX;
  for (int x = 0; x < EW; ++x, I0 += 4, sV += 4) {
    const std::uint8_t* t = top + 3 * cols.cell[x];
    const std::uint8_t* b = bottom + 3 * cols.cell[x];
    const double k = cols.offset[x];
    for (int ch = 0; ch < 3; ++ch) {
      if (k == 0) {
        I0[ch] = t[ch];
        sV[ch] = slopes.y[b[ch] - t[ch] + 255];
        continue;
      }
      const float i0 = float(k * slopes.x[t[ch + 3] - t[ch] + 255] + t[ch]);
      const float i1 = float(k * slopes.x[b[ch + 3] - b[ch] + 255] + b[ch]);
      I0[ch] = i0;
      sV[ch] = float((double(i1) - double(i0)) / scaleY);
    }
  }
#endif
}

// A row at its cell's origin (y = Y0): each lane is round(I0), I0 a float
// well below 2^22, which float arithmetic rounds exactly, four lanes a time.
void ComposeRowAtOrigin(const float* I0, std::uint8_t* out, int count) {
  int i = 0;
#if defined(__SSE2__)
  const __m128 magic = _mm_set1_ps(0x1.8p23f), zero = _mm_setzero_ps(), top = _mm_set1_ps(255);
  auto lanes = [&](const float* v) {
    __m128 r = _mm_sub_ps(_mm_add_ps(_mm_loadu_ps(v), magic), magic);  // round half to even
    return _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(r, zero), top));
  };
  for (; i + 16 <= count; i += 16) {
    const __m128i words = _mm_packs_epi32(lanes(I0 + i), lanes(I0 + i + 4));
    const __m128i words2 = _mm_packs_epi32(lanes(I0 + i + 8), lanes(I0 + i + 12));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(words, words2));
  }
#endif
  for (; i < count; ++i) out[i] = ClampByte(RoundHalfEven(I0[i]));
}

// The same where the double sum may be inexact (vertical scales of 16 and
// more): the tie case recovers the lost part.
void ComposeRowTies(const float* I0, const float* sV, double k, std::uint8_t* out, int count) {
  for (int i = 0; i < count; ++i) out[i] = ClampByte(RoundSum(k * sV[i], I0[i]));
}

}  // namespace

void EnlargeBitmap(std::shared_ptr<TBitmap>& V, const std::string& mode, float scaleX,
                   float scaleY, float width, float height, const TRowHooks& hooks) {
  const TBitmap& S = *V;
  const TEnlargeGeometry g = Geometry(mode, scaleX, scaleY, width, height, S.Width(), S.Height());
  const int EW = g.EW, EH = g.EH;
  auto E = std::make_shared<TBitmap>();
  if (EW == 0 || EH == 0) {  // a mode of neither kind: the empty picture
    V = std::move(E);
    return;
  }
  // Sized first: a size too large for memory fails here, before any table.
  E->SetWidth(EW);
  E->SetHeight(EH);

  TSlopeTables slopes;
  for (int d = -255; d <= 255; ++d) {
    slopes.x[d + 255] = float((long double)d / g.scaleX);
    slopes.y[d + 255] = float((long double)d / g.scaleY);
  }
  const float* slope = slopes.x;
  const TAxis cols = MakeAxis(EW, g.scaleX);
  const TAxis rows = MakeAxis(EH, g.scaleY);
  const TPath path = ChoosePath(cols, rows, g.scaleX, g.scaleY, slope, EW, EH);
  if (path == TPath::Literal) {
    FillLiteral(S, *E, g.scaleX, g.scaleY, hooks);
    V = std::move(E);
    return;
  }

  // Two source rows (the cell's top and bottom) and, per output pixel, four
  // lanes (blue, green, red, unused = 0) of the current cell row's values I0
  // and vertical slopes sV.
  const int length = std::max(S.Width(), cols.lastCell + 2);
  const TSourceRows source(S, length);
  std::vector<std::uint8_t> top(std::size_t(length) * 3 + 16), bottom(top.size());
  const int lanes = 4 * EW;
  std::vector<float> I0s(lanes, 0.0f), sVs(lanes, 0.0f);
  // Values at a row's cell origin stay far below 2^22 (float rounding safe).
  const long double bI = 255 + cols.maxOffset * (long double)std::fabs(slope[255 + 255]);
  const bool floatOrigin = bI < 0x1p21L;
  int loadedCell = -2;

  for (int y = 0; y < EH; ++y) {
    hooks.Progress(RowProgress(y, EH));
    hooks.Pump();
    const int cy = rows.cell[y];
    if (cy != loadedCell) {
      if (cy == loadedCell + 1) {
        std::swap(top, bottom);
      } else {
        source.Load(cy, top.data());
      }
      source.Load(cy + 1, bottom.data());
      loadedCell = cy;
      CellRow(top.data(), bottom.data(), cols, slopes, g.scaleX, g.scaleY, I0s.data(), sVs.data(),
              EW);
    }
    std::uint8_t* out = E->ScanLine(y);
    if (rows.offset[y] == 0 && floatOrigin)
      ComposeRowAtOrigin(I0s.data(), out, lanes);
    else if (path == TPath::Exact)
      ComposeRowExact(I0s.data(), sVs.data(), rows.offset[y], out, lanes);
    else
      ComposeRowTies(I0s.data(), sVs.data(), rows.offset[y], out, lanes);
  }
  V = std::move(E);
}

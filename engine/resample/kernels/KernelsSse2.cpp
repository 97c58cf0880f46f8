// The SSE2 kernels: sixteen bytes, four floats or two doubles a step. SSE2 is
// part of every x86-64 processor, so this file needs no special flags.
#include "resample/kernels/KernelSets.h"

#if defined(__SSE2__) && !defined(VIZUVOD_NO_SIMD)
#include <emmintrin.h>

#include "resample/kernels/StoreBytes.h"
#endif

namespace vizuvod {

#if defined(__SSE2__) && !defined(VIZUVOD_NO_SIMD)

namespace {

void AddToColumnSums(const std::uint8_t* in, std::uint16_t* sums, int n, bool first) {
  int i = 0;
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
  scalar_kernels::AddToColumnSums(in + i, sums + i, n - i, first);
}

// 16-bit lanes, where 12c - s (-1020 .. 3060) fits; an arithmetic shift then
// saturation to 0 .. 255 gives the scalar kernel's byte.
void SharpenRow(const std::uint8_t* __restrict above, std::uint8_t* __restrict row,
                const std::uint8_t* __restrict below, int bytes) {
  int t = 3;
  const __m128i zero = _mm_setzero_si128(), twelve = _mm_set1_epi16(12);
  auto load = [](const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  };
  for (; t + 16 <= bytes - 3; t += 16) {
    const __m128i c = load(row + t);
    const __m128i d1 = load(above + t - 3), d2 = load(above + t + 3);
    const __m128i d3 = load(below + t - 3), d4 = load(below + t + 3);
    auto half = [&](auto unpack) {
      const __m128i s = _mm_add_epi16(_mm_add_epi16(unpack(d1, zero), unpack(d2, zero)),
                                      _mm_add_epi16(unpack(d3, zero), unpack(d4, zero)));
      return _mm_srai_epi16(_mm_sub_epi16(_mm_mullo_epi16(unpack(c, zero), twelve), s), 3);
    };
    const __m128i lo = half([](__m128i a, __m128i b) { return _mm_unpacklo_epi8(a, b); });
    const __m128i hi = half([](__m128i a, __m128i b) { return _mm_unpackhi_epi8(a, b); });
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row + t), _mm_packus_epi16(lo, hi));
  }
  scalar_kernels::SharpenRow(above, row, below, t, bytes);
}

// One source row's values: for every output column its I, three channels
// side by side (the fourth lane 0); the row has 16 bytes to spare. Cells
// change only every scale columns, so corners and slope are made once per
// cell. The arithmetic:
//  - a slope d / scale (d an integer) is one float division: rounding the
//    extended quotient to float gives the same float, because 64 >= 2*24 + 2
//    bits make that double rounding harmless;
//  - at the cell's origin (k = 0) I = p0;
//  - k a power of two makes k*s exact in float, so the float sum is the
//    exact value rounded once;
//  - other k: k*s + p0 in double (exact), rounded once to float.
void RowValues(const std::uint8_t* row, const int* cells, const int* offsets, const float*,
               float scaleX, float* I, int EW) {
  const __m128i zero = _mm_setzero_si128(), mask = _mm_set_epi32(0, -1, -1, -1);
  const __m128 sx = _mm_set1_ps(scaleX);
  int cell = -1;
  __m128 p0 = _mm_setzero_ps(), s = p0;
  for (int x = 0; x < EW; ++x, I += 4) {
    if (cells[x] != cell) {  // the pixel and its right neighbour, blue, green, red and 0
      cell = cells[x];
      const __m128i w = _mm_unpacklo_epi8(
          _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + 3 * cell)), zero);
      p0 = _mm_cvtepi32_ps(_mm_and_si128(_mm_unpacklo_epi16(w, zero), mask));
      const __m128 p1 =
          _mm_cvtepi32_ps(_mm_and_si128(_mm_unpacklo_epi16(_mm_srli_si128(w, 6), zero), mask));
      s = _mm_div_ps(_mm_sub_ps(p1, p0), sx);
    }
    const int k = offsets[x];
    if (k == 0) {
      _mm_storeu_ps(I, p0);
    } else if ((k & (k - 1)) == 0) {
      _mm_storeu_ps(I, _mm_add_ps(_mm_mul_ps(_mm_set1_ps(float(k)), s), p0));
    } else {
      const __m128d kk = _mm_set1_pd(k);
      const __m128d lo = _mm_add_pd(_mm_mul_pd(kk, _mm_cvtps_pd(s)), _mm_cvtps_pd(p0));
      const __m128d hi = _mm_add_pd(_mm_mul_pd(kk, _mm_cvtps_pd(_mm_movehl_ps(s, s))),
                                    _mm_cvtps_pd(_mm_movehl_ps(p0, p0)));
      _mm_storeu_ps(I, _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi)));
    }
  }
}

// (I1 - I0) / scaleY: where I1 - I0 is exact in float (its error-free
// remainder is 0) one float division rounds the quotient correctly;
// otherwise double does it (EnlargeBitmap.cpp's file comment).
void VerticalSlopes(const float* I0, const float* I1, float scaleY, float* sV, int count) {
  const __m128 sy = _mm_set1_ps(scaleY), zero = _mm_setzero_ps();
  const __m128d syd = _mm_set1_pd(scaleY);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    const __m128 i0 = _mm_loadu_ps(I0 + i), i1 = _mm_loadu_ps(I1 + i);
    const __m128 d = _mm_sub_ps(i1, i0);  // and what its rounding lost:
    const __m128 bb = _mm_sub_ps(d, i1);
    const __m128 lost =
        _mm_add_ps(_mm_sub_ps(i1, _mm_sub_ps(d, bb)), _mm_sub_ps(_mm_sub_ps(zero, i0), bb));
    if (_mm_movemask_ps(_mm_cmpneq_ps(lost, zero)) == 0) {
      _mm_storeu_ps(sV + i, _mm_div_ps(d, sy));
    } else {
      const __m128d lo = _mm_div_pd(_mm_sub_pd(_mm_cvtps_pd(i1), _mm_cvtps_pd(i0)), syd);
      const __m128d hi = _mm_div_pd(
          _mm_sub_pd(_mm_cvtps_pd(_mm_movehl_ps(i1, i1)), _mm_cvtps_pd(_mm_movehl_ps(i0, i0))),
          syd);
      _mm_storeu_ps(sV + i, _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi)));
    }
  }
  scalar_kernels::VerticalSlopes(I0 + i, I1 + i, scaleY, sV + i, count - i);
}

void ComposeRowExact(const float* I0, const float* sV, double k, std::uint8_t* out, int count) {
  int i = 0;
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
      q[j] = _mm_unpacklo_epi64(
          lanes(_mm_cvtps_pd(s), _mm_cvtps_pd(v)),
          lanes(_mm_cvtps_pd(_mm_movehl_ps(s, s)), _mm_cvtps_pd(_mm_movehl_ps(v, v))));
    }
    StoreBytes(out + i, q[0], q[1], q[2], q[3]);
  }
  scalar_kernels::ComposeRowExact(I0 + i, sV + i, k, out + i, count - i);
}

// Float arithmetic rounds I0 (well below 2^22) exactly, four lanes a step.
void ComposeRowAtOrigin(const float* I0, std::uint8_t* out, int count) {
  int i = 0;
  const __m128 magic = _mm_set1_ps(0x1.8p23f), zero = _mm_setzero_ps(), top = _mm_set1_ps(255);
  auto lanes = [&](const float* v) {
    __m128 r = _mm_sub_ps(_mm_add_ps(_mm_loadu_ps(v), magic), magic);  // round half to even
    return _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(r, zero), top));
  };
  for (; i + 16 <= count; i += 16) {
    StoreBytes(out + i, lanes(I0 + i), lanes(I0 + i + 4), lanes(I0 + i + 8), lanes(I0 + i + 12));
  }
  scalar_kernels::ComposeRowAtOrigin(I0 + i, out + i, count - i);
}

const TResampleKernels Sse2Set = {AddToColumnSums, SharpenRow,      RowValues,
                                  VerticalSlopes,  ComposeRowExact, ComposeRowAtOrigin};

}  // namespace

const TResampleKernels* const Sse2Kernels = &Sse2Set;

#else
const TResampleKernels* const Sse2Kernels = nullptr;
#endif

}  // namespace vizuvod

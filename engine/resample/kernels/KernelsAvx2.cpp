// The AVX2 kernels: thirty-two bytes, eight floats or four doubles a step.
// Built with AVX2 enabled for this file alone and called only where the
// processor has it. What it takes from a shared header is static (one copy
// per file), so no AVX2 code can stand in for code the rest of the program
// runs.
#include "resample/kernels/KernelSets.h"

#if defined(VIZUVOD_AVX2_KERNELS)
#include <immintrin.h>

#include "resample/kernels/StoreBytes.h"
#endif

namespace vizuvod {

#if defined(VIZUVOD_AVX2_KERNELS)

namespace {

__m256i Words(const std::uint8_t* p) {  // sixteen bytes as 16-bit lanes, in order
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
// Two vectors of 16-bit lanes back to thirty-two bytes in order (the pack
// works per 128-bit half, the permute puts the halves back).
__m256i PackBytes(__m256i lo, __m256i hi) {
  return _mm256_permute4x64_epi64(_mm256_packus_epi16(lo, hi), 0xD8);
}

void AddToColumnSums(const std::uint8_t* in, std::uint16_t* sums, int n, bool first) {
  int i = 0;
  for (; i + 32 <= n; i += 32) {
    __m256i lo = Words(in + i), hi = Words(in + i + 16);
    auto* out = reinterpret_cast<__m256i*>(sums + i);
    if (!first) {
      lo = _mm256_add_epi16(lo, _mm256_loadu_si256(out));
      hi = _mm256_add_epi16(hi, _mm256_loadu_si256(out + 1));
    }
    _mm256_storeu_si256(out, lo);
    _mm256_storeu_si256(out + 1, hi);
  }
  scalar_kernels::AddToColumnSums(in + i, sums + i, n - i, first);
}

__m256i Sharpened(const std::uint8_t* c, const std::uint8_t* d1, const std::uint8_t* d2,
                  const std::uint8_t* d3, const std::uint8_t* d4) {
  const __m256i s = _mm256_add_epi16(_mm256_add_epi16(Words(d1), Words(d2)),
                                     _mm256_add_epi16(Words(d3), Words(d4)));
  return _mm256_srai_epi16(_mm256_sub_epi16(_mm256_mullo_epi16(Words(c), _mm256_set1_epi16(12)), s),
                           3);
}

// As the SSE2 kernel: 16-bit lanes, shift, saturate.
void SharpenRow(const std::uint8_t* __restrict above, std::uint8_t* __restrict row,
                const std::uint8_t* __restrict below, int bytes) {
  int t = 3;
  for (; t + 32 <= bytes - 3; t += 32) {
    const __m256i lo =
        Sharpened(row + t, above + t - 3, above + t + 3, below + t - 3, below + t + 3);
    const __m256i hi =
        Sharpened(row + t + 16, above + t + 13, above + t + 19, below + t + 13, below + t + 19);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row + t), PackBytes(lo, hi));
  }
  scalar_kernels::SharpenRow(above, row, below, t, bytes);
}

// Four lanes of round(k * sV + I0), clamped, as 32-bit integers.
__m128i ExactLanes(const float* I0, const float* sV, __m256d k) {
  const __m256d magic = _mm256_set1_pd(0x1.8p52);
  __m256d v = _mm256_add_pd(_mm256_mul_pd(k, _mm256_cvtps_pd(_mm_loadu_ps(sV))),
                            _mm256_cvtps_pd(_mm_loadu_ps(I0)));
  v = _mm256_sub_pd(_mm256_add_pd(v, magic), magic);  // round half to even
  v = _mm256_min_pd(_mm256_max_pd(v, _mm256_setzero_pd()), _mm256_set1_pd(255));
  return _mm256_cvttpd_epi32(v);
}

void ComposeRowExact(const float* I0, const float* sV, double k, std::uint8_t* out, int count) {
  int i = 0;
  const __m256d kk = _mm256_set1_pd(k);
  for (; i + 16 <= count; i += 16) {
    StoreBytes(out + i, ExactLanes(I0 + i, sV + i, kk), ExactLanes(I0 + i + 4, sV + i + 4, kk),
               ExactLanes(I0 + i + 8, sV + i + 8, kk), ExactLanes(I0 + i + 12, sV + i + 12, kk));
  }
  scalar_kernels::ComposeRowExact(I0 + i, sV + i, k, out + i, count - i);
}

__m256i OriginLanes(const float* I0) {
  const __m256 magic = _mm256_set1_ps(0x1.8p23f);
  __m256 r = _mm256_sub_ps(_mm256_add_ps(_mm256_loadu_ps(I0), magic), magic);  // half to even
  r = _mm256_min_ps(_mm256_max_ps(r, _mm256_setzero_ps()), _mm256_set1_ps(255));
  return _mm256_cvttps_epi32(r);
}

void ComposeRowAtOrigin(const float* I0, std::uint8_t* out, int count) {
  int i = 0;
  // The packs work per 128-bit half; the dword permute restores the order.
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  for (; i + 32 <= count; i += 32) {
    const __m256i words = _mm256_packs_epi32(OriginLanes(I0 + i), OriginLanes(I0 + i + 8));
    const __m256i words2 = _mm256_packs_epi32(OriginLanes(I0 + i + 16), OriginLanes(I0 + i + 24));
    const __m256i bytes = _mm256_packus_epi16(words, words2);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i),
                        _mm256_permutevar8x32_epi32(bytes, order));
  }
  scalar_kernels::ComposeRowAtOrigin(I0 + i, out + i, count - i);
}

// A row's values two columns a step, each column's blue, green, red and 0 in
// one 128-bit half, with the SSE2 kernel's arithmetic (one float division
// per slope). A column at its cell's origin (k = 0) is the power-of-two case
// with k*s = 0, so every step takes one path. A step with an offset neither
// 0 nor a power of two does both columns in double, which gives the float
// path's values for the other one too. Making each cell's slope once instead
// (blocks of cells, or gathers from the table) measured slower.
void RowValues(const std::uint8_t* row, const int* cells, const int* offsets, const float* slopeX,
               float scaleX, float* I, int EW) {
  const __m256 sx = _mm256_set1_ps(scaleX);
  const __m256i halves = _mm256_setr_epi32(0, 0, 0, 0, 1, 1, 1, 1);
  // From the 8 bytes at each of the two columns' cells: both left pixels,
  // then both right neighbours, as blue, green, red, 0.
  const __m128i pick = _mm_setr_epi8(0, 1, 2, -1, 8, 9, 10, -1, 3, 4, 5, -1, 11, 12, 13, -1);
  auto wide = [](__m256 v, int half) {  // four floats of v as doubles
    return _mm256_cvtps_pd(half ? _mm256_extractf128_ps(v, 1) : _mm256_castps256_ps128(v));
  };
  int x = 0;
  for (; x + 2 <= EW; x += 2, I += 8) {
    const int k0 = offsets[x], k1 = offsets[x + 1];
    const __m128i lo = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + 3 * cells[x]));
    const __m128i w = _mm_shuffle_epi8(
        _mm_castpd_si128(_mm_loadh_pd(_mm_castsi128_pd(lo),
                                      reinterpret_cast<const double*>(row + 3 * cells[x + 1]))),
        pick);
    const __m256i l = _mm256_cvtepu8_epi32(w), r = _mm256_cvtepu8_epi32(_mm_unpackhi_epi64(w, w));
    const __m256 p0 = _mm256_cvtepi32_ps(l);
    const __m256 s = _mm256_div_ps(_mm256_cvtepi32_ps(_mm256_sub_epi32(r, l)), sx);
    if (((k0 & (k0 - 1)) | (k1 & (k1 - 1))) == 0) {
      const __m256 kf = _mm256_cvtepi32_ps(_mm256_permutevar8x32_epi32(
          _mm256_castsi128_si256(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(offsets + x))),
          halves));
      _mm256_storeu_ps(I, _mm256_add_ps(_mm256_mul_ps(kf, s), p0));
    } else {
      const __m256d v0 = _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(k0), wide(s, 0)), wide(p0, 0));
      const __m256d v1 = _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(k1), wide(s, 1)), wide(p0, 1));
      _mm256_storeu_ps(I, _mm256_set_m128(_mm256_cvtpd_ps(v1), _mm256_cvtpd_ps(v0)));
    }
  }
  scalar_kernels::RowValues(row, cells + x, offsets + x, slopeX, scaleX, I, EW - x);
}

// As the SSE2 kernel: a float division where I1 - I0 is exact in float,
// double otherwise, eight lanes a step.
void VerticalSlopes(const float* I0, const float* I1, float scaleY, float* sV, int count) {
  const __m256 sy = _mm256_set1_ps(scaleY), zero = _mm256_setzero_ps();
  const __m256d syd = _mm256_set1_pd(scaleY);
  int i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m256 i0 = _mm256_loadu_ps(I0 + i), i1 = _mm256_loadu_ps(I1 + i);
    const __m256 d = _mm256_sub_ps(i1, i0);  // and what its rounding lost:
    const __m256 bb = _mm256_sub_ps(d, i1);
    const __m256 lost = _mm256_add_ps(_mm256_sub_ps(i1, _mm256_sub_ps(d, bb)),
                                      _mm256_sub_ps(_mm256_sub_ps(zero, i0), bb));
    if (_mm256_movemask_ps(_mm256_cmp_ps(lost, zero, _CMP_NEQ_UQ)) == 0) {
      _mm256_storeu_ps(sV + i, _mm256_div_ps(d, sy));
    } else {
      auto half = [&](int h) {
        return _mm256_div_pd(_mm256_sub_pd(_mm256_cvtps_pd(_mm_loadu_ps(I1 + i + 4 * h)),
                                           _mm256_cvtps_pd(_mm_loadu_ps(I0 + i + 4 * h))),
                             syd);
      };
      _mm256_storeu_ps(sV + i, _mm256_set_m128(_mm256_cvtpd_ps(half(1)), _mm256_cvtpd_ps(half(0))));
    }
  }
  scalar_kernels::VerticalSlopes(I0 + i, I1 + i, scaleY, sV + i, count - i);
}

const TResampleKernels Avx2Set = {AddToColumnSums, SharpenRow,      RowValues,
                                  VerticalSlopes,  ComposeRowExact, ComposeRowAtOrigin};

}  // namespace

const TResampleKernels* const Avx2Kernels = &Avx2Set;

#else
const TResampleKernels* const Avx2Kernels = nullptr;
#endif

}  // namespace vizuvod

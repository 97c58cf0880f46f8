// The packing step the SSE2 and AVX2 compose kernels end with. Static, so
// each kernel file keeps its own copy built with its own instruction set and
// the linker never lets a wider one stand in for a narrower one.
#pragma once

#include <emmintrin.h>

#include <cstdint>

namespace vizuvod {

// Sixteen 32-bit lanes already clamped to 0 .. 255, stored as sixteen bytes
// in order.
static inline void StoreBytes(std::uint8_t* out, __m128i a, __m128i b, __m128i c, __m128i d) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                   _mm_packus_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d)));
}

}  // namespace vizuvod

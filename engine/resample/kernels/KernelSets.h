// The kernel sets each file provides (null where the build leaves one out),
// and the scalar kernels the wider ones finish their rows with.
#pragma once

#include "resample/Kernels.h"

namespace vizuvod {

extern const TResampleKernels ScalarKernels;
extern const TResampleKernels* const Sse2Kernels;
extern const TResampleKernels* const Avx2Kernels;

namespace scalar_kernels {

void AddToColumnSums(const std::uint8_t* in, std::uint16_t* sums, int n, bool first);
void SharpenRow(const std::uint8_t* above, std::uint8_t* row, const std::uint8_t* below, int from,
                int bytes);
void RowValues(const std::uint8_t* row, const int* cell, const int* offset, const float* slopeX,
               float scaleX, float* I, int EW);
void VerticalSlopes(const float* I0, const float* I1, float scaleY, float* sV, int count);
void ComposeRowExact(const float* I0, const float* sV, double k, std::uint8_t* out, int count);
void ComposeRowAtOrigin(const float* I0, std::uint8_t* out, int count);
// As ComposeRowExact where the double sum may be inexact (vertical scales of
// 16 and more): the tie case recovers the lost part. Scalar on every path.
void ComposeRowTies(const float* I0, const float* sV, double k, std::uint8_t* out, int count);

}  // namespace scalar_kernels

}  // namespace vizuvod

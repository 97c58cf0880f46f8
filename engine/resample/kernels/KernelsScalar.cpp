// The portable kernels: one lane at a time, the reference for the wider sets
// and the whole of a build without vector instructions.
#include <algorithm>

#include "resample/kernels/KernelSets.h"

namespace vizuvod {

namespace scalar_kernels {

namespace {

// Round half to even of |v| < 2^51 in the default rounding mode, without a
// library call: adding 1.5 * 2^52 leaves no fraction bits.
inline double RoundHalfEven(double v) { return (v + 0x1.8p52) - 0x1.8p52; }

inline std::uint8_t ClampByte(double v) { return std::uint8_t(v <= 0 ? 0 : v >= 255 ? 255 : v); }

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

}  // namespace

void AddToColumnSums(const std::uint8_t* in, std::uint16_t* sums, int n, bool first) {
  for (int i = 0; i < n; ++i) sums[i] = std::uint16_t(first ? in[i] : sums[i] + in[i]);
}

// Negative values clamp to 0 whichever way the division truncates, so
// (12c - s) / 8 needs no signed division.
void SharpenRow(const std::uint8_t* above, std::uint8_t* row, const std::uint8_t* below, int from,
                int bytes) {
  for (int t = from; t < bytes - 3; ++t) {
    const int v = 12 * row[t] - (above[t - 3] + above[t + 3] + below[t - 3] + below[t + 3]);
    row[t] = std::uint8_t(v <= 0 ? 0 : std::min(v >> 3, 255));
  }
}

void ComposeRowExact(const float* I0, const float* sV, double k, std::uint8_t* out, int count) {
  for (int i = 0; i < count; ++i) out[i] = ClampByte(RoundHalfEven(k * sV[i] + I0[i]));
}

void ComposeRowAtOrigin(const float* I0, std::uint8_t* out, int count) {
  for (int i = 0; i < count; ++i) out[i] = ClampByte(RoundHalfEven(I0[i]));
}

void ComposeRowTies(const float* I0, const float* sV, double k, std::uint8_t* out, int count) {
  for (int i = 0; i < count; ++i) out[i] = ClampByte(RoundSum(k * sV[i], I0[i]));
}

// The slopes from the table, the rest in double (exact: see EnlargeBitmap.cpp).
void RowValues(const std::uint8_t* row, const int* cell, const int* offset, const float* slopeX,
               float, float* I, int EW) {
  for (int x = 0; x < EW; ++x, I += 4) {
    const std::uint8_t* p = row + 3 * cell[x];
    const double k = offset[x];
    for (int ch = 0; ch < 3; ++ch)
      I[ch] = k == 0 ? p[ch] : float(k * slopeX[p[ch + 3] - p[ch] + 255] + p[ch]);
    I[3] = 0;
  }
}

// Lanes come in fours, the fourth 0 on both rows (a 0 slope).
void VerticalSlopes(const float* I0, const float* I1, float scaleY, float* sV, int count) {
  for (int i = 0; i < count; i += 4) {
    for (int ch = 0; ch < 3; ++ch)
      sV[i + ch] = float((double(I1[i + ch]) - double(I0[i + ch])) / scaleY);
    sV[i + 3] = 0;
  }
}

}  // namespace scalar_kernels

namespace {

void SharpenRow(const std::uint8_t* above, std::uint8_t* row, const std::uint8_t* below,
                int bytes) {
  scalar_kernels::SharpenRow(above, row, below, 3, bytes);
}

}  // namespace

const TResampleKernels ScalarKernels = {
    scalar_kernels::AddToColumnSums, SharpenRow,
    scalar_kernels::RowValues,       scalar_kernels::VerticalSlopes,
    scalar_kernels::ComposeRowExact, scalar_kernels::ComposeRowAtOrigin};

}  // namespace vizuvod

// The arithmetic every shrink shares, fast or literal: the size check, the
// ratios, the runs of source pixels per target pixel, the block means and the
// progress positions. One definition, so the versions cannot drift apart.
#pragma once

#include <cstdint>
#include <vector>

namespace vizuvod {

namespace shrink_detail {

// Refuses target sides below 1 and targets larger than the source, before
// anything is touched (either would divide by zero further on).
void CheckSizes(int SW, int SH, int DW, int DH);

// Ratio source/target computed as 1 / (target / source) in extended
// precision and stored as a 32-bit float.
float Ratio(int source, int target);

// Runs of source pixels per target pixel: run i covers b(i) .. b(i+1) - 1
// with b(k) = trunc(k * ratio). A boundary is never let past the point where
// the remaining runs could not have a pixel each; that bound only binds on
// pictures wider than 2^24 pixels, where rounding of the ratio would
// otherwise read past the row.
std::vector<std::int32_t> Runs(int source, int target, float ratio);

// Mean of a block of n pixels, rounded down and then one below for exact
// multiples: sum * (65535 div n) >> 16 for blocks up to 256 pixels (the
// classic formula), sum * (0xFFFFFFFF div n) >> 32 beyond, and with a 40-bit
// scale for blocks beyond 2^24 pixels, where the 32-bit scale would fall two
// or more below the mean. Every block thus gives its mean or one below it.
inline constexpr std::int64_t SmallBlock = 256;
inline constexpr std::int64_t HugeBlock = std::int64_t(1) << 24;

struct TBlockScale {
  std::uint64_t factor;
  int shift;
};
inline TBlockScale BlockScale(std::int64_t n) {
  if (n <= SmallBlock) return {std::uint64_t(65535 / n), 16};
  if (n <= HugeBlock) return {std::uint64_t(0xFFFFFFFFu / std::uint64_t(n)), 32};
  return {((std::uint64_t(1) << 40) - 1) / std::uint64_t(n), 40};
}
inline std::uint8_t BlockMean(std::uint64_t sum, TBlockScale scale) {
  return std::uint8_t((sum * scale.factor) >> scale.shift);
}

// Position of the progress bar for sharpened row y: round(y * 100 / (DH - 2)).
int SharpenProgress(int y, int DH);

}  // namespace shrink_detail

}  // namespace vizuvod

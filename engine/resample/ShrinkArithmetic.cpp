#include "resample/ShrinkArithmetic.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "core/Errors.h"

namespace vizuvod {

namespace shrink_detail {

void CheckSizes(int SW, int SH, int DW, int DH) {
  if (DW < 1 || DH < 1) throw EInvalidArgument("Target size must be at least 1 x 1 pixels");
  if (DW > SW || DH > SH)
    throw EInvalidArgument("Target size " + std::to_string(DW) + " x " + std::to_string(DH) +
                           " is larger than the picture's " + std::to_string(SW) + " x " +
                           std::to_string(SH) + " pixels");
}

float Ratio(int source, int target) {
  return float(1.0L / ((long double)target / (long double)source));
}

std::vector<std::int32_t> Runs(int source, int target, float ratio) {
  std::vector<std::int32_t> runs(target);
  // k * ratio is exact in long double: a 31-bit integer times a 24-bit float.
  auto boundary = [&](int k) {
    const long double b = std::trunc((long double)k * (long double)ratio);
    return std::int32_t(std::min<long double>(b, (long double)source - target + k));
  };
  std::int32_t previous = boundary(0);
  for (int i = 0; i < target; ++i) {
    const std::int32_t next = boundary(i + 1);
    runs[i] = next - previous;
    previous = next;
  }
  return runs;
}

int SharpenProgress(int y, int DH) {
  return int(std::nearbyint((long double)y * 100 / (long double)(DH - 2)));
}

}  // namespace shrink_detail

}  // namespace vizuvod

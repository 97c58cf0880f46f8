// The resamplers' inner loops, one set per instruction set, chosen at run
// time by what the processor has. Every set gives the same bytes: the sets
// differ only in how many lanes a step fills, never in the arithmetic.
#pragma once

#include <cstdint>
#include <vector>

namespace vizuvod {

enum class TKernelPath { kpScalar, kpSse2, kpAvx2 };

struct TResampleKernels {
  // Shrink: sets (first row of a run) or adds n bytes into 16-bit column sums.
  void (*addToColumnSums)(const std::uint8_t* in, std::uint16_t* sums, int n, bool first);
  // Shrink: sharpens one interior row in place from the rows around it.
  void (*sharpenRow)(const std::uint8_t* above, std::uint8_t* row, const std::uint8_t* below,
                     int bytes);
  // Enlarge: the horizontal value I of every output column on one source row
  // (see EnlargeBitmap.cpp), blue, green, red and 0 per column.
  void (*rowValues)(const std::uint8_t* row, const int* cell, const int* offset,
                    const float* slopeX, float scaleX, float* I, int EW);
  // Enlarge: the vertical slopes (I1 - I0) / scaleY of count lanes, in fours
  // as rowValues makes them.
  void (*verticalSlopes)(const float* I0, const float* I1, float scaleY, float* sV, int count);
  // Enlarge: round(k * sV + I0) clamped to a byte, where the double sum is exact.
  void (*composeRowExact)(const float* I0, const float* sV, double k, std::uint8_t* out, int count);
  // Enlarge: round(I0) clamped to a byte, I0 well below 2^22.
  void (*composeRowAtOrigin)(const float* I0, std::uint8_t* out, int count);
};

// The set in use: the widest this build has and this processor runs, unless
// a TScopedKernelPath says otherwise.
const TResampleKernels& Kernels();
TKernelPath ActiveKernelPath();
// Every path this build has that this processor runs, narrowest first.
std::vector<TKernelPath> AvailableKernelPaths();
const char* KernelPathName(TKernelPath path);

// Test seam: forces a path for its lifetime (a path this processor lacks is
// ignored). Not for use while resampling runs on other threads.
class TScopedKernelPath {
 public:
  explicit TScopedKernelPath(TKernelPath path);
  ~TScopedKernelPath();
  TScopedKernelPath(const TScopedKernelPath&) = delete;
  TScopedKernelPath& operator=(const TScopedKernelPath&) = delete;

 private:
  int previous_;
};

}  // namespace vizuvod

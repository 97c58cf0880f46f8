#include "resample/Kernels.h"

#include <atomic>

#include "resample/kernels/KernelSets.h"

namespace vizuvod {

namespace {

bool Runs(TKernelPath path) {
  switch (path) {
    case TKernelPath::kpScalar: return true;
    case TKernelPath::kpSse2: return Sse2Kernels != nullptr;
    case TKernelPath::kpAvx2:
#if defined(__x86_64__) || defined(__i386__)
      __builtin_cpu_init();  // may be reached before the library's own constructor
      return Avx2Kernels != nullptr && Sse2Kernels != nullptr && __builtin_cpu_supports("avx2");
#else
      return false;
#endif
  }
  return false;
}

// A wider set fills in what it leaves out from the next narrower one.
TResampleKernels Completed(const TResampleKernels& wide, const TResampleKernels& base) {
  TResampleKernels k = wide;
  if (!k.addToColumnSums) k.addToColumnSums = base.addToColumnSums;
  if (!k.sharpenRow) k.sharpenRow = base.sharpenRow;
  if (!k.rowValues) k.rowValues = base.rowValues;
  if (!k.verticalSlopes) k.verticalSlopes = base.verticalSlopes;
  if (!k.composeRowExact) k.composeRowExact = base.composeRowExact;
  if (!k.composeRowAtOrigin) k.composeRowAtOrigin = base.composeRowAtOrigin;
  return k;
}

const TResampleKernels& SetFor(TKernelPath path) {
  static const TResampleKernels avx2 =
      Runs(TKernelPath::kpAvx2) ? Completed(*Avx2Kernels, *Sse2Kernels) : ScalarKernels;
  switch (path) {
    case TKernelPath::kpScalar: break;
    case TKernelPath::kpSse2: return *Sse2Kernels;
    case TKernelPath::kpAvx2: return avx2;
  }
  return ScalarKernels;
}

TKernelPath Widest() {
  static const TKernelPath widest = AvailableKernelPaths().back();
  return widest;
}

// The path a TScopedKernelPath forces, or -1.
std::atomic<int> forced{-1};

}  // namespace

std::vector<TKernelPath> AvailableKernelPaths() {
  std::vector<TKernelPath> paths;
  for (TKernelPath p : {TKernelPath::kpScalar, TKernelPath::kpSse2, TKernelPath::kpAvx2})
    if (Runs(p)) paths.push_back(p);
  return paths;
}

TKernelPath ActiveKernelPath() {
  const int f = forced.load(std::memory_order_relaxed);
  return f < 0 ? Widest() : TKernelPath(f);
}

const TResampleKernels& Kernels() { return SetFor(ActiveKernelPath()); }

const char* KernelPathName(TKernelPath path) {
  switch (path) {
    case TKernelPath::kpScalar: return "scalar";
    case TKernelPath::kpSse2: return "SSE2";
    case TKernelPath::kpAvx2: return "AVX2";
  }
  return "?";
}

TScopedKernelPath::TScopedKernelPath(TKernelPath path) : previous_(forced.load()) {
  if (Runs(path)) forced = int(path);
}

TScopedKernelPath::~TScopedKernelPath() { forced = previous_; }

}  // namespace vizuvod

// One photo resized through the engine in one thread, as the window's run
// does it (ResizePhoto: load, decode, resample, encode, save beside it).
// Prints the first pass, which meets a fresh process's memory, and the best
// of the passes after it, in wall seconds. Run by bench/floor.sh:
//   photo_job PHOTO.jpg PERCENT [PASSES]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "core/Bitmap.h"
#include "photo/BatchRun.h"

using namespace vizuvod;

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: photo_job PHOTO.jpg PERCENT [PASSES]\n");
    return 2;
  }
  const std::string photo = argv[1];
  const TFixedSettings settings = TFixedSettings::Percent(std::atoi(argv[2]));
  const int passes = std::max(argc > 3 ? std::atoi(argv[3]) : 4, 1);
  MapLargeBlocks();
  try {
    double first = 0, best = 1e30;
    for (int i = 0; i < passes; ++i) {
      const auto start = std::chrono::steady_clock::now();
      ResizePhoto(photo, settings);
      const double s =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      if (i == 0)
        first = s;
      else
        best = std::min(best, s);
    }
    std::printf("first %.3f best-after %.3f\n", first, passes > 1 ? best : first);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "photo_job: %s\n", e.what());
    return 1;
  }
  return 0;
}

// multisize_bench: what several sizes of a photo cost when they come from
// one decode, against one size alone.
//
//   multisize_bench [FOLDER] [RUNS]
//
// For each camera photo of FOLDER (default: the photos of the corpus beside
// the project) it times, alternately and RUNS times each (default 5), the
// whole job of a run for that photo with one size (long edge 2048) and with
// three (long edges 2048, 1024 and 320): load, decode, resample, encode,
// save. It prints the medians and the ratio three / one; a ratio of 3 is what
// three separate runs cost, since each decodes again. The machine's other
// load counts in both figures alike, so the ratio holds up better than either.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "photo/BatchRun.h"
#include "photo/TargetSize.h"

using namespace vizuvod;

namespace fs = std::filesystem;

namespace {

// One photo's step as vizuvod-batch runs it with --long-edge for each edge.
double Seconds(const std::string& photo, const std::vector<int>& edges, const fs::path& out) {
  TPhotoRequest request;
  request.photo = photo;
  for (int edge : edges)
    request.results.push_back(
        {nullptr,
         [&out](const std::string&, int width, int) {
           return (out / ("result " + std::to_string(width) + ".jpg")).string();
         },
         0,
         [edge](int width, int height) {
           return WizardSettingsFor({TSizeKind::skLongEdge, edge}, width, height, false);
         }});
  const auto start = std::chrono::steady_clock::now();
  ProcessPhoto(request);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::path("../shared/corpus/photos");
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  std::vector<std::string> photos;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec)) {
    const std::string ext = e.path().extension().string();
    if (e.is_regular_file() && (ext == ".jpg" || ext == ".JPG") && e.file_size() > 700000)
      photos.push_back(e.path().string());
  }
  if (photos.empty()) {
    std::fprintf(stderr, "multisize_bench: no photos over 700 KB in %s\n", folder.c_str());
    return 1;
  }
  std::sort(photos.begin(), photos.end());
  const fs::path out = fs::temp_directory_path() / "vizuvod-multisize-bench";
  fs::create_directories(out);

  std::printf("%-36s %10s %10s %7s\n", "photo", "1 size s", "3 sizes s", "ratio");
  double totalOne = 0, totalThree = 0;
  for (const std::string& photo : photos) {
    std::vector<double> one, three;
    try {
      for (int i = 0; i < runs; ++i) {
        one.push_back(Seconds(photo, {2048}, out));
        three.push_back(Seconds(photo, {2048, 1024, 320}, out));
      }
    } catch (const std::exception& e) {
      std::printf("%-36s failed: %s\n", fs::path(photo).filename().c_str(), e.what());
      continue;
    }
    const double a = Median(one), b = Median(three);
    totalOne += a, totalThree += b;
    std::printf("%-36s %10.3f %10.3f %7.2f\n", fs::path(photo).filename().c_str(), a, b, b / a);
  }
  std::printf("%-36s %10.3f %10.3f %7.2f\n", "all", totalOne, totalThree, totalThree / totalOne);
  fs::remove_all(out, ec);
  return totalThree <= 1.5 * totalOne ? 0 : 1;
}

#include "TestSupport.h"

#include <unistd.h>
#include <atomic>
#include <cstdlib>
#include <random>

#include "Errors.h"
#include "JpegImage.h"

namespace vizuvod {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("vizuvod-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
           std::to_string(std::random_device{}()));
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string DecodeFailure(const std::string& path, bool detailed) {
  try {
    TJPEGImage J;
    J.LoadFromFile(path);
    TBitmap B;
    B.Assign(J);
  } catch (const Exception& e) {
    return detailed ? e.Detailed() : e.what();
  }
  return "";
}

std::filesystem::path CorpusDir() {
  if (const char* dir = std::getenv("VIZUVOD_CORPUS"); dir && std::filesystem::is_directory(dir))
    return dir;
  return {};
}

}  // namespace vizuvod

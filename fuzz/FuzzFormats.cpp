// libFuzzer target: arbitrary bytes opened as a photo of any format the
// engine reads (told by its first bytes), decoded whole and read again row
// by row. Any failure must be one of the engine's own error classes;
// anything else escaping, a sanitizer report, a hang or a bomb that takes
// its memory before the budget refuses it is a finding.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/Errors.h"
#include "formats/Formats.h"
#include "formats/PhotoCodec.h"

using namespace vizuvod;

namespace {

// Pictures above this are not decoded here: slow, not interesting. Their
// headers are still read, which exercises the refusals.
constexpr long long kMaxFuzzPixels = 1 << 18;

const std::string& InputPath() {
  static const std::string path = [] {
    std::filesystem::path base = std::filesystem::is_directory("/dev/shm")
                                     ? "/dev/shm"
                                     : std::filesystem::temp_directory_path();
    return (base / ("vizuvod-fuzz-formats-" + std::to_string(::getpid()))).string();
  }();
  return path;
}

void OnePhoto(const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(InputPath().c_str(), "wb");
  if (!f || (size && std::fwrite(data, 1, size, f) != size)) std::abort();
  std::fclose(f);
  const auto decoder = OpenDecoder(InputPath(), true);
  if ((long long)decoder->Width() * decoder->Height() > kMaxFuzzPixels) return;
  const TBitmap picture = decoder->Picture();
  if (picture.Width() != decoder->Width() || picture.Height() != decoder->Height()) std::abort();
  (void)decoder->Metadata();
  const auto again = OpenDecoder(InputPath(), true);
  const auto rows = again->Rows();
  for (int y = 0; y < rows->Height(); ++y) (void)rows->Row(y);
  rows->Finish();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    OnePhoto(data, size);
  } catch (const Exception&) {
    // A clear failure of the engine's own kind: the expected outcome for junk.
  }
  return 0;
}

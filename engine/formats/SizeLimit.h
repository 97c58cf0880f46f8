// A result kept under a size in bytes: its rows are held once resampled and
// encoded again at lower qualities until the file fits, the highest quality
// that fits winning. The search starts from a guess made from the first
// encoding's size, so a result takes few encodings. The file is measured
// whole, with the metadata it carries; when even the lowest quality is too
// large with it, lighter metadata is tried, a step at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "formats/PhotoCodec.h"

namespace vizuvod {

// The encoder of a result at a quality, with the metadata of a step: 0 all
// that is kept, 1 to lighterSteps less and less.
using TEncoderAt = std::function<std::unique_ptr<TPhotoEncoder>(int quality, int lighter)>;

// An encoder of the rows given, at most `limit` bytes, at a quality from
// 10 (or `quality` when lower) to `quality`. When nothing fits with the
// whole metadata, the lightest step that fits is taken and a warning says
// what it left out (leftOut(step)). Finish fails with EResultTooLarge when
// even the lowest quality of the lightest step is too large.
std::unique_ptr<TPhotoEncoder> SizeLimitedEncoder(
    TEncoderAt encoderAt, int quality, std::uintmax_t limit, int lighterSteps = 0,
    std::function<std::string(int step)> leftOut = nullptr);

}  // namespace vizuvod

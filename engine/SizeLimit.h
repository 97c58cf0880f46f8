// A result kept under a size in bytes: its rows are held once resampled and
// encoded again at lower qualities until the file fits, the highest quality
// that fits winning. The search starts from a guess made from the first
// encoding's size, so a result takes few encodings.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "PhotoCodec.h"

namespace vizuvod {

using TEncoderAt = std::function<std::unique_ptr<TPhotoEncoder>(int quality)>;

// An encoder of the rows given, at most `limit` bytes, at a quality from
// 10 to `quality`. Finish fails with EResultTooLarge when even 10 is too
// large.
std::unique_ptr<TPhotoEncoder> SizeLimitedEncoder(TEncoderAt encoderAt, int quality,
                                                  std::uintmax_t limit);

}  // namespace vizuvod

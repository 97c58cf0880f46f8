#include "formats/SizeLimit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "core/Abandon.h"
#include "core/Errors.h"

namespace vizuvod {

namespace {

constexpr int LowestQuality = 10;

class TSizeLimitedEncoder : public THeldPictureEncoder {
 public:
  TSizeLimitedEncoder(TEncoderAt encoderAt, int quality, std::uintmax_t limit, int lighterSteps,
                      std::function<std::string(int)> leftOut)
      : THeldPictureEncoder("", std::numeric_limits<int>::max()),
        encoderAt_(std::move(encoderAt)),
        quality_(quality),
        lowest_(std::min(quality, LowestQuality)),
        limit_(limit),
        lighterSteps_(lighterSteps),
        leftOut_(std::move(leftOut)) {}

  bool Takes(int width, int height) const override {
    return encoderAt_(quality_, 0)->Takes(width, height);
  }
  std::vector<std::uint8_t> Finish() override;
  int ChosenQuality() const override { return chosen_; }
  int Encodings() const override { return encodings_; }

 private:
  std::uintmax_t EncodedAt(int quality);
  int NextGuess() const;
  void Search();

  TEncoderAt encoderAt_;
  const int quality_, lowest_;
  const std::uintmax_t limit_;
  const int lighterSteps_;
  std::function<std::string(int)> leftOut_;
  int step_ = 0;                         // of the metadata
  std::map<int, std::uintmax_t> sizes_;  // by quality, at step_
  struct TFitting {
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> warnings;
  };
  std::map<int, TFitting> fitting_;
  int chosen_ = 0, encodings_ = 0;
};

std::uintmax_t TSizeLimitedEncoder::EncodedAt(int quality) {
  ThrowIfAbandoned();
  auto encoder = encoderAt_(quality, step_);
  encoder->Start(width_, height_, rowFormat_);
  const std::size_t rowBytes = std::size_t(width_) * std::size_t(bytesPerPixel_);
  for (int y = 0; y < height_; ++y) {
    if (y % 64 == 0) ThrowIfAbandoned();
    encoder->Write(Rows() + rowBytes * std::size_t(y));
  }
  std::vector<std::uint8_t> bytes = encoder->Finish();
  ++encodings_;
  sizes_[quality] = bytes.size();
  if (bytes.size() <= limit_) fitting_[quality] = {std::move(bytes), encoder->warnings};
  return sizes_[quality];
}

// libjpeg's scale of its tables for a quality, as a power of two: a file's
// size runs close to a straight line in it.
double TableScale(int quality) {
  return std::log2(quality < 50 ? 5000.0 / quality : 200.0 - 2 * quality);
}

int QualityOfScale(double scale) {
  const double s = std::exp2(scale);
  return int(std::floor(s <= 100 ? (200 - s) / 2 : 5000 / s));
}

// The highest quality the line through the nearest known sizes on each side
// of the limit (or, with one point only, a typical photo's slope) says fits.
int TSizeLimitedEncoder::NextGuess() const {
  auto fits = std::find_if(sizes_.rbegin(), sizes_.rend(),
                           [&](const auto& e) { return e.second <= limit_; });
  auto fails =
      std::find_if(sizes_.begin(), sizes_.end(), [&](const auto& e) { return e.second > limit_; });
  const int low = fits == sizes_.rend() ? lowest_ - 1 : fits->first;
  const int high = fails->first;
  const double x1 = TableScale(high), y1 = double(fails->second);
  // Each doubling of the tables takes about a third off a photo's size.
  double slope = -0.35 * y1;
  if (fits != sizes_.rend()) slope = (double(fits->second) - y1) / (TableScale(fits->first) - x1);
  const double x = x1 + (double(limit_) - y1) / slope;
  return std::clamp(QualityOfScale(x), std::max(low + 1, lowest_), high - 1);
}

// The highest quality that fits at this step of the metadata, if any.
void TSizeLimitedEncoder::Search() {
  sizes_.clear(), fitting_.clear();
  // With lighter metadata, first whether anything fits at all.
  if (step_ > 0 && EncodedAt(lowest_) > limit_) return;
  if ((sizes_.count(quality_) ? sizes_[quality_] : EncodedAt(quality_)) <= limit_) return;
  for (;;) {
    const auto fits = std::find_if(sizes_.rbegin(), sizes_.rend(),
                                   [&](const auto& e) { return e.second <= limit_; });
    const int low = fits == sizes_.rend() ? lowest_ - 1 : fits->first;
    const int high = std::find_if(sizes_.begin(), sizes_.end(), [&](const auto& e) {
                       return e.second > limit_;
                     })->first;
    if (high - low <= 1) break;
    EncodedAt(NextGuess());
  }
}

std::vector<std::uint8_t> TSizeLimitedEncoder::Finish() {
  Search();
  while (fitting_.empty() && step_ < lighterSteps_) {
    ++step_;
    Search();
  }
  if (fitting_.empty()) throw EResultTooLarge(limit_, sizes_.begin()->second, lowest_);
  chosen_ = fitting_.rbegin()->first;
  Release();
  warnings = std::move(fitting_.rbegin()->second.warnings);
  if (step_ > 0 && leftOut_)
    warnings.push_back(leftOut_(step_) + " left out to keep the result within " +
                       std::to_string(limit_) + " bytes");
  return std::move(fitting_.rbegin()->second.bytes);
}

}  // namespace

std::unique_ptr<TPhotoEncoder> SizeLimitedEncoder(TEncoderAt encoderAt, int quality,
                                                  std::uintmax_t limit, int lighterSteps,
                                                  std::function<std::string(int)> leftOut) {
  return std::make_unique<TSizeLimitedEncoder>(std::move(encoderAt), quality, limit, lighterSteps,
                                               std::move(leftOut));
}

}  // namespace vizuvod

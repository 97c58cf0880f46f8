#include "SizeLimit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "Errors.h"

namespace vizuvod {

namespace {

constexpr int LowestQuality = 10;

class TSizeLimitedEncoder : public THeldPictureEncoder {
 public:
  TSizeLimitedEncoder(TEncoderAt encoderAt, int quality, std::uintmax_t limit)
      : THeldPictureEncoder("", std::numeric_limits<int>::max()),
        encoderAt_(std::move(encoderAt)),
        quality_(quality),
        limit_(limit) {}

  bool Takes(int width, int height) const override {
    return encoderAt_(quality_)->Takes(width, height);
  }
  std::vector<std::uint8_t> Finish() override;
  int ChosenQuality() const override { return chosen_; }
  int Encodings() const override { return int(sizes_.size()); }

 private:
  std::uintmax_t EncodedAt(int quality);
  int NextGuess() const;

  TEncoderAt encoderAt_;
  const int quality_;
  const std::uintmax_t limit_;
  std::map<int, std::uintmax_t> sizes_;  // by quality
  struct TFitting {
    std::vector<std::uint8_t> bytes;
    std::vector<std::string> warnings;
  };
  std::map<int, TFitting> fitting_;
  int chosen_ = 0;
};

std::uintmax_t TSizeLimitedEncoder::EncodedAt(int quality) {
  auto encoder = encoderAt_(quality);
  encoder->Start(width_, height_, rowFormat_);
  const std::size_t rowBytes = std::size_t(width_) * std::size_t(bytesPerPixel_);
  for (int y = 0; y < height_; ++y) encoder->Write(Rows() + rowBytes * std::size_t(y));
  std::vector<std::uint8_t> bytes = encoder->Finish();
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
  const int low = fits == sizes_.rend() ? LowestQuality - 1 : fits->first;
  const int high = fails->first;
  const double x1 = TableScale(high), y1 = double(fails->second);
  // Each doubling of the tables takes about a third off a photo's size.
  double slope = -0.35 * y1;
  if (fits != sizes_.rend()) slope = (double(fits->second) - y1) / (TableScale(fits->first) - x1);
  const double x = x1 + (double(limit_) - y1) / slope;
  return std::clamp(QualityOfScale(x), std::max(low + 1, LowestQuality), high - 1);
}

std::vector<std::uint8_t> TSizeLimitedEncoder::Finish() {
  if (EncodedAt(quality_) > limit_) {
    for (;;) {
      const auto fits = std::find_if(sizes_.rbegin(), sizes_.rend(),
                                     [&](const auto& e) { return e.second <= limit_; });
      const int low = fits == sizes_.rend() ? LowestQuality - 1 : fits->first;
      const int high = std::find_if(sizes_.begin(), sizes_.end(), [&](const auto& e) {
                         return e.second > limit_;
                       })->first;
      if (high - low <= 1) break;
      EncodedAt(NextGuess());
    }
  }
  if (fitting_.empty()) throw EResultTooLarge(limit_, sizes_.at(LowestQuality));
  chosen_ = fitting_.rbegin()->first;
  Release();
  warnings = std::move(fitting_.rbegin()->second.warnings);
  return std::move(fitting_.rbegin()->second.bytes);
}

}  // namespace

std::unique_ptr<TPhotoEncoder> SizeLimitedEncoder(TEncoderAt encoderAt, int quality,
                                                  std::uintmax_t limit) {
  return std::make_unique<TSizeLimitedEncoder>(std::move(encoderAt), quality, limit);
}

}  // namespace vizuvod

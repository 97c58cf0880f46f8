// What every encoder shares: a held picture given row by row, and the rows
// held for a library that takes the whole picture.
#include "formats/PhotoCodec.h"

#include "core/Errors.h"

namespace vizuvod {

std::vector<std::uint8_t> TPhotoEncoder::Encode(const TBitmap& picture) {
  const int width = picture.Width();
  const TPixelFormat format = picture.PixelFormat();
  Start(width, picture.Height(), format == TPixelFormat::pfDevice ? format : TPixelFormat::pf24bit);
  // Palette pictures (a grey photo) go in as blue, green, red.
  TPictureRows rows(picture);
  for (int y = 0; y < picture.Height(); ++y)
    Write(format == TPixelFormat::pfDevice ? picture.ScanLine(y) : rows.Row(y));
  return Finish();
}

void THeldPictureEncoder::Start(int width, int height, TPixelFormat format) {
  if (!Takes(width, height))
    throw EPhotoData(format_, "a result of " + std::to_string(width) + " x " +
                                  std::to_string(height) + " pixels is more than " +
                                  std::to_string(maxSide_) + " a side");
  width_ = width, height_ = height, rowFormat_ = format;
  bytesPerPixel_ = format == TPixelFormat::pfDevice ? 4 : 3;
  rows_.clear();
  rows_.reserve(std::size_t(width) * std::size_t(height) * std::size_t(bytesPerPixel_));
}

void THeldPictureEncoder::Write(const std::uint8_t* row) {
  rows_.insert(rows_.end(), row, row + std::size_t(width_) * std::size_t(bytesPerPixel_));
}

}  // namespace vizuvod

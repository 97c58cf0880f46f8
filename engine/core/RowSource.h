// Where the resamplers' rows come from: a decoder that hands out the photo
// row by row, or a picture held whole. Both look alike to a resampler, which
// asks for each row it needs top to bottom and says when it has read enough.
#pragma once

#include <cstdint>
#include <vector>

#include "core/Bitmap.h"

namespace vizuvod {

class TRowSource {
 public:
  virtual ~TRowSource() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Row y as blue, green, red bytes: asked for top to bottom, each at most
  // once, and valid until the next call. Rows skipped are read and dropped.
  virtual const std::uint8_t* Row(int y) = 0;
  // Called once the rows the resampler needs are read (a decoder reads the
  // rest and reports what it met there).
  virtual void Finish() {}
  // The picture behind the rows when it is held whole, else null.
  virtual const TBitmap* Held() const { return nullptr; }
};

// The rows of a picture held whole, in any pixel format.
class TPictureRows : public TRowSource {
 public:
  explicit TPictureRows(const TBitmap& picture);
  int Width() const override { return picture_.Width(); }
  int Height() const override { return picture_.Height(); }
  const std::uint8_t* Row(int y) override;
  const TBitmap* Held() const override { return &picture_; }

 private:
  const TBitmap& picture_;
  TBgrPalette palette_{};
  std::vector<std::uint8_t> row_;
};

}  // namespace vizuvod

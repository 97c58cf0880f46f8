#include "core/RowSource.h"

#include <cstring>

namespace vizuvod {

TPictureRows::TPictureRows(const TBitmap& picture) : picture_(picture) {
  if (picture.PixelFormat() == TPixelFormat::pf24bit) return;
  if (picture.PixelFormat() == TPixelFormat::pf8bit) palette_ = BgrPalette(picture.Palette());
  row_.resize(std::size_t(picture.Width()) * 3);
}

const std::uint8_t* TPictureRows::Row(int y) {
  const std::uint8_t* in = picture_.ScanLine(y);
  const int width = picture_.Width();
  switch (picture_.PixelFormat()) {
    case TPixelFormat::pf24bit: return in;
    case TPixelFormat::pfDevice:
      for (int x = 0; x < width; ++x) std::memcpy(&row_[3 * std::size_t(x)], in + 4 * x, 3);
      break;
    case TPixelFormat::pf8bit: IndexedRowToBgr(in, row_.data(), width, palette_); break;
  }
  return row_.data();
}

}  // namespace vizuvod

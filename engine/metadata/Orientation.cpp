// Turns and flips by row: for orientations 1-4 each result row is one source
// row, kept or reversed; for 5-8 (sides swapped) each result row is one
// source column, read top down or bottom up.
#include "metadata/Orientation.h"

#include <cstring>
#include <vector>

namespace vizuvod {

namespace {

// The pixel copies for one pixel size, so each copy is a fixed-size move.
template <int Bpp>
void Permute(const std::vector<const std::uint8_t*>& rows, TBitmap& result, int W, int H,
             int orientation) {
  // For each result pixel (x, y): the source pixel (sx, sy).
  //   2: (W-1-x, y)  3: (W-1-x, H-1-y)  4: (x, H-1-y)
  //   5: (y, x)      6: (y, H-1-x)      7: (W-1-y, H-1-x)  8: (W-1-y, x)
  const bool mirrorX = orientation == 2 || orientation == 3;
  const bool mirrorY = orientation == 3 || orientation == 4;
  const bool columnFromRight = orientation == 7 || orientation == 8;
  const bool columnBottomUp = orientation == 6 || orientation == 7;
  for (int y = 0; y < result.Height(); ++y) {
    std::uint8_t* out = result.ScanLine(y);
    if (!SwapsSides(orientation)) {
      const std::uint8_t* in = rows[std::size_t(mirrorY ? H - 1 - y : y)];
      if (!mirrorX) {
        std::memcpy(out, in, std::size_t(W) * Bpp);
      } else {
        for (int x = 0; x < W; ++x) std::memcpy(out + x * Bpp, in + (W - 1 - x) * Bpp, Bpp);
      }
      continue;
    }
    const std::size_t sx = std::size_t(columnFromRight ? W - 1 - y : y) * Bpp;
    for (int x = 0; x < H; ++x)
      std::memcpy(out + x * Bpp, rows[std::size_t(columnBottomUp ? H - 1 - x : x)] + sx, Bpp);
  }
}

}  // namespace

TBitmap OrientedBitmap(const TBitmap& source, int orientation) {
  if (orientation < 2 || orientation > 8 || !source.HasPixels()) return source;
  const int W = source.Width(), H = source.Height();
  const bool swap = SwapsSides(orientation);

  TBitmap result;
  result.SetPalette(source.Palette());
  result.SetPixelFormat(source.PixelFormat());
  result.SetSize(swap ? H : W, swap ? W : H);

  std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(H));
  for (int y = 0; y < H; ++y) rows[std::size_t(y)] = source.ScanLine(y);
  switch (source.PixelFormat()) {
    case TPixelFormat::pf8bit: Permute<1>(rows, result, W, H, orientation); break;
    case TPixelFormat::pf24bit: Permute<3>(rows, result, W, H, orientation); break;
    case TPixelFormat::pfDevice: Permute<4>(rows, result, W, H, orientation); break;
  }
  return result;
}

namespace {

// The orientation in an EXIF payload after "Exif\0\0": a TIFF header, then
// IFD0's entries. Every offset is checked against the payload's end.
int OrientationInTiff(const std::uint8_t* tiff, std::size_t size) {
  if (size < 8) return UprightOrientation;
  const bool little = tiff[0] == 'I' && tiff[1] == 'I';
  if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return UprightOrientation;
  const auto u16 = [&](std::size_t at) -> unsigned {
    return little ? tiff[at] | tiff[at + 1] << 8 : tiff[at] << 8 | tiff[at + 1];
  };
  const auto u32 = [&](std::size_t at) -> std::uint32_t {
    return little ? std::uint32_t(u16(at)) | std::uint32_t(u16(at + 2)) << 16
                  : std::uint32_t(u16(at)) << 16 | u16(at + 2);
  };
  if (u16(2) != 42) return UprightOrientation;
  const std::uint32_t ifd = u32(4);
  if (ifd < 8 || ifd > size - 2) return UprightOrientation;
  const unsigned entries = u16(ifd);
  for (unsigned i = 0; i < entries; ++i) {
    const std::size_t entry = ifd + 2 + std::size_t(i) * 12;
    if (entry + 12 > size) break;
    if (u16(entry) != 0x0112) continue;
    constexpr unsigned Short = 3;
    if (u16(entry + 2) != Short || u32(entry + 4) < 1) return UprightOrientation;
    const unsigned value = u16(entry + 8);
    return value >= 2 && value <= 8 ? int(value) : UprightOrientation;
  }
  return UprightOrientation;
}

}  // namespace

int CarriedOrientation(const std::uint8_t* b, std::size_t size) {
  if (size < 4 || b[0] != 0xFF || b[1] != 0xD8) return UprightOrientation;
  static constexpr std::uint8_t ExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};
  std::size_t i = 2;
  while (i + 4 <= size) {
    if (b[i] != 0xFF) return UprightOrientation;  // not a marker: damaged headers
    const std::uint8_t marker = b[i + 1];
    if (marker == 0xFF) {  // fill byte before a marker
      ++i;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) break;                 // the end, or the first scan
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length
      i += 2;
      continue;
    }
    const std::size_t length = std::size_t(b[i + 2]) << 8 | b[i + 3];
    if (length < 2 || i + 2 + length > size) break;
    const std::uint8_t* payload = b + i + 4;
    const std::size_t payloadSize = length - 2;
    if (marker == 0xE1 && payloadSize >= sizeof ExifHeader &&
        std::memcmp(payload, ExifHeader, sizeof ExifHeader) == 0)
      return OrientationInTiff(payload + sizeof ExifHeader, payloadSize - sizeof ExifHeader);
    i += 2 + length;
  }
  return UprightOrientation;
}

}  // namespace vizuvod

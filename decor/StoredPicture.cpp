// Reading Windows bitmap files and the stored-picture wrapper. Every field
// is checked against the data's length before it is used, since layout data
// is input like any other file.
#include "StoredPicture.h"

#include <QFile>
#include <array>
#include <cstring>
#include <vector>

// Outside any namespace, as the resource initialiser requires; the
// resources live in a static library, so nothing else pulls them in.
static void InitDecorResources() {
  static bool done = false;
  if (done) return;
  Q_INIT_RESOURCE(decor);
  done = true;
}

namespace {

std::uint32_t U32(std::span<const std::uint8_t> d, std::size_t at) {
  return std::uint32_t(d[at]) | std::uint32_t(d[at + 1]) << 8 | std::uint32_t(d[at + 2]) << 16 |
         std::uint32_t(d[at + 3]) << 24;
}
std::uint16_t U16(std::span<const std::uint8_t> d, std::size_t at) {
  return std::uint16_t(d[at] | d[at + 1] << 8);
}

constexpr std::size_t FileHeaderSize = 14;
constexpr std::uint32_t BI_RGB = 0;
// Pictures beyond this many pixels are not header pictures; refusing them
// keeps a damaged length from asking for gigabytes.
constexpr std::uint64_t MaxPixels = 1u << 26;

}  // namespace

TBitmap LoadBitmapFile(std::span<const std::uint8_t> file) {
  if (file.size() < FileHeaderSize + 4 || file[0] != 'B' || file[1] != 'M')
    throw EInvalidGraphic();
  const std::uint32_t offBits = U32(file, 10);
  const std::uint32_t infoSize = U32(file, FileHeaderSize);
  if (file.size() < FileHeaderSize + std::uint64_t(infoSize)) throw EInvalidGraphic();

  std::int64_t width, height;
  unsigned bitCount, compression = BI_RGB, colorsUsed = 0, paletteEntrySize;
  if (infoSize == 12) {  // the old core header
    width = U16(file, 18);
    height = std::int16_t(U16(file, 20));
    bitCount = U16(file, 24);
    paletteEntrySize = 3;
  } else if (infoSize >= 40) {
    width = std::int32_t(U32(file, 18));
    height = std::int32_t(U32(file, 22));
    bitCount = U16(file, 28);
    compression = U32(file, 30);
    colorsUsed = U32(file, 46);
    paletteEntrySize = 4;
  } else {
    throw EInvalidGraphic();
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > MaxPixels)
    throw EInvalidGraphic();
  if (compression != BI_RGB) throw EInvalidGraphic();
  if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
    throw EInvalidGraphic();

  std::vector<std::array<std::uint8_t, 3>> palette;  // blue, green, red
  if (bitCount <= 8) {
    const std::uint32_t maxColors = 1u << bitCount;
    const std::uint32_t count = colorsUsed == 0 ? maxColors : std::min(colorsUsed, maxColors);
    const std::uint64_t at = FileHeaderSize + std::uint64_t(infoSize);
    if (at + std::uint64_t(count) * paletteEntrySize > file.size()) throw EInvalidGraphic();
    for (std::uint32_t k = 0; k < count; ++k) {
      const std::size_t e = std::size_t(at + std::uint64_t(k) * paletteEntrySize);
      palette.push_back({file[e], file[e + 1], file[e + 2]});
    }
  }

  const std::uint64_t stride = (std::uint64_t(width) * bitCount + 31) / 32 * 4;
  if (offBits > file.size() || stride * std::uint64_t(height) > file.size() - offBits)
    throw EInvalidGraphic();

  TBitmap picture;
  picture.SetPixelFormat(TPixelFormat::pf24bit);
  picture.SetSize(int(width), int(height));
  for (int y = 0; y < int(height); ++y) {
    const int stored = topDown ? y : int(height) - 1 - y;
    const std::uint8_t* src = file.data() + offBits + std::size_t(stride) * std::size_t(stored);
    std::uint8_t* dst = picture.ScanLine(y);
    for (int x = 0; x < int(width); ++x) {
      std::uint8_t b, g, r;
      if (bitCount == 24 || bitCount == 32) {
        const std::uint8_t* p = src + std::size_t(x) * (bitCount / 8);
        b = p[0];
        g = p[1];
        r = p[2];
      } else {
        const int perByte = 8 / int(bitCount);
        const int shift = 8 - int(bitCount) * (x % perByte + 1);
        const unsigned index = (src[x / perByte] >> shift) & ((1u << bitCount) - 1);
        if (index >= palette.size()) throw EInvalidGraphic();
        b = palette[index][0];
        g = palette[index][1];
        r = palette[index][2];
      }
      dst[3 * x] = b;
      dst[3 * x + 1] = g;
      dst[3 * x + 2] = r;
    }
  }
  return picture;
}

TBitmap LoadStoredPicture(std::span<const std::uint8_t> data) {
  if (data.size() < 4) throw EReadError();
  const std::uint32_t length = U32(data, 0);
  if (data.size() - 4 < length) throw EReadError();
  return LoadBitmapFile(data.subspan(4, length));
}

TBitmap LoadStoredPicture(const QByteArray& data) {
  return LoadStoredPicture(std::span(reinterpret_cast<const std::uint8_t*>(data.constData()),
                                     std::size_t(data.size())));
}

QByteArray MakeStoredPicture(const QByteArray& bitmapFile) {
  const auto n = std::uint32_t(bitmapFile.size());
  QByteArray stored;
  stored.reserve(bitmapFile.size() + 4);
  for (int k = 0; k < 4; ++k) stored.append(char((n >> (8 * k)) & 0xFF));
  stored.append(bitmapFile);
  return stored;
}

QByteArray HeaderPictureData() {
  InitDecorResources();
  QFile file(QStringLiteral(":/decor/HeaderPicture.bmp"));
  if (!file.open(QIODevice::ReadOnly)) return {};
  return MakeStoredPicture(file.readAll());
}

TBitmap HeaderPicture() { return LoadStoredPicture(HeaderPictureData()); }

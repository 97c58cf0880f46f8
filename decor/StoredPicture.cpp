// Reading Windows bitmap files (through Qt's BMP reader) and the
// stored-picture wrapper, whose length is checked against the data before it
// is used, since layout data is input like any other file.
#include "StoredPicture.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <cstdlib>

// Outside any namespace, as the resource initialiser requires; the
// resources live in a static library, so nothing else pulls them in.
static void InitDecorResources() {
  static bool done = false;
  if (done) return;
  Q_INIT_RESOURCE(decor);
  done = true;
}

namespace vizuvod {

namespace {

std::uint32_t U32(std::span<const std::uint8_t> d, std::size_t at) {
  return std::uint32_t(d[at]) | std::uint32_t(d[at + 1]) << 8 | std::uint32_t(d[at + 2]) << 16 |
         std::uint32_t(d[at + 3]) << 24;
}
std::uint16_t U16(std::span<const std::uint8_t> d, std::size_t at) {
  return std::uint16_t(d[at] | d[at + 1] << 8);
}

// Pictures beyond this many pixels are not header pictures; refusing them
// keeps a damaged size from asking for gigabytes.
constexpr qint64 MaxPixels = qint64(1) << 26;

}  // namespace

TBitmap LoadBitmapFile(std::span<const std::uint8_t> file) {
  // Qt reads the file in place; the buffer never reaches past the span.
  const QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()));
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "bmp");
  reader.setDecideFormatFromContent(false);
  // The header's size, before any pixel is decoded (a top-down file
  // reports its height as negative).
  const QSize header = reader.size();
  const QSize size(header.width(), std::abs(header.height()));
  if (file.size() < 30 || file[0] != 'B' || file[1] != 'M' || size.isEmpty() ||
      qint64(size.width()) * size.height() > MaxPixels)
    throw EInvalidGraphic();
  // Qt makes up the rows a short file lacks; such a file is damaged.
  const std::uint32_t offBits = U32(file, 10);
  const unsigned bitCount = U16(file, U32(file, 14) == 12 ? 24 : 28);
  const std::uint64_t stride = (std::uint64_t(size.width()) * bitCount + 31) / 32 * 4;
  if (offBits > file.size() || stride * std::uint64_t(size.height()) > file.size() - offBits)
    throw EInvalidGraphic();
  const QImage image = reader.read().convertToFormat(QImage::Format_RGB888);
  if (image.isNull() || image.size() != size) throw EInvalidGraphic();

  TBitmap picture;
  picture.SetPixelFormat(TPixelFormat::pf24bit);
  picture.SetSize(image.width(), image.height());
  for (int y = 0; y < image.height(); ++y) {
    const std::uint8_t* src = image.constScanLine(y);  // red, green, blue
    std::uint8_t* dst = picture.ScanLine(y);           // blue, green, red
    for (int x = 0; x < image.width(); ++x) {
      dst[3 * x] = src[3 * x + 2];
      dst[3 * x + 1] = src[3 * x + 1];
      dst[3 * x + 2] = src[3 * x];
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
  return LoadStoredPicture(
      std::span(reinterpret_cast<const std::uint8_t*>(data.constData()), std::size_t(data.size())));
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

}  // namespace vizuvod

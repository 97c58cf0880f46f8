// Pictures as the window layout stores them: a 4-byte little-endian length
// followed by a complete Windows bitmap file, and the header picture kept
// among the program's resources in that form.
#pragma once

#include <QByteArray>
#include <cstdint>
#include <span>

#include "core/Bitmap.h"
#include "core/Errors.h"

namespace vizuvod {

// Bitmap data that cannot be a picture (unknown header, compression or
// depth, sizes that do not agree with the data).
class EInvalidGraphic : public Exception {
 public:
  EInvalidGraphic() : Exception("Bitmap image is not valid") {}
};

// A Windows bitmap file (1, 4, 8, 24 or 32 bits per pixel, rows bottom-up
// or top-down) as a 24-bit TBitmap. Fails with EInvalidGraphic; never reads
// past the data it is given.
TBitmap LoadBitmapFile(std::span<const std::uint8_t> file);

// The stored form: fails with EReadError when the data ends before the
// length it announces, else as LoadBitmapFile.
TBitmap LoadStoredPicture(std::span<const std::uint8_t> data);
TBitmap LoadStoredPicture(const QByteArray& data);

// The stored form of a bitmap file.
QByteArray MakeStoredPicture(const QByteArray& bitmapFile);

// The 75 x 74 header picture of the wizard pages, in its stored form and
// loaded.
QByteArray HeaderPictureData();
TBitmap HeaderPicture();

}  // namespace vizuvod

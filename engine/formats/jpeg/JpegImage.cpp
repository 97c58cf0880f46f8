// TJPEGImage: loads a photo's bytes, decodes them once into a TBitmap
// through the reader (JpegReader) and encodes a TBitmap back through the
// writer (JpegWriter), all on in-memory bytes.
#include "formats/jpeg/JpegImage.h"

#include "core/Errors.h"
#include "files/SafeFiles.h"
#include "formats/PhotoCodec.h"
#include "formats/jpeg/JpegReader.h"

namespace vizuvod {

TJPEGImage::TJPEGImage() : settings(JPEGDefaults()) {}

TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::LoadFromFile(const std::string& path) {
  TJpegInputFile file(path);
  data_ = std::make_unique<TJPEGData>();
  picture_.reset();
  decoded_ = false;
  warnings_.clear();
  fileMode_ = file.Mode() & 0777;
  file.ReadAll(data_->bytes);
  if (data_->bytes.empty()) return;

  const TJPEGHeader header = ReadJpegHeader(data_->bytes);
  data_->width = header.width;
  data_->height = header.height;
  data_->grayscale = header.grayscale;
  settings.progressiveEncoding = header.multipleScans;
}

bool TJPEGImage::FailsOnlyBeforeItsRows() const {
  return data_ && JpegFailsOnlyBeforeItsRows(data_->bytes);
}

void TJPEGImage::AssignTo(TBitmap& target) {
  if (!decoded_) Decode();
  target.Assign(*picture_);
}

void TBitmap::Assign(TJPEGImage& source) { source.AssignTo(*this); }

void TJPEGImage::Assign(const TBitmap& source) {
  data_ = std::make_unique<TJPEGData>();
  picture_ = std::make_unique<TBitmap>(source);  // shares the pixels until either changes
  decoded_ = true;
}

void TJPEGImage::Decode() {
  // The picture is held from here on, also when decoding fails part-way; it
  // counts as decoded only once every row has arrived, so a later assignment
  // tries again instead of handing out a half-filled picture.
  picture_ = std::make_unique<TBitmap>();
  decoded_ = false;
  ++decodeCount_;
  if (!data_) data_ = std::make_unique<TJPEGData>();
  DecodeJpeg(data_->bytes, settings, inkToBgr, *picture_, warnings_);
  decoded_ = true;
}

void TJPEGImage::SaveToFile(const std::string& path, const TReplaceGuard& guard) {
  // Encoded wholly in memory first: nothing touches the file system until
  // the bytes are complete, and the file is only replaced once they are
  // written.
  ReplaceFileWith(path, EncodedBytes(), fileMode_, guard);
}

const std::vector<std::uint8_t>& TJPEGImage::EncodedBytes() {
  if (!data_ || data_->bytes.empty()) Encode();
  return data_->bytes;
}

std::vector<std::uint8_t> TJPEGImage::EncodedBytesOf(const TBitmap& picture) const {
  return MakeJpegEncoder(settings)->Encode(picture);
}

void TJPEGImage::Encode() {
  // The new bytes become the stored data only when complete, so a failed
  // encoding never leaves half a file behind to be saved by a later call.
  auto data = std::make_unique<TJPEGData>();
  if (picture_ && picture_->HasPixels()) {
    // Read-only access: the held picture may share its pixels with the
    // caller's bitmap, and a writable row would copy them all.
    const TBitmap& picture = *picture_;
    data->bytes = EncodedBytesOf(picture);
    data->width = picture.Width();
    data->height = picture.Height();
    data->grayscale = settings.grayscale;
  }
  data_ = std::move(data);
}

int TJPEGImage::Width() const {
  if (picture_) return picture_->Width();
  return data_ ? data_->width : 0;
}

int TJPEGImage::Height() const {
  if (picture_) return picture_->Height();
  return data_ ? data_->height : 0;
}

void TJPEGImage::SetWidth(int) {
  throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

void TJPEGImage::SetHeight(int) {
  throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

bool TJPEGImage::Empty() const {
  return !(picture_ && picture_->HasPixels()) && (!data_ || data_->bytes.empty());
}

}  // namespace vizuvod

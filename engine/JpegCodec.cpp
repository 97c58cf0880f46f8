// The JPEG decoder and encoder of the per-photo step, over TJPEGImage and its
// row reader and writer.
#include <optional>

#include "Colour.h"
#include "Errors.h"
#include "JpegImage.h"
#include "Orientation.h"
#include "PhotoCodec.h"

namespace vizuvod {

namespace {

class TJpegRows : public TRowSource {
 public:
  explicit TJpegRows(TJPEGImage& image) : reader_(image) {}
  int Width() const override { return reader_.Width(); }
  int Height() const override { return reader_.Height(); }
  const std::uint8_t* Row(int y) override {
    while (next_ < y) reader_.ReadBgr(), ++next_;
    ++next_;
    return reader_.ReadBgr();
  }
  void Finish() override { reader_.Finish(); }

 private:
  TJPEGRowReader reader_;
  int next_ = 0;
};

class TJpegDecoder : public TPhotoDecoder {
 public:
  explicit TJpegDecoder(const std::string& path) { J_.LoadFromFile(path); }
  int Width() const override { return J_.Width(); }
  int Height() const override { return J_.Height(); }
  std::uintmax_t FileBytes() const override { return J_.Data() ? J_.Data()->bytes.size() : 0; }
  unsigned FileMode() const override { return J_.FileMode(); }
  TPhotoMetadata Metadata() const override { return TPhotoMetadata::Read(J_.Data()->bytes); }
  bool Progressive() const override { return J_.settings.progressiveEncoding; }
  bool ConvertsColours() const override { return false; }
  int CarriedOrientation() const override {
    return J_.Data() ? vizuvod::CarriedOrientation(J_.Data()->bytes) : UprightOrientation;
  }
  bool StreamsRows() const override { return J_.settings.scale == 0; }
  bool FailsOnlyBeforeItsRows() const override { return J_.FailsOnlyBeforeItsRows(); }
  std::unique_ptr<TRowSource> Rows() override { return std::make_unique<TJpegRows>(J_); }
  TBitmap Picture() override {
    TBitmap picture;
    picture.Assign(J_);
    return picture;
  }
  const std::vector<std::string>& Warnings() const override { return J_.Warnings(); }
  bool UseInkProfile(const std::vector<std::uint8_t>& profile) override {
    if (!HasInks(J_.Data()->bytes)) return false;
    J_.inkToBgr = InkToSrgb(profile);
    return bool(J_.inkToBgr);
  }

 private:
  // Four components in the frame header: CMYK or YCCK, as the row reader
  // reads them.
  static bool HasInks(const std::vector<std::uint8_t>& b) {
    for (std::size_t i = 2; i + 10 <= b.size() && b[i] == 0xFF;) {
      const std::uint8_t marker = b[i + 1];
      if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
        return b[i + 9] == 4;
      if (marker == 0xDA || marker == 0xD9) return false;
      i += 2 + (std::size_t(b[i + 2]) << 8 | b[i + 3]);
    }
    return false;
  }

  TJPEGImage J_;
};

class TJpegEncoder : public TPhotoEncoder {
 public:
  explicit TJpegEncoder(const TJPEGDefaults& settings) : settings_(settings) {}
  bool Takes(int width, int height) const override { return TJPEGRowWriter::Takes(width, height); }
  void Start(int width, int height, TPixelFormat format) override {
    writer_.emplace(settings_, width, height, format);
  }
  void Write(const std::uint8_t* row) override { writer_->Write(row); }
  std::vector<std::uint8_t> Finish() override { return writer_->Finish(); }

 private:
  TJPEGDefaults settings_;
  std::optional<TJPEGRowWriter> writer_;
};

}  // namespace

std::unique_ptr<TPhotoDecoder> OpenJpegDecoder(const std::string& path) {
  return std::make_unique<TJpegDecoder>(path);
}

std::unique_ptr<TPhotoEncoder> MakeJpegEncoder(const TEncoderSettings& s) {
  TJPEGDefaults settings = JPEGDefaults();
  if (s.quality > 0) settings.compressionQuality = s.quality;
  settings.progressiveEncoding = s.progressive;
  settings.carriedOrientation = s.orientation;
  settings.optimizeCoding = s.optimize;
  return MakeJpegEncoder(settings);
}

std::unique_ptr<TPhotoEncoder> MakeJpegEncoder(const TJPEGDefaults& settings) {
  return std::make_unique<TJpegEncoder>(settings);
}

}  // namespace vizuvod

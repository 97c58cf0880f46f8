// The JPEG decoder and encoder of the per-photo step, over TJPEGImage and its
// row reader and writer.
#include <fcntl.h>
#include <unistd.h>

#include <optional>

#include "JpegImage.h"
#include "Orientation.h"
#include "PhotoCodec.h"
#include "PictureDecoder.h"

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

 private:
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

// The format by the file's first bytes; a file that cannot be read here is
// left to the JPEG road, which fails with the system's reason.
TPhotoFormat FormatOfFile(const std::string& path) {
  std::uint8_t head[64] = {};  // a HEIF's brands follow its first 12 bytes
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return TPhotoFormat::Jpeg;
  const ssize_t got = ::read(fd, head, sizeof head);
  ::close(fd);
  return got > 0 ? FormatOfBytes(head, std::size_t(got)) : TPhotoFormat::Jpeg;
}

}  // namespace

std::unique_ptr<TPhotoDecoder> OpenDecoder(const std::string& path, bool anyFormat,
                                           bool oneThread) {
  switch (anyFormat ? FormatOfFile(path) : TPhotoFormat::Jpeg) {
    case TPhotoFormat::Png: return OpenPngDecoder(path);
    case TPhotoFormat::Webp: return OpenWebpDecoder(path);
    case TPhotoFormat::Heif: return OpenHeifDecoder(path, oneThread);
    case TPhotoFormat::Jpeg: break;
  }
  return std::make_unique<TJpegDecoder>(path);
}

std::unique_ptr<TPhotoEncoder> MakeEncoder(const TEncoderSettings& s) {
  if (s.format == TResultFormat::Webp) return MakeWebpEncoder(s);
  if (s.format == TResultFormat::Avif) return MakeAvifEncoder(s);
  TJPEGDefaults settings = JPEGDefaults();
  if (s.quality > 0) settings.compressionQuality = s.quality;
  settings.progressiveEncoding = s.progressive;
  settings.carriedOrientation = s.orientation;
  settings.optimizeCoding = s.optimize;
  return MakeJpegEncoder(settings);
}

const char* ExtensionOf(TResultFormat format) {
  switch (format) {
    case TResultFormat::Webp: return "webp";
    case TResultFormat::Avif: return "avif";
    case TResultFormat::Jpeg: break;
  }
  return "jpg";
}

std::unique_ptr<TPhotoEncoder> MakeJpegEncoder(const TJPEGDefaults& settings) {
  return std::make_unique<TJpegEncoder>(settings);
}

}  // namespace vizuvod

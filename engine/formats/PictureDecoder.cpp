#include "formats/PictureDecoder.h"

#include "core/Errors.h"
#include "files/SafeFiles.h"
#include "formats/DecodeLimits.h"

namespace vizuvod {

namespace {

// The rows of a picture the source owns.
class THeldRows : public TRowSource {
 public:
  explicit THeldRows(TBitmap picture) : picture_(std::move(picture)), rows_(picture_) {}
  int Width() const override { return rows_.Width(); }
  int Height() const override { return rows_.Height(); }
  const std::uint8_t* Row(int y) override { return rows_.Row(y); }
  const TBitmap* Held() const override { return &picture_; }

 private:
  TBitmap picture_;
  TPictureRows rows_;
};

}  // namespace

TPictureDecoder::TPictureDecoder(const std::string& path, bool wholeFile)
    : file_(std::make_unique<TJpegInputFile>(path)) {
  mode_ = file_->Mode() & 0777;
  if (!wholeFile) {
    fileBytes_ = file_->Size();
    return;
  }
  file_->ReadAll(bytes_);
  fileBytes_ = bytes_.size();
  file_.reset();
}

TPictureDecoder::~TPictureDecoder() = default;

void TPictureDecoder::TakeSize(const char* format, std::uint64_t width, std::uint64_t height,
                               std::uint64_t workingMemory) {
  if (width * height > MaxDecodedPixels)
    throw EPhotoData(format, "a " + PictureSizeText(width, height) + " picture has more than the " +
                                 std::to_string(MaxDecodedPixels) + " pixels a photo may have");
  if (workingMemory > MaxLibraryMemory)
    throw EPhotoData(format, "decoding this " + PictureSizeText(width, height) + " picture needs " +
                                 std::to_string(workingMemory >> 20) + " MiB, more than the " +
                                 std::to_string(MaxLibraryMemory >> 20) + " MiB a photo may take");
  width_ = int(width);
  height_ = int(height);
}

TPhotoMetadata TPictureDecoder::Metadata() const { return TPhotoMetadata::Read(bytes_); }

TBitmap TPictureDecoder::Picture() {
  if (!picture_) {
    // A file without a size fails in Decode with its library's reason.
    TBitmap picture;
    picture.SetPixelFormat(TPixelFormat::pf24bit);
    picture.SetSize(width_, height_);
    Decode(picture);
    picture_.emplace(std::move(picture));
  }
  // Handed over, not copied: the step holds it from here on.
  TBitmap picture = std::move(*picture_);
  picture_.reset();
  return picture;
}

std::unique_ptr<TRowSource> TPictureDecoder::Rows() {
  return std::make_unique<THeldRows>(Picture());
}

namespace {

// SamplesToBgr for samples of Bits bits (0: of `bits`, known only now), so
// that the common depths divide by constants.
template <int Bits>
void ToBgr(const std::uint8_t* in, int channels, int bits, int width, std::uint8_t* bgr) {
  const std::uint64_t max = (std::uint64_t(1) << (Bits ? Bits : bits)) - 1;
  const int step = (Bits ? Bits : bits) > 8 ? 2 : 1;
  const bool alpha = channels == 2 || channels == 4;
  const int colours = alpha ? channels - 1 : channels;
  for (int x = 0; x < width; ++x, in += channels * step, bgr += 3) {
    auto sample = [&](int c) -> std::uint64_t {
      return step == 2 ? std::uint64_t(in[2 * c]) << 8 | in[2 * c + 1] : in[c];
    };
    std::uint64_t v[3];
    for (int c = 0; c < 3; ++c) v[c] = sample(colours == 1 ? 0 : c);
    if (alpha) {
      // Over white, with one rounding: 255 (v a + max (max - a)) / max^2.
      const std::uint64_t a = sample(colours), whole = max * max;
      for (std::uint64_t& s : v) s = (255 * (s * a + max * (max - a)) + whole / 2) / whole;
    } else {
      for (std::uint64_t& s : v) s = (s * 255 + max / 2) / max;
    }
    bgr[0] = std::uint8_t(v[2]);
    bgr[1] = std::uint8_t(v[1]);
    bgr[2] = std::uint8_t(v[0]);
  }
}

}  // namespace

void SamplesToBgr(const std::uint8_t* in, int channels, int bits, int width, std::uint8_t* bgr) {
  if (bits == 8 && channels == 3) {  // the usual photo: its samples as they are
    for (int x = 0; x < width; ++x, in += 3, bgr += 3)
      bgr[0] = in[2], bgr[1] = in[1], bgr[2] = in[0];
    return;
  }
  switch (bits) {
    case 8: return ToBgr<8>(in, channels, bits, width, bgr);
    case 10: return ToBgr<10>(in, channels, bits, width, bgr);
    case 12: return ToBgr<12>(in, channels, bits, width, bgr);
    case 16: return ToBgr<16>(in, channels, bits, width, bgr);
    default: return ToBgr<0>(in, channels, bits, width, bgr);
  }
}

}  // namespace vizuvod

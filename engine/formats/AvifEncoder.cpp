// The AVIF encoder, over libavif: lossy 8-bit 4:4:4 at a fast speed preset,
// one thread, the rows collected as they come and encoded whole at Finish;
// the metadata goes in as the file's EXIF and XMP items and its ICC colour
// property.
#include <avif/avif.h>

#include "core/Abandon.h"
#include "core/Errors.h"
#include "formats/PhotoCodec.h"

namespace vizuvod {

namespace {

// libavif's speed (0 slowest, 10 fastest). 8 encodes a 12-megapixel photo
// in about 1.4 s on one core with libaom (bench/encoder_bench); 6 takes three
// times as long for no smaller file at a fixed quantizer. Chroma is kept
// whole (4:4:4): 4:2:0 saves about a tenth of the bytes and blurs coloured
// edges, such as the white edge of an enlargement.
constexpr int AvifSpeed = 8;

// Quality 1-100 as the AV1 quantizer 63-0: 90 gives 6.
int QuantizerOf(int quality) { return ((100 - quality) * 63 + 50) / 100; }

std::string ResultText(avifResult result) { return avifResultToString(result); }

// AV1 frames hold up to 65536 a side, odd sides included.
class TAvifEncoder : public THeldPictureEncoder {
 public:
  explicit TAvifEncoder(const TEncoderSettings& settings)
      : THeldPictureEncoder("AVIF", 65536), settings_(settings) {}
  std::vector<std::uint8_t> Finish() override;

 private:
  TEncoderSettings settings_;
};

std::vector<std::uint8_t> TAvifEncoder::Finish() {
  std::unique_ptr<avifImage, void (*)(avifImage*)> image(
      avifImageCreate(std::uint32_t(width_), std::uint32_t(height_), 8, AVIF_PIXEL_FORMAT_YUV444),
      avifImageDestroy);
  if (!image) throw EPhotoData("AVIF", "out of memory");
  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, image.get());
  rgb.format = bytesPerPixel_ == 4 ? AVIF_RGB_FORMAT_BGRA : AVIF_RGB_FORMAT_BGR;
  rgb.ignoreAlpha = AVIF_TRUE;                     // the fourth byte of a device row is padding
  rgb.pixels = const_cast<std::uint8_t*>(Rows());  // libavif only reads them
  rgb.rowBytes = std::uint32_t(width_ * bytesPerPixel_);
  if (const avifResult r = avifImageRGBToYUV(image.get(), &rgb); r != AVIF_RESULT_OK)
    throw EPhotoData("AVIF", "the result could not be converted: " + ResultText(r));
  Release();

  TPhotoMetadata::TBlocks blocks;
  if (settings_.metadata)
    blocks = settings_.metadata->Blocks(width_, height_, settings_.upright, warnings);
  else if (settings_.orientation > 1)
    blocks.exif = TPhotoMetadata::OrientationExif(settings_.orientation);
  // libavif reads the EXIF orientation into the file's rotation and mirror
  // properties, which AVIF readers follow.
  if (!blocks.exif.empty())
    avifImageSetMetadataExif(image.get(), blocks.exif.data(), blocks.exif.size());
  if (!blocks.xmp.empty())
    avifImageSetMetadataXMP(image.get(), blocks.xmp.data(), blocks.xmp.size());
  if (!blocks.icc.empty())
    avifImageSetProfileICC(image.get(), blocks.icc.data(), blocks.icc.size());

  std::unique_ptr<avifEncoder, void (*)(avifEncoder*)> encoder(avifEncoderCreate(),
                                                               avifEncoderDestroy);
  if (!encoder) throw EPhotoData("AVIF", "out of memory");
  encoder->maxThreads = 1;
  encoder->speed = AvifSpeed;
  encoder->minQuantizer = encoder->maxQuantizer =
      QuantizerOf(settings_.quality > 0 ? settings_.quality : 90);
  // libavif 0.11 offers no way to stop an encoding under way: an abandoned
  // photo stops before it and right after it.
  ThrowIfAbandoned();
  avifRWData output = AVIF_DATA_EMPTY;
  avifResult r = avifEncoderWrite(encoder.get(), image.get(), &output);
  if (AbandonRequested.load(std::memory_order_relaxed)) {
    avifRWDataFree(&output);
    throw EAbandoned();
  }
  if (r != AVIF_RESULT_OK && (image->exif.size || image->xmp.size)) {
    // Metadata libavif refuses costs a warning, never the result.
    warnings.push_back("EXIF and XMP not written: " + ResultText(r));
    avifImageSetMetadataExif(image.get(), nullptr, 0);
    avifImageSetMetadataXMP(image.get(), nullptr, 0);
    r = avifEncoderWrite(encoder.get(), image.get(), &output);
  }
  if (r != AVIF_RESULT_OK)
    throw EPhotoData("AVIF", "the result could not be encoded: " + ResultText(r));
  std::vector<std::uint8_t> bytes(output.data, output.data + output.size);
  avifRWDataFree(&output);
  return bytes;
}

}  // namespace

std::unique_ptr<TPhotoEncoder> MakeAvifEncoder(const TEncoderSettings& settings) {
  return std::make_unique<TAvifEncoder>(settings);
}

}  // namespace vizuvod

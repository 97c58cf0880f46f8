// The WebP encoder, over libwebp: lossy, the rows collected as they come and
// encoded whole at Finish; the metadata goes in as the container's EXIF,
// XMP and ICCP chunks through libwebp's mux.
#include <webp/encode.h>
#include <webp/mux.h>

#include "core/Abandon.h"
#include "core/Errors.h"
#include "formats/PhotoCodec.h"

namespace vizuvod {

namespace {

class TWebpEncoder : public THeldPictureEncoder {
 public:
  explicit TWebpEncoder(const TEncoderSettings& settings)
      : THeldPictureEncoder("WebP", WEBP_MAX_DIMENSION), settings_(settings) {}
  std::vector<std::uint8_t> Finish() override;

 private:
  std::vector<std::uint8_t> Assembled(const std::vector<std::uint8_t>& image);

  TEncoderSettings settings_;
};

std::vector<std::uint8_t> TWebpEncoder::Finish() {
  WebPConfig config;
  WebPPicture picture;
  if (!WebPConfigInit(&config) || !WebPPictureInit(&picture))
    throw EPhotoData("WebP", "library version mismatch");
  config.quality = float(settings_.quality > 0 ? settings_.quality : 90);
  config.use_sharp_yuv = 1;
  picture.use_argb = 1;  // converted by WebPEncode, with sharp YUV
  picture.width = width_, picture.height = height_;
  WebPMemoryWriter memory;
  WebPMemoryWriterInit(&memory);
  picture.writer = WebPMemoryWrite, picture.custom_ptr = &memory;
  // libwebp asks as it goes whether to carry on: an abandoned photo stops it.
  picture.progress_hook = [](int, const WebPPicture*) {
    return AbandonRequested.load(std::memory_order_relaxed) ? 0 : 1;
  };
  struct TFree {
    WebPPicture* picture;
    WebPMemoryWriter* memory;
    ~TFree() { WebPPictureFree(picture), WebPMemoryWriterClear(memory); }
  } freeAtEnd{&picture, &memory};
  const int stride = width_ * bytesPerPixel_;
  const int imported = bytesPerPixel_ == 4 ? WebPPictureImportBGRX(&picture, Rows(), stride)
                                           : WebPPictureImportBGR(&picture, Rows(), stride);
  Release();
  const bool encoded = imported && WebPEncode(&config, &picture);
  if (picture.error_code == VP8_ENC_ERROR_USER_ABORT) throw EAbandoned();
  if (!encoded)
    throw EPhotoData("WebP", "the result could not be encoded (error " +
                                 std::to_string(int(picture.error_code)) + ")");
  return Assembled(std::vector<std::uint8_t>(memory.mem, memory.mem + memory.size));
}

// The encoded picture with its chunks; without metadata nor orientation to
// carry, the encoder's bytes as they are.
std::vector<std::uint8_t> TWebpEncoder::Assembled(const std::vector<std::uint8_t>& image) {
  TPhotoMetadata::TBlocks blocks;
  if (settings_.metadata)
    blocks = settings_.metadata->Blocks(width_, height_, settings_.upright, warnings);
  else if (settings_.orientation > 1)
    blocks.exif = TPhotoMetadata::OrientationExif(settings_.orientation);
  if (blocks.exif.empty() && blocks.xmp.empty() && blocks.icc.empty()) return image;

  std::unique_ptr<WebPMux, void (*)(WebPMux*)> mux(WebPMuxNew(), WebPMuxDelete);
  const WebPData bitstream{image.data(), image.size()};
  bool sound = mux && WebPMuxSetImage(mux.get(), &bitstream, 0) == WEBP_MUX_OK;
  const struct {
    const char* fourcc;
    const std::vector<std::uint8_t>& block;
  } chunks[] = {{"ICCP", blocks.icc}, {"EXIF", blocks.exif}, {"XMP ", blocks.xmp}};
  for (const auto& chunk : chunks) {
    const WebPData data{chunk.block.data(), chunk.block.size()};
    if (sound && !chunk.block.empty())
      sound = WebPMuxSetChunk(mux.get(), chunk.fourcc, &data, 0) == WEBP_MUX_OK;
  }
  WebPData assembled{nullptr, 0};
  if (sound) sound = WebPMuxAssemble(mux.get(), &assembled) == WEBP_MUX_OK;
  if (!sound) {
    warnings.push_back("metadata not written: the WebP container refused it");
    return image;
  }
  std::vector<std::uint8_t> bytes(assembled.bytes, assembled.bytes + assembled.size);
  WebPDataClear(&assembled);
  return bytes;
}

}  // namespace

std::unique_ptr<TPhotoEncoder> MakeWebpEncoder(const TEncoderSettings& settings) {
  return std::make_unique<TWebpEncoder>(settings);
}

}  // namespace vizuvod

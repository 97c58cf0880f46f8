// The WebP decoder, over libwebp on the file's bytes in memory: a still
// picture is decoded whole; of an animation, the first frame as the
// animation shows it (laid on its canvas), with a note saying so.
#include <webp/decode.h>
#include <webp/demux.h>

#include <cstring>

#include "core/Errors.h"
#include "formats/PictureDecoder.h"

namespace vizuvod {

namespace {

std::string StatusText(VP8StatusCode status) {
  switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY: return "out of memory";
    case VP8_STATUS_INVALID_PARAM: return "invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR: return "the data is damaged (bitstream error)";
    case VP8_STATUS_UNSUPPORTED_FEATURE: return "a feature the library does not support";
    case VP8_STATUS_NOT_ENOUGH_DATA: return "the file ends early (not enough data)";
    default: return "decoding failed (status " + std::to_string(int(status)) + ")";
  }
}

// An animation's file cut after its first frame, the RIFF size set to match:
// the demuxer then lists one frame, however many the file holds (a few
// bytes each, so a file of millions would take it seconds and gigabytes).
std::vector<std::uint8_t> FirstFrameOnly(const std::vector<std::uint8_t>& b) {
  const auto le32 = [&](std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
  };
  for (std::size_t at = 12; at + 8 <= b.size();) {
    const std::size_t end = at + 8 + (std::size_t(le32(at + 4)) + 1) / 2 * 2;
    if (end > b.size()) break;
    if (std::memcmp(&b[at], "ANMF", 4) == 0) {
      std::vector<std::uint8_t> cut(b.begin(), b.begin() + std::ptrdiff_t(end));
      for (int i = 0; i < 4; ++i) cut[4 + std::size_t(i)] = std::uint8_t((end - 8) >> (8 * i));
      return cut;
    }
    at = end;
  }
  return b;
}

// libwebp's lossless decoder works on a whole picture of its own, 4 bytes a
// pixel (ARGB), besides the output it converts it into.
std::uint64_t LosslessWorkingMemory(const WebPBitstreamFeatures& features) {
  constexpr int Lossless = 2;  // WebPBitstreamFeatures::format
  return features.format == Lossless
             ? std::uint64_t(features.width) * std::uint64_t(features.height) * 4
             : 0;
}

class TWebpDecoder : public TPictureDecoder {
 public:
  explicit TWebpDecoder(const std::string& path) : TPictureDecoder(path) {
    if (const VP8StatusCode status = WebPGetFeatures(bytes_.data(), bytes_.size(), &features_);
        status != VP8_STATUS_OK)
      throw EPhotoData("WebP", StatusText(status));
    const std::uint64_t pixels = std::uint64_t(features_.width) * features_.height;
    // The decoded samples are held whole; an animation keeps two canvases.
    TakeSize("WebP", std::uint64_t(features_.width), std::uint64_t(features_.height),
             (features_.has_animation ? pixels * 8 : pixels * (features_.has_alpha ? 4 : 3)) +
                 LosslessWorkingMemory(features_));
    if (features_.has_animation) frameNote_ = "an animated WebP: only its first frame is resized";
  }

 private:
  void Decode(TBitmap& picture) override {
    if (features_.has_animation) return DecodeFirstFrame(picture);
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config)) throw EPhotoData("WebP", "library version mismatch");
    const int channels = features_.has_alpha ? 4 : 3;
    config.output.colorspace = features_.has_alpha ? MODE_RGBA : MODE_RGB;
    const VP8StatusCode status = WebPDecode(bytes_.data(), bytes_.size(), &config);
    struct TFree {
      WebPDecBuffer* buffer;
      ~TFree() { WebPFreeDecBuffer(buffer); }
    } freeAtEnd{&config.output};
    if (status != VP8_STATUS_OK) throw EPhotoData("WebP", StatusText(status));
    const WebPRGBABuffer& out = config.output.u.RGBA;
    for (int y = 0; y < Height(); ++y)
      SamplesToBgr(out.rgba + std::size_t(out.stride) * std::size_t(y), channels, 8, Width(),
                   picture.ScanLine(y));
  }

  void DecodeFirstFrame(TBitmap& picture) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options)) throw EPhotoData("WebP", "library version mismatch");
    options.color_mode = MODE_RGBA;
    const std::vector<std::uint8_t> firstFrame = FirstFrameOnly(bytes_);
    const WebPData data{firstFrame.data(), firstFrame.size()};
    std::unique_ptr<WebPAnimDecoder, void (*)(WebPAnimDecoder*)> decoder(
        WebPAnimDecoderNew(&data, &options), WebPAnimDecoderDelete);
    std::uint8_t* canvas = nullptr;
    int timestamp = 0;
    if (!decoder || !WebPAnimDecoderGetNext(decoder.get(), &canvas, &timestamp))
      throw EPhotoData("WebP", "the animation's first frame cannot be decoded (damaged data)");
    WebPAnimInfo info;
    if (!WebPAnimDecoderGetInfo(decoder.get(), &info) || int(info.canvas_width) != Width() ||
        int(info.canvas_height) != Height())
      throw EPhotoData("WebP", "the animation's canvas differs from its header");
    for (int y = 0; y < Height(); ++y)
      SamplesToBgr(canvas + std::size_t(Width()) * 4 * std::size_t(y), 4, 8, Width(),
                   picture.ScanLine(y));
  }

  WebPBitstreamFeatures features_{};
};

}  // namespace

std::unique_ptr<TPhotoDecoder> OpenWebpDecoder(const std::string& path) {
  return std::make_unique<TWebpDecoder>(path);
}

}  // namespace vizuvod

// What the decoders of formats other than JPEG share: the file is read whole
// (or, for a decoder that reads from the file itself, kept open) and its
// header at opening, the picture is decoded whole on first use, and its rows
// are handed out from the held picture unless the decoder streams them. Every decoder gives 8-bit
// blue-green-red pixels: grey is spread over the three, samples of more
// bits are rounded to 8, and alpha is laid over white.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/PhotoCodec.h"

namespace vizuvod {

class TJpegInputFile;

class TPictureDecoder : public TPhotoDecoder {
 public:
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  std::uintmax_t FileBytes() const override { return fileBytes_; }
  unsigned FileMode() const override { return mode_; }
  TPhotoMetadata Metadata() const override;
  bool Progressive() const override { return false; }
  int CarriedOrientation() const override { return 1; }
  bool StreamsRows() const override { return false; }
  bool FailsOnlyBeforeItsRows() const override { return false; }
  std::unique_ptr<TRowSource> Rows() override;
  TBitmap Picture() override;
  const std::vector<std::string>& Warnings() const override { return warnings_; }
  std::string FrameNote() const override { return frameNote_; }

 protected:
  // Reads the file whole (the JPEG road's file errors); with wholeFile
  // false keeps it open instead, for file_ to be read from.
  explicit TPictureDecoder(const std::string& path, bool wholeFile = true);
  ~TPictureDecoder() override;
  // Refuses a header size past MaxDecodedPixels, or a decode whose working
  // memory (bytes) passes MaxLibraryMemory, with format's error; then takes
  // the size.
  void TakeSize(const char* format, std::uint64_t width, std::uint64_t height,
                std::uint64_t workingMemory);
  // Fills picture (pf24bit, at the header's size) from the bytes.
  virtual void Decode(TBitmap& picture) = 0;

  std::vector<std::uint8_t> bytes_;  // the file, when read whole
  std::unique_ptr<TJpegInputFile> file_;
  std::uintmax_t fileBytes_ = 0;
  std::string frameNote_;  // set for an animated photo, of which the first frame is read

 private:
  int width_ = 0, height_ = 0;
  unsigned mode_ = 0666;
  std::optional<TBitmap> picture_;
  std::vector<std::string> warnings_;
};

// One row of samples, `channels` a pixel (1 grey, 2 grey and alpha, 3 red,
// green, blue, 4 the same and alpha), each of `bits` (8, or 9 to 16 stored
// in two bytes, high byte first), as blue, green, red: v * 255 / max
// rounded, max = 2^bits - 1, and alpha laid over white.
void SamplesToBgr(const std::uint8_t* samples, int channels, int bits, int width,
                  std::uint8_t* bgr);

std::unique_ptr<TPhotoDecoder> OpenPngDecoder(const std::string& path);
std::unique_ptr<TPhotoDecoder> OpenWebpDecoder(const std::string& path);
// HEIC and AVIF; without libheif in the build, refuses every file.
std::unique_ptr<TPhotoDecoder> OpenHeifDecoder(const std::string& path, bool oneThread);
// Bytes starting with an ISO BMFF 'ftyp' box: whether its brands are
// HEIF's (always yes in a build without libheif, which then refuses them).
bool IsHeifBytes(const std::uint8_t* bytes, std::size_t size);

}  // namespace vizuvod

// A photo's file format behind two small interfaces: a decoder reads the
// file, its header and its metadata once, then gives the pixels either row
// by row or as one picture; an encoder takes a result's rows and gives its
// file's bytes. The per-photo step (PhotoStep) knows only these, so a new
// format is one decoder or encoder and its row in Formats.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/Bitmap.h"
#include "core/RowSource.h"
#include "formats/ResultFormat.h"
#include "metadata/PhotoMetadata.h"

namespace vizuvod {

class TPhotoDecoder {
 public:
  virtual ~TPhotoDecoder() = default;
  // The header's size; 0 x 0 only for a file that has no header, whose
  // decoding fails.
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual std::uintmax_t FileBytes() const = 0;
  // The photo's permission bits, which a new result takes.
  virtual unsigned FileMode() const = 0;
  // Read on demand: it costs a parse of the metadata.
  virtual TPhotoMetadata Metadata() const = 0;
  // The result is written progressive (the photo was).
  virtual bool Progressive() const = 0;
  // The EXIF orientation (2-8) a result carries when no metadata is kept,
  // so that it shows the way its photo shows; 1 when there is none to carry.
  virtual int CarriedOrientation() const = 0;
  // The decoder turned the pixels upright itself (HEIF's own rotation and
  // mirror): the EXIF orientation is not applied again, and a kept EXIF
  // orientation is written as 1.
  virtual bool Upright() const { return false; }
  // Rows can come straight from the decoder, at the header's size.
  virtual bool StreamsRows() const = 0;
  // Decoding can fail only before its first row arrives (see TJPEGImage).
  virtual bool FailsOnlyBeforeItsRows() const = 0;
  // The decoder's rows; Finish reads what is left and completes Warnings().
  virtual std::unique_ptr<TRowSource> Rows() = 0;
  // The whole picture, decoded.
  virtual TBitmap Picture() = 0;
  // What the library met while decoding damaged data, which it completed.
  virtual const std::vector<std::string>& Warnings() const = 0;
  // Said of a photo read only in part though sound (an animation, of which
  // the first frame is read); empty for the rest.
  virtual std::string FrameNote() const { return {}; }
  // Its colours are turned into sRGB when its result does not carry its
  // profile: true for every format but JPEG, whose results keep the bytes
  // they always had unless sRGB is asked for.
  virtual bool ConvertsColours() const { return true; }
  // An ICC profile made from colours the file describes by numbers alone
  // (HEIF's nclx) when they are not sRGB; empty for the rest. No result
  // carries such a description, so these colours are always turned into sRGB.
  virtual std::vector<std::uint8_t> CodedColourProfile() const { return {}; }
  // A photo of printing inks (a CMYK JPEG) turns them into sRGB through its
  // CMYK profile as it is decoded; false when it cannot (no inks to turn,
  // or the profile is not a CMYK one lcms2 reads).
  virtual bool UseInkProfile(const std::vector<std::uint8_t>&) { return false; }
  // Those colours are of a high dynamic range (PQ, HLG), whose steep curve
  // is brought down before resizing rather than after: averaged first, its
  // edges would come out far from the picture seen whole.
  virtual bool HighDynamicRange() const { return false; }
};

// JPEG's decoder (JpegReader) for the file at path, read whole here.
std::unique_ptr<TPhotoDecoder> OpenJpegDecoder(const std::string& path);

struct TEncoderSettings {
  int quality = 0;           // 0: the codec's default (90 for every format)
  bool progressive = false;  // JPEG only
  int orientation = 0;       // 2-8: written as the result's only EXIF tag
  bool optimize = false;     // JPEG: Huffman tables made for the picture
  TResultFormat format = TResultFormat::rfJpeg;
  // WebP and AVIF: this metadata goes into the result as the format holds
  // it (EXIF, XMP, ICC; see TPhotoMetadata::Blocks), the orientation set to
  // 1 when upright. A JPEG gets it written in afterwards (WrittenInto).
  const TPhotoMetadata* metadata = nullptr;
  bool upright = false;
};

class TPhotoEncoder {
 public:
  virtual ~TPhotoEncoder() = default;
  // False for a size the format cannot hold.
  virtual bool Takes(int width, int height) const = 0;
  // Rows in `format` (pfDevice or pf24bit), top to bottom, then Finish.
  virtual void Start(int width, int height, TPixelFormat format) = 0;
  virtual void Write(const std::uint8_t* row) = 0;
  virtual std::vector<std::uint8_t> Finish() = 0;

  // A picture held whole, any pixel format.
  std::vector<std::uint8_t> Encode(const TBitmap& picture);
  // The quality chosen for a size limit, and how many encodings it took;
  // 0 for an encoder without a limit.
  virtual int ChosenQuality() const { return 0; }
  virtual int Encodings() const { return 0; }

  // Metadata that Finish could not carry into the result, one line each.
  std::vector<std::string> warnings;
};

// An encoder whose library takes the whole picture at once: the rows are
// held as they come (blue, green, red and, from pfDevice rows, a fourth
// byte), and Finish encodes them. A side over maxSide is refused at Start.
class THeldPictureEncoder : public TPhotoEncoder {
 public:
  THeldPictureEncoder(const char* format, int maxSide) : format_(format), maxSide_(maxSide) {}
  bool Takes(int width, int height) const override {
    return width >= 1 && height >= 1 && width <= maxSide_ && height <= maxSide_;
  }
  void Start(int width, int height, TPixelFormat format) override;
  void Write(const std::uint8_t* row) override;

 protected:
  // The rows held, top to bottom, without padding.
  const std::uint8_t* Rows() const { return rows_.data(); }
  void Release() { std::vector<std::uint8_t>().swap(rows_); }

  int width_ = 0, height_ = 0, bytesPerPixel_ = 3;
  TPixelFormat rowFormat_ = TPixelFormat::pf24bit;

 private:
  const char* format_;
  int maxSide_;
  std::vector<std::uint8_t> rows_;
};

// Each result format's encoder; Formats' MakeEncoder picks one by format.
std::unique_ptr<TPhotoEncoder> MakeJpegEncoder(const TEncoderSettings& settings);
std::unique_ptr<TPhotoEncoder> MakeWebpEncoder(const TEncoderSettings& settings);
std::unique_ptr<TPhotoEncoder> MakeAvifEncoder(const TEncoderSettings& settings);
// The JPEG encoder (JpegWriter) with a TJPEGImage's own settings.
struct TJPEGDefaults;
std::unique_ptr<TPhotoEncoder> MakeJpegEncoder(const TJPEGDefaults& settings);

}  // namespace vizuvod

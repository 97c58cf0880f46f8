// TJPEGImage: a JPEG photo held in memory (its file's bytes, the decoded or
// assigned picture, and its settings), decoded and encoded by libjpeg.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Bitmap.h"
#include "JpegFiles.h"

namespace vizuvod {

// The stored JPEG data: the encoded bytes and the header's size.
struct TJPEGData {
  std::vector<std::uint8_t> bytes;
  int width = 0;
  int height = 0;
  bool grayscale = false;
};

enum class TJPEGPerformance { jpBestQuality, jpBestSpeed };

// Process-wide defaults each new TJPEGImage copies at creation.
struct TJPEGDefaults {
  int compressionQuality = 90;
  bool grayscale = false;
  TJPEGPerformance performance = TJPEGPerformance::jpBestQuality;
  // pf24bit, or pf8bit when the display works with 8 bits per pixel or fewer.
  TPixelFormat pixelFormat = TPixelFormat::pf24bit;
  bool progressiveDisplay = false;
  bool progressiveEncoding = false;
  bool optimizeCoding = false;  // Huffman tables made for the picture (progressive implies them)
  int scale = 0;                // scale_denom = 1 << scale
  bool smoothing = true;
  // An EXIF orientation (2-8, see CarriedOrientation) the encoded result
  // states in an APP1 segment of its own right after its JFIF header, so a
  // viewer shows it as the photo was shown. 0 (or any other value): none,
  // and the bytes are those of a file without it.
  int carriedOrientation = 0;
};
TJPEGDefaults& JPEGDefaults();

class TJPEGImage;

// A photo decoded row by row, top to bottom, for a consumer that takes each
// row once and never needs the whole picture. Construction reads the header,
// refuses what a whole decode refuses (the same limits, before anything is
// allocated) and starts the library; Finish reads the rows not asked for and
// hands the library's warnings to the image. The errors are those of
// decoding by AssignTo.
class TJPEGRowReader {
 public:
  explicit TJPEGRowReader(TJPEGImage& image);
  ~TJPEGRowReader();
  TJPEGRowReader(const TJPEGRowReader&) = delete;
  TJPEGRowReader& operator=(const TJPEGRowReader&) = delete;

  int Width() const;
  int Height() const;
  // The decoded picture's format: pf8bit with Palette() (grey, or quantised
  // colour) or pf24bit.
  TPixelFormat PixelFormat() const;
  const std::vector<TPaletteEntry>& Palette() const;
  // The next row into `row`, in PixelFormat()'s layout.
  void Read(std::uint8_t* row);
  // The next row as blue, green, red: the colours of the decoded picture
  // converted to the 24-bit format. Valid until the next call.
  const std::uint8_t* ReadBgr();
  void Finish();

 private:
  struct TState;
  std::unique_ptr<TState> state_;
  TJPEGImage& image_;
};

// Encodes a picture whose rows arrive top to bottom, with an image's
// settings (quality, grayscale, progressive). format is the rows' layout:
// pfDevice (blue, green, red, unused) or pf24bit. Write leaves by EAbandoned
// once the photo is abandoned.
class TJPEGRowWriter {
 public:
  TJPEGRowWriter(const TJPEGDefaults& settings, int width, int height, TPixelFormat format);
  ~TJPEGRowWriter();
  TJPEGRowWriter(const TJPEGRowWriter&) = delete;
  TJPEGRowWriter& operator=(const TJPEGRowWriter&) = delete;
  // False for a size the library refuses to start on.
  static bool Takes(int width, int height);

  void Write(const std::uint8_t* row);
  // The encoded bytes, once every row is written.
  std::vector<std::uint8_t> Finish();

 private:
  struct TState;
  std::unique_ptr<TState> state_;
};

class TJPEGImage : public TGraphic {
 public:
  TJPEGImage();
  ~TJPEGImage() override;
  TJPEGImage(const TJPEGImage&) = delete;
  TJPEGImage& operator=(const TJPEGImage&) = delete;

  // Reads the whole file once and its header; a zero-byte file loads without error.
  void LoadFromFile(const std::string& path);
  // Decodes on first use; the target becomes a copy of the held picture.
  void AssignTo(TBitmap& target);
  // Drops the stored bytes and holds a copy of the source.
  void Assign(const TBitmap& source);
  // Encodes when no bytes are held, then replaces the file with them; on
  // failure an earlier file of that name is left as it was. guard may refuse
  // to replace a file standing there (see ReplaceFileWith).
  void SaveToFile(const std::string& path, const TReplaceGuard& guard = {});
  // The bytes SaveToFile writes, encoded first when none are held, so a
  // caller can add to them before saving them itself.
  const std::vector<std::uint8_t>& EncodedBytes();
  // The bytes another picture encodes to with this image's settings, as
  // Assign and EncodedBytes would give them, this image's data left as it is.
  std::vector<std::uint8_t> EncodedBytesOf(const TBitmap& picture) const;

  int Width() const override;
  int Height() const override;
  // Always fail: a JPEG image's size follows its data.
  void SetWidth(int value) override;
  void SetHeight(int value) override;

  bool Empty() const;
  const TJPEGData* Data() const { return data_.get(); }
  const TBitmap* Picture() const { return picture_.get(); }
  int DecodeCount() const { return decodeCount_; }
  // The loaded file's permission bits, which its saved result takes.
  unsigned FileMode() const { return fileMode_; }
  // True when decoding can fail only before its first row arrives, so that
  // a consumer acting on each row as it comes (a progress bar) shows nothing
  // before a failure that the whole picture would have met first: a file of
  // several scans is read whole when decoding starts, and one of a single
  // scan qualifies when its coded data runs into the end marker or the end
  // of the bytes, leaving the library no marker to refuse after the rows.
  bool FailsOnlyBeforeItsRows() const;
  // The library's warnings while decoding (corrupt data, a premature end):
  // the picture was completed from damaged data. Empty for a sound file.
  const std::vector<std::string>& Warnings() const { return warnings_; }

  TJPEGDefaults settings;
  // When set, the rows of a CMYK or YCCK file become blue, green, red
  // through it (a CMYK colour profile), in place of the plain arithmetic of
  // the inks. It takes a row of inks, the row to fill, the width, and
  // whether the inks are stored inverted (Adobe's marker).
  std::function<void(const std::uint8_t*, std::uint8_t*, int, bool)> inkToBgr;

 private:
  friend class TJPEGRowReader;
  void Decode();
  void Encode();

  std::unique_ptr<TJPEGData> data_;
  std::unique_ptr<TBitmap> picture_;
  bool decoded_ = false;  // picture_ is complete (decoded or assigned)
  int decodeCount_ = 0;
  std::vector<std::string> warnings_;
  // The loaded file's permission bits, which its saved result takes.
  unsigned fileMode_ = 0666;
};

}  // namespace vizuvod

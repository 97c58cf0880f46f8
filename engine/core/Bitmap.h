// TBitmap: the in-memory raster picture the whole engine works on.
//
// Rows are padded to 4 bytes and stored bottom-up: row 0 is the top row and
// lies last in memory, so ScanLine(y + 1) == ScanLine(y) - Stride().
// Copies share their pixel memory until one of them takes a writable row.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

namespace vizuvod {

class TJPEGImage;

// Colour value: red in bits 0-7, green 8-15, blue 16-23, top byte zero.
using TColorValue = std::uint32_t;
inline constexpr TColorValue InvalidColor = 0xFFFFFFFFu;

inline constexpr TColorValue RGBColor(int r, int g, int b) {
  return TColorValue(r & 0xFF) | TColorValue(g & 0xFF) << 8 | TColorValue(b & 0xFF) << 16;
}
inline constexpr int RedOf(TColorValue c) { return int(c & 0xFF); }
inline constexpr int GreenOf(TColorValue c) { return int((c >> 8) & 0xFF); }
inline constexpr int BlueOf(TColorValue c) { return int((c >> 16) & 0xFF); }

// pfDevice is this platform's true-colour layout: 4 bytes a pixel, blue,
// green, red, unused. pf24bit is blue, green, red; pf8bit a palette index.
enum class TPixelFormat { pfDevice, pf8bit, pf24bit };

struct TPaletteEntry {
  std::uint8_t red = 0, green = 0, blue = 0;
  bool operator==(const TPaletteEntry&) const = default;
};

// The colour of palette index `index`: an index past the palette's end reads
// black, in a pixel read and in every conversion of whole rows alike.
inline TPaletteEntry PaletteColor(std::span<const TPaletteEntry> palette, std::size_t index) {
  return index < palette.size() ? palette[index] : TPaletteEntry{};
}
// PaletteColor of all 256 indices as blue, green, red, for converting rows.
using TBgrPalette = std::array<std::array<std::uint8_t, 3>, 256>;
TBgrPalette BgrPalette(std::span<const TPaletteEntry> palette);
// A row of `width` palette indices as blue, green, red bytes.
inline void IndexedRowToBgr(const std::uint8_t* indices, std::uint8_t* bgr, int width,
                            const TBgrPalette& colours) {
  for (int x = 0; x < width; ++x, bgr += 3) std::memcpy(bgr, colours[indices[x]].data(), 3);
}

// Common base of pictures that can be assigned to and from one another.
class TGraphic {
 public:
  virtual ~TGraphic() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual void SetWidth(int value) = 0;
  virtual void SetHeight(int value) = 0;
};

class TBitmap : public TGraphic {
 public:
  TBitmap() = default;
  TBitmap(const TBitmap&) = default;
  TBitmap& operator=(const TBitmap&) = default;
  TBitmap(TBitmap&&) noexcept = default;
  TBitmap& operator=(TBitmap&&) noexcept = default;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // A size equal to the current one changes nothing; otherwise the shared
  // top-left area keeps its pixels and new pixels are white.
  void SetWidth(int value) override { SetSize(value, height_); }
  void SetHeight(int value) override { SetSize(width_, value); }
  void SetSize(int width, int height);

  TPixelFormat PixelFormat() const { return format_; }
  // Only conversions to pf24bit move pixels; any format may be set on a
  // bitmap without pixels.
  void SetPixelFormat(TPixelFormat format);

  const std::vector<TPaletteEntry>& Palette() const { return palette_; }
  void SetPalette(std::span<const TPaletteEntry> entries);

  // Address of row y's first byte; fails with "Scan line index out of range"
  // outside 0 <= y < Height(). The writable form first gives this bitmap
  // pixel memory of its own.
  std::uint8_t* ScanLine(int y);
  const std::uint8_t* ScanLine(int y) const;

  // Bytes from one row start to the next, padding included.
  int Stride() const { return StrideFor(width_, format_); }
  static int BitsPerPixel(TPixelFormat format);
  static int StrideFor(int width, TPixelFormat format);
  // Fails with EOutOfResources where SetSize to this size would.
  static void CheckSize(int width, int height, TPixelFormat format);

  // Outside the picture: read gives InvalidColor, write does nothing.
  TColorValue Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColorValue color);

  bool HasPixels() const { return width_ > 0 && height_ > 0; }
  // Gives a sized picture that is still all white memory of its own without
  // filling it: only for a writer that sets every byte of every row before
  // anything reads them.
  void AllocateForOverwrite();
  // True while this bitmap's pixel memory is shared with a copy.
  bool SharesPixelsWith(const TBitmap& other) const { return pixels_ && pixels_ == other.pixels_; }

  void Assign(const TBitmap& source) { *this = source; }
  void Assign(TJPEGImage& source);  // decodes once; defined with the codec

  // Largest picture a bitmap may hold: 2^28 pixels (16384 x 16384) is far
  // above any camera's photo and more than a JPEG file can carry back out;
  // beyond it sizing fails at once with EOutOfResources, before anything is
  // allocated, instead of filling the machine's memory for a picture that
  // could never be saved.
  // Large pixel memory freed by a thread is kept for that thread's next
  // picture of about its size; this gives the kept memory back at once, for
  // a step about to take much memory of another kind.
  static void ReleaseSpareMemory();

  static constexpr std::uint64_t MaxPixels = std::uint64_t(1) << 28;
  static constexpr std::size_t MaxPixelBytes = std::size_t(MaxPixels) * 4;

 private:
  struct PixelMemory;
  void Detach();
  // Gives a sized picture that is still all white its memory.
  void Materialize() const;
  const std::uint8_t* RowAddress(int y) const;

  int width_ = 0;
  int height_ = 0;
  TPixelFormat format_ = TPixelFormat::pfDevice;
  std::vector<TPaletteEntry> palette_;
  // Null while the picture has no pixels or is still all white.
  mutable std::shared_ptr<PixelMemory> pixels_;
};

// Once, at a program's start: blocks of 4 MiB and more that malloc hands out
// (the codec's coefficients of progressive photos, tens of MB each) are
// mapped from the system and given back when freed. By default malloc raises
// that threshold to the size of each large block freed, so later ones come
// from a heap whose holes grow with every photo of a long run.
void MapLargeBlocks();

}  // namespace vizuvod

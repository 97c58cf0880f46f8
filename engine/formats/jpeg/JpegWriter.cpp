// Writing JPEG photos through libjpeg into memory, and the per-photo step's
// JPEG encoder over it (MakeJpegEncoder).
//
// Rows go straight from the caller's row (a bitmap's own pixel memory) into
// the library, one row per call: the library takes blue-green-red and
// blue-green-red-unused itself, so no converted copy of a picture is made.
#include "formats/jpeg/JpegWriter.h"

#include <array>
#include <optional>

#include "core/Abandon.h"
#include "formats/PhotoCodec.h"
#include "formats/jpeg/JpegLibrary.h"

namespace vizuvod {

namespace {

// The smallest EXIF that states an orientation: "Exif\0\0", a little-endian
// TIFF header with IFD0 at offset 8, and IFD0 of one entry, Orientation
// (SHORT, count 1), with no IFD after it.
std::array<JOCTET, 32> OrientationExif(int orientation) {
  return {'E',  'x',  'i',  'f', 0,    0,                                      //
          'I',  'I',  0x2A, 0,   0x08, 0, 0, 0,                                //
          0x01, 0,                                                             //
          0x12, 0x01, 0x03, 0,   0x01, 0, 0, 0, JOCTET(orientation), 0, 0, 0,  //
          0,    0,    0,    0};
}

// Sets c up with the settings and starts it: the header and, for an
// orientation of 2 to 8, its EXIF segment are written.
void StartCompress(TJpegCompressor& c, const TJPEGDefaults& settings) {
  const int quality = settings.compressionQuality;
  const bool grayscale = settings.grayscale;
  const bool progressive = settings.progressiveEncoding;
  const int orientation = settings.carriedOrientation;
  // Progressive encoding holds every coefficient of the picture; memory kept
  // for reuse (the source just replaced) would stack on them.
  if (progressive) TBitmap::ReleaseSpareMemory();
  c([&](j_compress_ptr ci) {
    jpeg_set_defaults(ci);
    ci->dct_method = JDCT_FLOAT;
    jpeg_set_quality(ci, quality, TRUE);
    if (grayscale) jpeg_set_colorspace(ci, JCS_GRAYSCALE);
    if (progressive) jpeg_simple_progression(ci);
    if (settings.optimizeCoding) ci->optimize_coding = TRUE;
    jpeg_start_compress(ci, TRUE);
    if (orientation >= 2 && orientation <= 8) {
      const std::array<JOCTET, 32> exif = OrientationExif(orientation);
      jpeg_write_marker(ci, JPEG_APP0 + 1, exif.data(), unsigned(exif.size()));
    }
  });
}

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

struct TJPEGRowWriter::TState {
  TJpegOutput output;  // outlives c, which writes into it
  TJpegCompressor c;
};

TJPEGRowWriter::TJPEGRowWriter(const TJPEGDefaults& settings, int width, int height,
                               TPixelFormat format)
    : state_(std::make_unique<TState>()) {
  TJpegCompressor& c = state_->c;
  // About half a byte a pixel is a generous first guess for a photo at
  // quality 90; the buffer doubles when it is not.
  c([&](j_compress_ptr ci) {
    JpegMemoryDestination(ci, state_->output, std::size_t(width) * std::size_t(height) / 2);
  });
  c->image_width = JDIMENSION(width);
  c->image_height = JDIMENSION(height);
  // The library takes the bitmap's own byte order, so its rows go in as they
  // are; the result is the same as red-first input of the same colours.
  c->input_components = format == TPixelFormat::pfDevice ? 4 : 3;
  c->in_color_space = format == TPixelFormat::pfDevice ? JCS_EXT_BGRX : JCS_EXT_BGR;
  StartCompress(c, settings);
}

TJPEGRowWriter::~TJPEGRowWriter() = default;

bool TJPEGRowWriter::Takes(int width, int height) {
  return width >= 1 && height >= 1 && width <= JPEG_MAX_DIMENSION && height <= JPEG_MAX_DIMENSION;
}

void TJPEGRowWriter::Write(const std::uint8_t* row) {
  JSAMPROW source = const_cast<JSAMPROW>(row);  // the library only reads it
  state_->c([&](j_compress_ptr ci) { jpeg_write_scanlines(ci, &source, 1); });
  ThrowIfAbandoned();
}

std::vector<std::uint8_t> TJPEGRowWriter::Finish() {
  state_->c([](j_compress_ptr ci) { jpeg_finish_compress(ci); });
  return state_->output.Bytes();
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

// TJPEGImage: loads a photo's bytes, decodes them once into a TBitmap and
// encodes a TBitmap back, all through libjpeg on in-memory bytes.
//
// Rows move straight between the library and the bitmap's own pixel memory,
// one row per call: the library delivers and takes blue-green-red (and
// blue-green-red-unused for the device format) itself, so no converted copy
// of a picture is ever made. Only palette pictures and four-component (CMYK)
// files pass through a one-row buffer.
#include "JpegImage.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "Abandon.h"
#include "DecodeLimits.h"
#include "Errors.h"
#include "JpegFiles.h"
#include "JpegLibrary.h"
#include "PhotoCodec.h"

namespace vizuvod {

namespace {

// MaxDecodedPixels and MaxLibraryMemory (DecodeLimits.h) hold here as for
// every format. The library's own working memory is checked against the
// header's demand before anything is allocated, and the library holds to it
// besides.

// Work a decode may take, in coefficients visited over all scans: each scan
// passes over every block of the components it codes, however few bytes it
// has. A progressive photo costs 8 to 14 passes over its pixels (real photos
// stay below 60 million); 2^32 lets the largest picture (2^28 pixels)
// through with 16 scans, which add about a second to its decode. What is
// above is refused from the header and the scan headers, before the library
// decodes anything.
constexpr std::uint64_t MaxDecodeWork = std::uint64_t(1) << 32;

// The grey levels (or colours) of a quantised picture; 20 of 256 entries stay
// free, as in the system palette the format was made for.
constexpr int QuantisedColours = 236;

// Most scans a file may have. Real progressive files have about a dozen, but
// a scan can be a few bytes that make the library pass over the whole
// picture once more: a 130 KB file of 2,000 scans kept it busy for half a
// minute. Past this many the file is refused (as libjpeg-turbo's own
// TurboJPEG interface does, with the same number).
constexpr int MaxScans = 500;

// Called by the library as it works: leaves by the error exit, like any
// other error of the library, once the scans pass MaxScans or the photo is
// abandoned (a long decode stops there too).
void WatchTheWork(j_common_ptr cinfo) {
  if (AbandonRequested.load(std::memory_order_relaxed)) {
    TJpegErrorManager::Of(cinfo).abandoned = true;
    ERREXIT(cinfo, JERR_BAD_PROGRESSION);
  }
  if (cinfo->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > MaxScans)
    ERREXIT(cinfo, JERR_BAD_PROGRESSION);
}

bool IsRestartOrStuffing(std::uint8_t marker) {
  return marker == 0x00 || (marker >= 0xD0 && marker <= 0xD7);
}

// The blocks of the component with this id, the largest when no such
// component exists (the library refuses that scan later anyway).
std::uint64_t BlocksOf(j_decompress_ptr d, int id) {
  std::uint64_t largest = 0;
  for (int c = 0; c < d->num_components; ++c) {
    const jpeg_component_info& info = d->comp_info[c];
    const std::uint64_t blocks = std::uint64_t(info.width_in_blocks) * info.height_in_blocks;
    if (info.component_id == id) return blocks;
    largest = std::max(largest, blocks);
  }
  return largest;
}

// The header of the bytes read into d (by d's guarded call).
void ReadHeader(TJpegDecompressor& d, const std::vector<std::uint8_t>& bytes) {
  d([&](j_decompress_ptr c) {
    jpeg_mem_src(c, bytes.data(), bytes.size());
    jpeg_read_header(c, TRUE);
  });
}

struct TScanCount {
  int scans = 0;
  std::uint64_t work = 0;  // as MaxDecodeWork counts it
  // Where the last scan's coded data ends: at the marker after it, or at
  // the end of the bytes when none follows.
  std::size_t codedEnd = 0;
};

// The scans of the file and their work, from the header read into d and the
// scan headers of the bytes: segments are skipped by their lengths and each
// scan's coded data up to the next marker, so a thumbnail inside a marker
// segment does not count.
TScanCount CountScans(j_decompress_ptr d, const std::vector<std::uint8_t>& b) {
  TScanCount count;
  std::size_t i = 2;
  while (i + 4 <= b.size()) {
    if (b[i] != 0xFF || b[i + 1] == 0xFF) {
      ++i;
      continue;
    }
    const std::uint8_t marker = b[i + 1];
    if (marker == 0xD9) break;
    if (marker == 0x01 || IsRestartOrStuffing(marker)) {
      i += 2;
      continue;
    }
    const std::size_t length = std::size_t(b[i + 2]) << 8 | b[i + 3];
    if (marker != 0xDA) {
      i += 2 + length;
      continue;
    }
    ++count.scans;
    const int components = i + 4 < b.size() ? b[i + 4] : 0;
    for (int k = 0; k < components && i + 5 + 2 * k < b.size(); ++k)
      count.work += BlocksOf(d, b[i + 5 + 2 * k]) * DCTSIZE2;
    std::size_t j = i + 2 + length;
    count.codedEnd = b.size();
    // Coded data holds 0xFF only before a stuffed zero, a restart or the
    // next marker; memchr finds each in a fraction of a byte-wise walk.
    while (j + 1 < b.size()) {
      const void* ff = std::memchr(b.data() + j, 0xFF, b.size() - 1 - j);
      if (!ff) {
        j = b.size() - 1;
        break;
      }
      j = std::size_t(static_cast<const std::uint8_t*>(ff) - b.data());
      if (!IsRestartOrStuffing(b[j + 1])) {
        count.codedEnd = j;
        break;
      }
      ++j;
    }
    i = j;
  }
  return count;
}

// What the library will allocate for the coefficients of a file of more
// than one scan (a whole picture's worth, rounded to whole MCUs).
std::uint64_t CoefficientMemory(j_decompress_ptr d) {
  if (!jpeg_has_multiple_scans(d)) return 0;
  std::uint64_t bytes = 0;
  for (int c = 0; c < d->num_components; ++c) {
    const jpeg_component_info& info = d->comp_info[c];
    const auto roundUp = [](std::uint64_t n, int m) { return m > 0 ? (n + m - 1) / m * m : n; };
    bytes += roundUp(info.width_in_blocks, info.h_samp_factor) *
             roundUp(info.height_in_blocks, info.v_samp_factor) * DCTSIZE2 * sizeof(JCOEF);
  }
  return bytes;
}

std::string SizeText(j_decompress_ptr d) {
  return std::to_string(d->image_width) + " x " + std::to_string(d->image_height);
}

// How decoded rows reach the bitmap.
enum class TRowLayout {
  Indexed,  // quantised: one palette index a pixel, pf8bit
  Bgr,      // three components delivered blue, green, red: pf24bit
  Cmyk,     // four components, converted per row into pf24bit
};

// Four-component files hold ink amounts, which are turned into light with the
// usual formula without an ICC profile: red = (1 - cyan) * (1 - black) on a
// 0..1 scale, and likewise green from magenta and blue from yellow. Files with
// an Adobe marker (Photoshop's) store every value inverted (255 = no ink), so
// there red = C * K / 255 directly. Products are rounded to nearest.
void CmykRowToBgr(const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool inverted) {
  const int flip = inverted ? 0 : 255;
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    const int k = cmyk[3] ^ flip;
    bgr[0] = std::uint8_t(((cmyk[2] ^ flip) * k + 127) / 255);
    bgr[1] = std::uint8_t(((cmyk[1] ^ flip) * k + 127) / 255);
    bgr[2] = std::uint8_t(((cmyk[0] ^ flip) * k + 127) / 255);
  }
}

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

}  // namespace

TJPEGDefaults& JPEGDefaults() {
  static TJPEGDefaults defaults;
  return defaults;
}

TJPEGImage::TJPEGImage() : settings(JPEGDefaults()) {}

TJPEGImage::~TJPEGImage() = default;

void TJPEGImage::LoadFromFile(const std::string& path) {
  TJpegInputFile file(path);
  data_ = std::make_unique<TJPEGData>();
  picture_.reset();
  decoded_ = false;
  warnings_.clear();
  fileMode_ = file.Mode() & 0777;
  file.ReadAll(data_->bytes);
  if (data_->bytes.empty()) return;

  TJpegDecompressor d;
  ReadHeader(d, data_->bytes);
  data_->width = int(d->image_width);
  data_->height = int(d->image_height);
  data_->grayscale = d->jpeg_color_space == JCS_GRAYSCALE;
  settings.progressiveEncoding = d([](j_decompress_ptr c) { return jpeg_has_multiple_scans(c); });
}

bool TJPEGImage::FailsOnlyBeforeItsRows() const {
  if (!data_ || data_->bytes.empty()) return false;
  const std::vector<std::uint8_t>& b = data_->bytes;
  try {
    TJpegDecompressor d;
    ReadHeader(d, b);
    // Several scans are all read when decoding starts.
    if (d([](j_decompress_ptr c) { return jpeg_has_multiple_scans(c); })) return true;
    const TScanCount count = CountScans(d.get(), b);
    if (count.scans != 1) return false;
    // One scan is read with its rows and the markers after it once they are
    // all out: only the end marker (or none, which the library reads as a
    // premature end) leaves nothing to refuse there.
    std::size_t i = count.codedEnd;
    while (i < b.size() && b[i] == 0xFF) ++i;
    return i == b.size() || (b[i] == 0xD9 && i > count.codedEnd);
  } catch (const std::exception&) {
    return false;  // the decode's own failure, in its usual place
  }
}

void TJPEGImage::AssignTo(TBitmap& target) {
  if (!decoded_) Decode();
  target.Assign(*picture_);
}

void TBitmap::Assign(TJPEGImage& source) { source.AssignTo(*this); }

void TJPEGImage::Assign(const TBitmap& source) {
  data_ = std::make_unique<TJPEGData>();
  picture_ = std::make_unique<TBitmap>(source);  // shares the pixels until either changes
  decoded_ = true;
}

struct TJPEGRowReader::TState {
  jpeg_progress_mgr progress{};  // outlives d, which points at it
  TJpegDecompressor d;
  TRowLayout layout = TRowLayout::Bgr;
  bool invertedInk = false;
  std::vector<TPaletteEntry> palette;
  TBgrPalette bgrPalette{};
  std::vector<std::uint8_t> inkRow;  // a CMYK row, or an index row for ReadBgr
  std::vector<std::uint8_t> bgrRow;  // ReadBgr's row
};

TJPEGRowReader::TJPEGRowReader(TJPEGImage& image)
    : state_(std::make_unique<TState>()), image_(image) {
  ++image.decodeCount_;
  image.warnings_.clear();
  if (!image.data_) image.data_ = std::make_unique<TJPEGData>();
  const std::vector<std::uint8_t>& bytes = image.data_->bytes;
  const TJPEGDefaults& settings = image.settings;
  TState& s = *state_;
  s.progress.progress_monitor = WatchTheWork;
  TJpegDecompressor& d = s.d;
  // The library's own hold, with room for its row buffers and tables beside
  // the coefficients checked below.
  d->mem->max_memory_to_use = long(MaxLibraryMemory + (std::uint64_t(64) << 20));
  d->progress = &s.progress;
  // No bytes at all fail here with the library's code for empty input.
  ReadHeader(d, bytes);
  if (std::uint64_t(d->image_width) * d->image_height > MaxDecodedPixels) throw EOutOfResources();
  // Refused with the codes the library itself gives when it meets the
  // same limits later, and a fuller text for vizuvod-batch.
  if (const std::uint64_t memory = CoefficientMemory(d.get()); memory > MaxLibraryMemory)
    throw EJPEG(JERR_NO_BACKING_STORE,
                "JPEG error #" + std::to_string(JERR_NO_BACKING_STORE) + ": decoding this " +
                    SizeText(d.get()) + " file of several scans needs " +
                    std::to_string(memory >> 20) + " MiB, more than the " +
                    std::to_string(MaxLibraryMemory >> 20) + " MiB a photo may take");
  if (const TScanCount scans = CountScans(d.get(), bytes);
      scans.scans > MaxScans || scans.work > MaxDecodeWork)
    throw EJPEG(JERR_BAD_PROGRESSION, "JPEG error #" + std::to_string(JERR_BAD_PROGRESSION) + ": " +
                                          std::to_string(scans.scans) + " scans over a " +
                                          SizeText(d.get()) +
                                          " picture are more work than any photo needs");
  // A progressive file's coefficients are all held while it is read: memory
  // kept for reuse by earlier pictures would stack on them.
  if (d([](j_decompress_ptr c) { return jpeg_has_multiple_scans(c); }))
    TBitmap::ReleaseSpareMemory();

  d->scale_num = 1;
  d->scale_denom = 1u << std::clamp(settings.scale, 0, 3);
  d->do_block_smoothing = settings.smoothing;
  if (settings.performance == TJPEGPerformance::jpBestQuality) {
    d->dct_method = JDCT_FLOAT;
  } else {
    d->dct_method = JDCT_IFAST;
    d->two_pass_quantize = FALSE;
    d->dither_mode = JDITHER_ORDERED;
  }
  if (settings.grayscale) d->out_color_space = JCS_GRAYSCALE;

  // Only one, three or four components can become a picture; anything else
  // would arrive with the wrong number of bytes per pixel.
  if (d->out_color_space == JCS_GRAYSCALE ||
      (settings.pixelFormat == TPixelFormat::pf8bit && d->num_components == 3)) {
    s.layout = TRowLayout::Indexed;
    // A colour map comes red first; a palette index needs no reordering.
    if (d->out_color_space != JCS_GRAYSCALE) d->out_color_space = JCS_RGB;
    d->quantize_colors = TRUE;
    d->desired_number_of_colors = QuantisedColours;
  } else if (d->num_components == 3) {
    s.layout = TRowLayout::Bgr;
    d->out_color_space = JCS_EXT_BGR;
  } else if (d->num_components == 4 &&
             (d->jpeg_color_space == JCS_CMYK || d->jpeg_color_space == JCS_YCCK)) {
    // A palette of CMYK colours is not on offer; these always give 24 bits.
    s.layout = TRowLayout::Cmyk;
    d->out_color_space = JCS_CMYK;
  } else {
    throw EJPEG(JERR_CONVERSION_NOTIMPL);
  }
  s.invertedInk = d->saw_Adobe_marker;

  d([](j_decompress_ptr c) { jpeg_start_decompress(c); });
  if (s.layout == TRowLayout::Indexed) {
    s.palette.resize(std::size_t(d->actual_number_of_colors));
    JSAMPARRAY map = d->colormap;
    const bool grey = d->out_color_components == 1;
    for (std::size_t i = 0; i < s.palette.size(); ++i)
      s.palette[i] = grey ? TPaletteEntry{map[0][i], map[0][i], map[0][i]}
                          : TPaletteEntry{map[0][i], map[1][i], map[2][i]};
  }
}

TJPEGRowReader::~TJPEGRowReader() = default;

int TJPEGRowReader::Width() const { return int(state_->d->output_width); }
int TJPEGRowReader::Height() const { return int(state_->d->output_height); }

TPixelFormat TJPEGRowReader::PixelFormat() const {
  return state_->layout == TRowLayout::Indexed ? TPixelFormat::pf8bit : TPixelFormat::pf24bit;
}

const std::vector<TPaletteEntry>& TJPEGRowReader::Palette() const { return state_->palette; }

void TJPEGRowReader::Read(std::uint8_t* row) {
  TState& s = *state_;
  const bool ink = s.layout == TRowLayout::Cmyk;
  if (ink) s.inkRow.resize(std::size_t(Width()) * 4);
  JSAMPROW target = ink ? s.inkRow.data() : row;
  const JDIMENSION got =
      s.d([&](j_decompress_ptr c) { return jpeg_read_scanlines(c, &target, 1); });
  if (got != 1) throw EJPEG(JERR_INPUT_EOF);  // cannot happen with bytes in memory
  if (ink && image_.inkToBgr)
    image_.inkToBgr(s.inkRow.data(), row, Width(), s.invertedInk);
  else if (ink)
    CmykRowToBgr(s.inkRow.data(), row, Width(), s.invertedInk);
}

const std::uint8_t* TJPEGRowReader::ReadBgr() {
  TState& s = *state_;
  const int width = Width();
  if (s.bgrRow.empty()) {
    s.bgrRow.resize(std::size_t(width) * 3);
    if (s.layout == TRowLayout::Indexed) {
      s.bgrPalette = BgrPalette(s.palette);
      s.inkRow.resize(std::size_t(width));
    }
  }
  if (s.layout != TRowLayout::Indexed) {
    Read(s.bgrRow.data());
    return s.bgrRow.data();
  }
  Read(s.inkRow.data());
  IndexedRowToBgr(s.inkRow.data(), s.bgrRow.data(), width, s.bgrPalette);
  return s.bgrRow.data();
}

void TJPEGRowReader::Finish() {
  TState& s = *state_;
  if (s.d->output_scanline < s.d->output_height) {
    std::vector<std::uint8_t> rest(std::size_t(Width()) * 3);
    while (s.d->output_scanline < s.d->output_height) Read(rest.data());
  }
  s.d([](j_decompress_ptr c) { jpeg_finish_decompress(c); });
  image_.warnings_ = s.d.Warnings();
}

void TJPEGImage::Decode() {
  // The picture is held from here on, also when decoding fails part-way; it
  // counts as decoded only once every row has arrived, so a later assignment
  // tries again instead of handing out a half-filled picture.
  picture_ = std::make_unique<TBitmap>();
  decoded_ = false;
  TBitmap& picture = *picture_;
  TJPEGRowReader rows(*this);
  picture.SetPixelFormat(rows.PixelFormat());
  picture.SetSize(rows.Width(), rows.Height());
  if (rows.PixelFormat() == TPixelFormat::pf8bit) picture.SetPalette(rows.Palette());
  // Every row is written below, so only the padding after it is set, to the
  // white a new picture has.
  picture.AllocateForOverwrite();
  const int used = rows.Width() * TBitmap::BitsPerPixel(rows.PixelFormat()) / 8;
  for (int y = 0; y < rows.Height(); ++y) {
    std::uint8_t* row = picture.ScanLine(y);
    rows.Read(row);
    std::memset(row + used, 0xFF, std::size_t(picture.Stride() - used));
  }
  rows.Finish();
  decoded_ = true;
}

void TJPEGImage::SaveToFile(const std::string& path, const TReplaceGuard& guard) {
  // Encoded wholly in memory first: nothing touches the file system until
  // the bytes are complete, and the file is only replaced once they are
  // written.
  ReplaceFileWith(path, EncodedBytes(), fileMode_, guard);
}

const std::vector<std::uint8_t>& TJPEGImage::EncodedBytes() {
  if (!data_ || data_->bytes.empty()) Encode();
  return data_->bytes;
}

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

std::vector<std::uint8_t> TJPEGImage::EncodedBytesOf(const TBitmap& picture) const {
  return MakeJpegEncoder(settings)->Encode(picture);
}

void TJPEGImage::Encode() {
  // The new bytes become the stored data only when complete, so a failed
  // encoding never leaves half a file behind to be saved by a later call.
  auto data = std::make_unique<TJPEGData>();
  if (picture_ && picture_->HasPixels()) {
    // Read-only access: the held picture may share its pixels with the
    // caller's bitmap, and a writable row would copy them all.
    const TBitmap& picture = *picture_;
    data->bytes = EncodedBytesOf(picture);
    data->width = picture.Width();
    data->height = picture.Height();
    data->grayscale = settings.grayscale;
  }
  data_ = std::move(data);
}

int TJPEGImage::Width() const {
  if (picture_) return picture_->Width();
  return data_ ? data_->width : 0;
}

int TJPEGImage::Height() const {
  if (picture_) return picture_->Height();
  return data_ ? data_->height : 0;
}

void TJPEGImage::SetWidth(int) {
  throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

void TJPEGImage::SetHeight(int) {
  throw EInvalidGraphicOperation("Cannot change the size of a JPEG image");
}

bool TJPEGImage::Empty() const {
  return !(picture_ && picture_->HasPixels()) && (!data_ || data_->bytes.empty());
}

}  // namespace vizuvod

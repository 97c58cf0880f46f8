// Reading JPEG photos through libjpeg on in-memory bytes: the header, the
// limits a decode is held to, the rows one by one, and the per-photo step's
// JPEG decoder over them.
//
// Rows move straight from the library into the caller's row (the bitmap's
// own pixel memory when a whole picture is decoded), one row per call: the
// library delivers blue-green-red itself, so no converted copy of a picture
// is ever made. Only four-component (CMYK) files pass through a one-row
// buffer.
#include "formats/jpeg/JpegReader.h"

#include <algorithm>
#include <cstring>

#include "colour/Colour.h"
#include "core/Abandon.h"
#include "core/Errors.h"
#include "files/SafeFiles.h"
#include "formats/DecodeLimits.h"
#include "formats/PhotoCodec.h"
#include "formats/jpeg/JpegLibrary.h"
#include "metadata/Orientation.h"

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

bool HasMultipleScans(TJpegDecompressor& d) {
  return d([](j_decompress_ptr c) { return jpeg_has_multiple_scans(c); });
}

struct TScanCount {
  int scans = 0;
  std::uint64_t work = 0;  // as MaxDecodeWork counts it
  // Where the last scan's coded data ends: at the marker after it, or at
  // the end of the bytes when none follows.
  std::size_t codedEnd = 0;
};

// Moves j, at the start of a scan's coded data, to the marker after it, or
// to the last byte when none follows; returns where the coded data ends:
// at that marker, or at the end of the bytes.
std::size_t SkipCodedData(const std::vector<std::uint8_t>& b, std::size_t& j) {
  // Coded data holds 0xFF only before a stuffed zero, a restart or the
  // next marker; memchr finds each in a fraction of a byte-wise walk.
  while (j + 1 < b.size()) {
    const void* ff = std::memchr(b.data() + j, 0xFF, b.size() - 1 - j);
    if (!ff) {
      j = b.size() - 1;
      break;
    }
    j = std::size_t(static_cast<const std::uint8_t*>(ff) - b.data());
    if (!IsRestartOrStuffing(b[j + 1])) return j;
    ++j;
  }
  return b.size();
}

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
    i += 2 + length;
    count.codedEnd = SkipCodedData(b, i);
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

// Reads the header of bytes into d and refuses, before anything is
// allocated, what no photo may take: more pixels than MaxDecodedPixels, more
// coefficient memory than MaxLibraryMemory, more scans than MaxScans or more
// work than MaxDecodeWork. The library is held to its memory and its work
// is watched (WatchTheWork) from here on, through progress, which must
// outlive d.
void CheckDecodeLimits(TJpegDecompressor& d, jpeg_progress_mgr& progress,
                       const std::vector<std::uint8_t>& bytes) {
  progress.progress_monitor = WatchTheWork;
  // The library's own hold, with room for its row buffers and tables beside
  // the coefficients checked below.
  d->mem->max_memory_to_use = long(MaxLibraryMemory + (std::uint64_t(64) << 20));
  d->progress = &progress;
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
}

// The settings' scale, smoothing, performance and grayscale, given to d.
void ApplySettings(TJpegDecompressor& d, const TJPEGDefaults& settings) {
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
}

// How decoded rows reach the bitmap.
enum class TRowLayout {
  rlIndexed,  // quantised: one palette index a pixel, pf8bit
  rlBgr,      // three components delivered blue, green, red: pf24bit
  rlCmyk,     // four components, converted per row into pf24bit
};

// The layout of the rows for the components of d and the pixel format
// asked for, with d's output set to give it.
TRowLayout ChooseLayout(TJpegDecompressor& d, TPixelFormat pixelFormat) {
  // Only one, three or four components can become a picture; anything else
  // would arrive with the wrong number of bytes per pixel.
  if (d->out_color_space == JCS_GRAYSCALE ||
      (pixelFormat == TPixelFormat::pf8bit && d->num_components == 3)) {
    // A colour map comes red first; a palette index needs no reordering.
    if (d->out_color_space != JCS_GRAYSCALE) d->out_color_space = JCS_RGB;
    d->quantize_colors = TRUE;
    d->desired_number_of_colors = QuantisedColours;
    return TRowLayout::rlIndexed;
  }
  if (d->num_components == 3) {
    d->out_color_space = JCS_EXT_BGR;
    return TRowLayout::rlBgr;
  }
  if (d->num_components == 4 &&
      (d->jpeg_color_space == JCS_CMYK || d->jpeg_color_space == JCS_YCCK)) {
    // A palette of CMYK colours is not on offer; these always give 24 bits.
    d->out_color_space = JCS_CMYK;
    return TRowLayout::rlCmyk;
  }
  throw EJPEG(JERR_CONVERSION_NOTIMPL);
}

// The palette of a started quantised decode.
std::vector<TPaletteEntry> PaletteOf(j_decompress_ptr d) {
  std::vector<TPaletteEntry> palette(std::size_t(d->actual_number_of_colors));
  JSAMPARRAY map = d->colormap;
  const bool grey = d->out_color_components == 1;
  for (std::size_t i = 0; i < palette.size(); ++i)
    palette[i] = grey ? TPaletteEntry{map[0][i], map[0][i], map[0][i]}
                      : TPaletteEntry{map[0][i], map[1][i], map[2][i]};
  return palette;
}

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

}  // namespace

TJPEGHeader ReadJpegHeader(const std::vector<std::uint8_t>& bytes) {
  TJpegDecompressor d;
  ReadHeader(d, bytes);
  TJPEGHeader header;
  header.width = int(d->image_width);
  header.height = int(d->image_height);
  header.grayscale = d->jpeg_color_space == JCS_GRAYSCALE;
  header.multipleScans = HasMultipleScans(d);
  return header;
}

bool JpegFailsOnlyBeforeItsRows(const std::vector<std::uint8_t>& b) {
  if (b.empty()) return false;
  try {
    TJpegDecompressor d;
    ReadHeader(d, b);
    // Several scans are all read when decoding starts.
    if (HasMultipleScans(d)) return true;
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

struct TJPEGRowReader::TState {
  jpeg_progress_mgr progress{};  // outlives d, which points at it
  TJpegDecompressor d;
  TRowLayout layout = TRowLayout::rlBgr;
  bool invertedInk = false;
  const TJPEGInkRows* inkToBgr = nullptr;
  std::vector<TPaletteEntry> palette;
  TBgrPalette bgrPalette{};
  std::vector<std::uint8_t> inkRow;  // a CMYK row, or an index row for ReadBgr
  std::vector<std::uint8_t> bgrRow;  // ReadBgr's row
};

TJPEGRowReader::TJPEGRowReader(const std::vector<std::uint8_t>& bytes,
                               const TJPEGDefaults& settings, const TJPEGInkRows& inkToBgr)
    : state_(std::make_unique<TState>()) {
  TState& s = *state_;
  s.inkToBgr = &inkToBgr;
  TJpegDecompressor& d = s.d;
  CheckDecodeLimits(d, s.progress, bytes);
  // A progressive file's coefficients are all held while it is read: memory
  // kept for reuse by earlier pictures would stack on them.
  if (HasMultipleScans(d)) TBitmap::ReleaseSpareMemory();
  ApplySettings(d, settings);
  s.layout = ChooseLayout(d, settings.pixelFormat);
  s.invertedInk = d->saw_Adobe_marker;
  d([](j_decompress_ptr c) { jpeg_start_decompress(c); });
  if (s.layout == TRowLayout::rlIndexed) s.palette = PaletteOf(d.get());
}

TJPEGRowReader::~TJPEGRowReader() = default;

int TJPEGRowReader::Width() const { return int(state_->d->output_width); }
int TJPEGRowReader::Height() const { return int(state_->d->output_height); }

TPixelFormat TJPEGRowReader::PixelFormat() const {
  return state_->layout == TRowLayout::rlIndexed ? TPixelFormat::pf8bit : TPixelFormat::pf24bit;
}

const std::vector<TPaletteEntry>& TJPEGRowReader::Palette() const { return state_->palette; }

void TJPEGRowReader::Read(std::uint8_t* row) {
  TState& s = *state_;
  const bool ink = s.layout == TRowLayout::rlCmyk;
  if (ink) s.inkRow.resize(std::size_t(Width()) * 4);
  JSAMPROW target = ink ? s.inkRow.data() : row;
  const JDIMENSION got =
      s.d([&](j_decompress_ptr c) { return jpeg_read_scanlines(c, &target, 1); });
  if (got != 1) throw EJPEG(JERR_INPUT_EOF);  // cannot happen with bytes in memory
  if (ink && *s.inkToBgr)
    (*s.inkToBgr)(s.inkRow.data(), row, Width(), s.invertedInk);
  else if (ink)
    CmykRowToBgr(s.inkRow.data(), row, Width(), s.invertedInk);
}

const std::uint8_t* TJPEGRowReader::ReadBgr() {
  TState& s = *state_;
  const int width = Width();
  if (s.bgrRow.empty()) {
    s.bgrRow.resize(std::size_t(width) * 3);
    if (s.layout == TRowLayout::rlIndexed) {
      s.bgrPalette = BgrPalette(s.palette);
      s.inkRow.resize(std::size_t(width));
    }
  }
  if (s.layout != TRowLayout::rlIndexed) {
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
}

const std::vector<std::string>& TJPEGRowReader::Warnings() const { return state_->d.Warnings(); }

void DecodeJpeg(const std::vector<std::uint8_t>& bytes, const TJPEGDefaults& settings,
                const TJPEGInkRows& inkToBgr, TBitmap& picture,
                std::vector<std::string>& warnings) {
  warnings.clear();
  TJPEGRowReader rows(bytes, settings, inkToBgr);
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
  warnings = rows.Warnings();
}

namespace {

class TJpegRows : public TRowSource {
 public:
  // warnings become the library's once Finish is done.
  TJpegRows(const std::vector<std::uint8_t>& bytes, const TJPEGDefaults& settings,
            const TJPEGInkRows& inkToBgr, std::vector<std::string>& warnings)
      : reader_(bytes, settings, inkToBgr), warnings_(warnings) {}
  int Width() const override { return reader_.Width(); }
  int Height() const override { return reader_.Height(); }
  const std::uint8_t* Row(int y) override {
    while (next_ < y) reader_.ReadBgr(), ++next_;
    ++next_;
    return reader_.ReadBgr();
  }
  void Finish() override {
    reader_.Finish();
    warnings_ = reader_.Warnings();
  }

 private:
  TJPEGRowReader reader_;
  std::vector<std::string>& warnings_;
  int next_ = 0;
};

// The file is read whole and its header once; its rows are decoded from
// those bytes with the process-wide JPEG defaults, row by row or whole.
class TJpegDecoder : public TPhotoDecoder {
 public:
  explicit TJpegDecoder(const std::string& path) : settings_(JPEGDefaults()) {
    TJpegInputFile file(path);
    fileMode_ = file.Mode() & 0777;
    file.ReadAll(data_.bytes);
    if (data_.bytes.empty()) return;
    const TJPEGHeader header = ReadJpegHeader(data_.bytes);
    data_.width = header.width;
    data_.height = header.height;
    data_.grayscale = header.grayscale;
    settings_.progressiveEncoding = header.multipleScans;
  }
  // The decoded picture's size once decoding has begun, as a TJPEGImage's.
  int Width() const override { return picture_ ? picture_->Width() : data_.width; }
  int Height() const override { return picture_ ? picture_->Height() : data_.height; }
  std::uintmax_t FileBytes() const override { return data_.bytes.size(); }
  unsigned FileMode() const override { return fileMode_; }
  TPhotoMetadata Metadata() const override { return TPhotoMetadata::Read(data_.bytes); }
  bool Progressive() const override { return settings_.progressiveEncoding; }
  bool ConvertsColours() const override { return false; }
  int CarriedOrientation() const override { return vizuvod::CarriedOrientation(data_.bytes); }
  bool StreamsRows() const override { return settings_.scale == 0; }
  bool FailsOnlyBeforeItsRows() const override { return JpegFailsOnlyBeforeItsRows(data_.bytes); }
  std::unique_ptr<TRowSource> Rows() override {
    warnings_.clear();
    return std::make_unique<TJpegRows>(data_.bytes, settings_, inkToBgr_, warnings_);
  }
  TBitmap Picture() override {
    if (!decoded_) Decode();
    TBitmap picture;
    picture.Assign(*picture_);
    return picture;
  }
  const std::vector<std::string>& Warnings() const override { return warnings_; }
  bool UseInkProfile(const std::vector<std::uint8_t>& profile) override {
    if (!HasInks(data_.bytes)) return false;
    inkToBgr_ = InkToSrgb(profile);
    return bool(inkToBgr_);
  }

 private:
  // The picture is held from here on, also when decoding fails part-way; it
  // counts as decoded only once every row has arrived.
  void Decode() {
    picture_ = std::make_unique<TBitmap>();
    decoded_ = false;
    DecodeJpeg(data_.bytes, settings_, inkToBgr_, *picture_, warnings_);
    decoded_ = true;
  }

  // Four components in the frame header: CMYK or YCCK, as the row reader
  // reads them.
  static bool HasInks(const std::vector<std::uint8_t>& b) {
    for (std::size_t i = 2; i + 10 <= b.size() && b[i] == 0xFF;) {
      const std::uint8_t marker = b[i + 1];
      if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC)
        return b[i + 9] == 4;
      if (marker == 0xDA || marker == 0xD9) return false;
      i += 2 + (std::size_t(b[i + 2]) << 8 | b[i + 3]);
    }
    return false;
  }

  TJPEGData data_;
  unsigned fileMode_ = 0666;
  TJPEGDefaults settings_;
  TJPEGInkRows inkToBgr_;
  std::unique_ptr<TBitmap> picture_;
  bool decoded_ = false;  // picture_ is complete
  std::vector<std::string> warnings_;
};

}  // namespace

std::unique_ptr<TPhotoDecoder> OpenJpegDecoder(const std::string& path) {
  return std::make_unique<TJpegDecoder>(path);
}

}  // namespace vizuvod

// The PNG decoder, over libpng reading from the file, never held whole: a
// non-interlaced picture's rows are handed out as libpng gives them, an
// interlaced one is decoded whole. libpng leaves
// by longjmp on an error; only plain C data lives between the setjmp and the
// calls that may leave, and the error becomes an EPhotoData after it.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>
#include <string>

#include "core/Errors.h"
#include "files/SafeFiles.h"
#include "formats/DecodeLimits.h"
#include "formats/PictureDecoder.h"

namespace vizuvod {

namespace {

// The library's state over one file, read through a buffer of its own.
struct TPngRead {
  png_structp png = nullptr;
  png_infop info = nullptr;
  const TJpegInputFile* file = nullptr;
  std::uintmax_t size = 0, at = 0;  // the file's bytes, and where the buffer starts
  std::vector<std::uint8_t> buffer = std::vector<std::uint8_t>(64 << 10);
  std::size_t held = 0, used = 0;  // of the buffer
  // Bytes the library may still read once the last row is asked for: its
  // image data and a chunk header or two. A zlib stream that runs on past the
  // picture's end (a few bytes that inflate to gigabytes nobody needs) is
  // refused instead of inflated to its end.
  std::size_t lastRowBudget = SIZE_MAX;
  char reason[200] = {};

  TPngRead(const TJpegInputFile& f, std::uintmax_t bytes) : file(&f), size(bytes) {
    png = png_create_read_struct(PNG_LIBPNG_VER_STRING, this, OnError, OnWarning);
    if (png) info = png_create_info_struct(png);
    if (!png || !info) throw EOutOfResources();
    png_set_read_fn(png, this, OnRead);
    // The giant pictures are refused from the header below, with the
    // budgets of every format; libpng's own size limits must not come first.
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
  }
  ~TPngRead() { png_destroy_read_struct(&png, &info, nullptr); }
  TPngRead(const TPngRead&) = delete;
  TPngRead& operator=(const TPngRead&) = delete;

  static TPngRead& Of(png_structp png) { return *static_cast<TPngRead*>(png_get_io_ptr(png)); }
  static void OnError(png_structp png, png_const_charp message) {
    auto& self = *static_cast<TPngRead*>(png_get_error_ptr(png));
    std::strncpy(self.reason, message, sizeof self.reason - 1);
    png_longjmp(png, 1);
  }
  static void OnWarning(png_structp, png_const_charp) {}  // what libpng works around
  // No C++ exception may pass through libpng: a failed read becomes its error.
  static void OnRead(png_structp png, png_bytep data, png_size_t length) {
    TPngRead& self = Of(png);
    if (length > self.size - (self.at + self.used)) png_error(png, "the file ends early");
    if (length > self.lastRowBudget)
      png_error(png, "the image data runs on far past the picture's last row");
    if (self.lastRowBudget != SIZE_MAX) self.lastRowBudget -= length;
    while (length > 0) {
      if (self.used == self.held && !self.Refill()) png_error(png, "the file cannot be read");
      const std::size_t n = std::min(length, self.held - self.used);
      std::memcpy(data, self.buffer.data() + self.used, n);
      self.used += n, data += n, length -= n;
    }
  }
  bool Refill() {
    at += held;
    used = held = 0;
    try {
      held = file->ReadAt(buffer.data(), buffer.size(), at);
    } catch (const std::exception&) {
      return false;
    }
    return held > 0;
  }
  [[noreturn]] void Fail() const { throw EPhotoData("PNG", reason); }
};

// Steps of the reading that may leave by longjmp, each its own function so
// that no object with a destructor is skipped.
bool ReadInfo(TPngRead& r) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  png_read_info(r.png, r.info);
  return true;
}

// Samples as SamplesToBgr takes them: palettes and transparency expanded to
// colours and alpha, grey below 8 bits to 8. Gives the passes.
// With bgr, an 8-bit RGB picture's samples come as blue, green, red
// already (bgr stays true only then).
bool SetTransforms(TPngRead& r, int& passes, bool* bgr = nullptr) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  if (bgr) {
    *bgr = png_get_color_type(r.png, r.info) == PNG_COLOR_TYPE_RGB &&
           png_get_bit_depth(r.png, r.info) == 8 && !png_get_valid(r.png, r.info, PNG_INFO_tRNS);
    if (*bgr) png_set_bgr(r.png);
  }
  png_set_expand(r.png);
  passes = png_set_interlace_handling(r.png);
  png_read_update_info(r.png, r.info);
  return true;
}

// Called before the library is asked for the last row of `rowBytes` bytes.
void StartLastRow(TPngRead& r, std::size_t rowBytes) {
  r.lastRowBudget = rowBytes * 2 + (64 << 10);
}

bool ReadRows(TPngRead& r, png_bytepp rows, png_uint_32 count, int passes, std::size_t rowBytes) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < count; ++y) {
      if (pass == passes - 1 && y == count - 1) StartLastRow(r, rowBytes);
      png_read_row(r.png, rows[y], nullptr);
    }
  return true;
}

bool ReadOneRow(TPngRead& r, std::uint8_t* row, bool last, std::size_t rowBytes) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  if (last) StartLastRow(r, rowBytes);
  png_read_row(r.png, row, nullptr);
  return true;
}

// Rows one at a time into the picture; an interlaced file goes whole into a
// buffer first, its passes each adding to every row.
bool ReadRowByRow(TPngRead& r, std::uint8_t* row, std::size_t rowBytes, png_uint_32 height,
                  void (*take)(void*, png_uint_32, const std::uint8_t*), void* to) {
  if (setjmp(png_jmpbuf(r.png))) return false;
  for (png_uint_32 y = 0; y < height; ++y) {
    if (y == height - 1) StartLastRow(r, rowBytes);
    png_read_row(r.png, row, nullptr);
    take(to, y, row);
  }
  return true;
}

// What the chunks' headers tell before the library reads them.
struct TChunks {
  bool animated = false;  // an APNG: its animation control chunk comes before the image data
  // The file without its image data: the chunks the metadata is read from.
  std::vector<std::uint8_t> skeleton;
};

// Walks the chunks' headers. The library reads each chunk but the image
// data whole into memory of the size its header claims, so a chunk that
// claims more bytes than the file holds (a few bytes claiming gigabytes) is
// refused here, before any is taken; image data cut short is the library's
// to find.
TChunks WalkChunks(const TJpegInputFile& file, std::uintmax_t size) {
  TChunks chunks;
  chunks.skeleton.resize(std::size_t(std::min<std::uintmax_t>(size, 8)));
  file.ReadAt(chunks.skeleton.data(), chunks.skeleton.size(), 0);
  for (std::uintmax_t i = 8; i + 8 <= size;) {
    std::uint8_t h[8];
    if (file.ReadAt(h, 8, i) < 8) break;
    const std::uint64_t length = std::uint64_t(h[0]) << 24 | h[1] << 16 | h[2] << 8 | h[3];
    const std::string type(reinterpret_cast<const char*>(&h[4]), 4);
    if (type == "IEND") {
      static constexpr std::uint8_t End[12] = {0,   0,   0,    0,    'I',  'E',
                                               'N', 'D', 0xAE, 0x42, 0x60, 0x82};
      chunks.skeleton.insert(chunks.skeleton.end(), End, End + 12);
      break;
    }
    if (length + 12 > size - i && type != "IDAT")
      throw EPhotoData("PNG", "a " + type + " chunk claims " + std::to_string(length) +
                                  " bytes, more than the file holds");
    if (type != "IDAT") {
      const std::size_t from = chunks.skeleton.size();
      chunks.skeleton.resize(from + std::size_t(length) + 12);
      file.ReadAt(chunks.skeleton.data() + from, std::size_t(length) + 12, i);
    }
    chunks.animated = chunks.animated || type == "acTL";
    i += std::min<std::uint64_t>(length + 12, size - i);
  }
  return chunks;
}

// The rows of a non-interlaced file as libpng gives them, read on demand.
class TPngRows : public TRowSource {
 public:
  TPngRows(const TJpegInputFile& file, std::uintmax_t size, int width, int height)
      : r_(file, size), width_(width), height_(height) {
    int passes = 1;
    if (!ReadInfo(r_) || !SetTransforms(r_, passes, &bgrReady_)) r_.Fail();
    rowBytes_ = png_get_rowbytes(r_.png, r_.info);
    channels_ = png_get_channels(r_.png, r_.info);
    bits_ = png_get_bit_depth(r_.png, r_.info);
    samples_.resize(rowBytes_);
    bgr_.resize(std::size_t(width) * 3);
  }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  const std::uint8_t* Row(int y) override {
    while (next_ <= y) Next();
    if (bgrReady_ && channels_ == 3) return samples_.data();
    SamplesToBgr(samples_.data(), channels_, bits_, width_, bgr_.data());
    return bgr_.data();
  }
  // The rows left are read too: a file cut short fails as it does held whole.
  void Finish() override {
    while (next_ < height_) Next();
  }

 private:
  void Next() {
    if (!ReadOneRow(r_, samples_.data(), next_ == height_ - 1, rowBytes_)) r_.Fail();
    ++next_;
  }

  TPngRead r_;
  int width_, height_, next_ = 0, channels_ = 3, bits_ = 8;
  bool bgrReady_ = false;  // the library gives blue, green, red itself
  std::size_t rowBytes_ = 0;
  std::vector<std::uint8_t> samples_, bgr_;
};

class TPngDecoder : public TPictureDecoder {
 public:
  explicit TPngDecoder(const std::string& path) : TPictureDecoder(path, false) {
    TChunks chunks = WalkChunks(*file_, fileBytes_);
    skeleton_ = std::move(chunks.skeleton);
    TPngRead r(*file_, fileBytes_);
    if (!ReadInfo(r)) r.Fail();
    const png_uint_32 width = png_get_image_width(r.png, r.info);
    const png_uint_32 height = png_get_image_height(r.png, r.info);
    // An interlaced file is held whole as the library gives it (up to 8
    // bytes a pixel), the others a row at a time.
    interlaced_ = png_get_interlace_type(r.png, r.info) != PNG_INTERLACE_NONE;
    TakeSize("PNG", width, height,
             interlaced_ ? std::uint64_t(width) * height * 8 : std::uint64_t(width) * 8);
    if (chunks.animated) frameNote_ = "an animated PNG: only its first frame is resized";
  }

  TPhotoMetadata Metadata() const override { return TPhotoMetadata::Read(skeleton_); }
  bool StreamsRows() const override { return !interlaced_ && Width() > 0 && Height() > 0; }
  std::unique_ptr<TRowSource> Rows() override {
    if (!StreamsRows()) return TPictureDecoder::Rows();
    return std::make_unique<TPngRows>(*file_, fileBytes_, Width(), Height());
  }

 private:
  struct TTarget {
    TBitmap* picture;
    int channels, bits, width;
  };

  void Decode(TBitmap& picture) override {
    TPngRead r(*file_, fileBytes_);
    int passes = 1;
    if (!ReadInfo(r) || !SetTransforms(r, passes)) r.Fail();
    const png_uint_32 height = png_get_image_height(r.png, r.info);
    const std::size_t rowBytes = png_get_rowbytes(r.png, r.info);
    TTarget target{&picture, png_get_channels(r.png, r.info), png_get_bit_depth(r.png, r.info),
                   Width()};
    if (passes == 1) {
      std::vector<std::uint8_t> row(rowBytes);
      const auto take = [](void* to, png_uint_32 y, const std::uint8_t* samples) {
        const TTarget& t = *static_cast<TTarget*>(to);
        SamplesToBgr(samples, t.channels, t.bits, t.width, t.picture->ScanLine(int(y)));
      };
      if (!ReadRowByRow(r, row.data(), rowBytes, height, take, &target)) r.Fail();
      return;
    }
    std::vector<std::uint8_t> whole(rowBytes * height);
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = whole.data() + rowBytes * y;
    if (!ReadRows(r, rows.data(), height, passes, rowBytes)) r.Fail();
    for (png_uint_32 y = 0; y < height; ++y)
      SamplesToBgr(rows[y], target.channels, target.bits, target.width, picture.ScanLine(int(y)));
  }

  std::vector<std::uint8_t> skeleton_;
  bool interlaced_ = false;
};

}  // namespace

std::unique_ptr<TPhotoDecoder> OpenPngDecoder(const std::string& path) {
  return std::make_unique<TPngDecoder>(path);
}

}  // namespace vizuvod

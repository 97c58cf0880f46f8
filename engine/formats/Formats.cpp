// The formats' table, and the choice of a photo's decoder and a result's
// encoder by it.
#include "formats/Formats.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "core/Errors.h"
#include "formats/PictureDecoder.h"

namespace vizuvod {

namespace {
#ifdef VIZUVOD_HEIF
constexpr bool HeifRead = true;
#else
constexpr bool HeifRead = false;
#endif

bool IsJpeg(const std::uint8_t* b, std::size_t size) {
  return size >= 2 && b[0] == 0xFF && b[1] == 0xD8;
}

bool IsPng(const std::uint8_t* b, std::size_t size) {
  static constexpr std::uint8_t Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return size >= 8 && std::memcmp(b, Signature, 8) == 0;
}

bool IsWebp(const std::uint8_t* b, std::size_t size) {
  return size >= 12 && std::memcmp(b, "RIFF", 4) == 0 && std::memcmp(b + 8, "WEBP", 4) == 0;
}

// HEIC and AVIF alike: libheif tells them by the brands after 'ftyp'.
bool IsHeif(const std::uint8_t* b, std::size_t size) {
  return size >= 12 && std::memcmp(b + 4, "ftyp", 4) == 0 && IsHeifBytes(b, size);
}

std::unique_ptr<TPhotoDecoder> OpenJpeg(const std::string& path, bool) {
  return OpenJpegDecoder(path);
}
std::unique_ptr<TPhotoDecoder> OpenPng(const std::string& path, bool) {
  return OpenPngDecoder(path);
}
std::unique_ptr<TPhotoDecoder> OpenWebp(const std::string& path, bool) {
  return OpenWebpDecoder(path);
}

// One format a line: name, label, extensions, switch, whether this build
// reads it, its first-bytes test, decoder, result extension and format, and
// encoder.
// clang-format off
constexpr TFormatRow Rows[] = {
    {"jpeg", "JPEG", {"jpg", "jpeg", "jpe"},  &TFormats::jpeg, true,     IsJpeg, OpenJpeg,        "jpg",   TResultFormat::rfJpeg, MakeJpegEncoder},
    {"png",  "PNG",  {"png"},                 &TFormats::png,  true,     IsPng,  OpenPng,         nullptr, {},                    nullptr},
    {"webp", "WebP", {"webp"},                &TFormats::webp, true,     IsWebp, OpenWebp,        "webp",  TResultFormat::rfWebp, MakeWebpEncoder},
    {"heic", "HEIC", {"heic", "heif", "hif"}, &TFormats::heic, HeifRead, IsHeif, OpenHeifDecoder, nullptr, {},                    nullptr},
    {"avif", "AVIF", {"avif"},                &TFormats::avif, HeifRead, IsHeif, OpenHeifDecoder, "avif",  TResultFormat::rfAvif, MakeAvifEncoder},
};
// clang-format on

// The first bytes of the file at path (up to 64: a HEIF's brands follow its
// first 12), or nullopt when it cannot be read here.
std::optional<std::vector<std::uint8_t>> FirstBytes(const std::string& path) {
  std::vector<std::uint8_t> head(64);
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  const ssize_t got = ::read(fd, head.data(), head.size());
  ::close(fd);
  if (got < 0) return std::nullopt;
  head.resize(std::size_t(got));
  return head;
}

}  // namespace

std::span<const TFormatRow> FormatRows() { return Rows; }

TFormats TFormats::All() {
  TFormats all;
  for (const TFormatRow& row : FormatRows()) all.*row.chosen = row.readable;
  return all;
}

const TFormatRow* FormatRowNamed(const std::string& name) {
  for (const TFormatRow& row : FormatRows())
    if (name == row.name) return &row;
  return nullptr;
}

bool HasExtension(const TFormatRow& row, const std::string& lowerExt) {
  for (const char* ext : row.extensions)
    if (ext && lowerExt == ext) return true;
  return false;
}

const TFormatRow* FormatRowOfBytes(const std::uint8_t* bytes, std::size_t size) {
  for (const TFormatRow& row : FormatRows())
    if (row.isItsBytes(bytes, size)) return &row;
  return nullptr;
}

std::string ListText(const std::vector<std::string>& items) {
  std::string list;
  for (std::size_t i = 0; i < items.size(); ++i)
    list += (i == 0 ? "" : i + 1 == items.size() ? " and " : ", ") + items[i];
  return list;
}

std::unique_ptr<TPhotoDecoder> OpenDecoder(const std::string& path, bool anyFormat,
                                           bool oneThread) {
  const TFormatRow& jpeg = Rows[0];
  if (!anyFormat) return jpeg.openDecoder(path, oneThread);
  const auto head = FirstBytes(path);
  if (!head) return jpeg.openDecoder(path, oneThread);
  if (const TFormatRow* row = FormatRowOfBytes(head->data(), head->size()))
    return row->openDecoder(path, oneThread);
  // Told by its bytes, a file of none of the formats is named as such, not
  // by the error the JPEG library would give it.
  std::vector<std::string> labels;
  for (const TFormatRow& row : FormatRows()) labels.push_back(row.label);
  throw EUnknownFormat(head->empty(), ListText(labels));
}

std::unique_ptr<TPhotoEncoder> MakeEncoder(const TEncoderSettings& settings) {
  for (const TFormatRow& row : FormatRows())
    if (row.makeEncoder && row.result == settings.format) return row.makeEncoder(settings);
  return Rows[0].makeEncoder(settings);
}

const char* ExtensionOf(TResultFormat format) {
  for (const TFormatRow& row : FormatRows())
    if (row.resultExtension && row.result == format) return row.resultExtension;
  return Rows[0].resultExtension;
}

}  // namespace vizuvod

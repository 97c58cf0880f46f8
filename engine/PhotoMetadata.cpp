// exiv2 reads and writes the metadata on bytes in memory: a result is
// complete before it reaches the file system, so its save stays one atomic
// replacement.
#include "PhotoMetadata.h"

#include <exiv2/exiv2.hpp>
#include <mutex>

namespace vizuvod {

struct TPhotoMetadata::TData {
  Exiv2::ExifData exif;
  Exiv2::IptcData iptc;
  Exiv2::XmpData xmp;
  std::string xmpPacket;  // as the photo holds it
  std::vector<std::uint8_t> icc;
};

namespace {

// exiv2 reports damage it works around through a process-wide log; its
// errors become the warning of the photo being handled on this thread.
thread_local std::string* currentLog = nullptr;

void CollectLog(int level, const char* message) {
  if (level < Exiv2::LogMsg::error || !currentLog || !message) return;
  std::string text(message);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (currentLog->empty()) *currentLog = text;
}

// exiv2 and its XMP toolkit keep process-wide state (the namespace
// registry) that parsing and writing change: two photos at once gave one of
// them another XMP prefix. All metadata work of the process takes turns.
std::mutex exiv2Mutex;

// The XMP toolkit's set-up is not thread-safe; photos are read in parallel.
void InitialiseOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    Exiv2::LogMsg::setLevel(Exiv2::LogMsg::error);
    Exiv2::LogMsg::setHandler(CollectLog);
    Exiv2::XmpParser::initialize();
  });
}

struct TLogScope {
  explicit TLogScope(std::string& log) { currentLog = &log; }
  ~TLogScope() { currentLog = nullptr; }
};

// exiv2 0.27 hands out a std::auto_ptr; held as a unique_ptr from here on.
std::unique_ptr<Exiv2::Image> OpenBytes(const std::vector<std::uint8_t>& bytes) {
  return std::unique_ptr<Exiv2::Image>(
      Exiv2::ImageFactory::open(bytes.data(), long(bytes.size())).release());
}

template <class Value>
void SetIfPresent(Exiv2::ExifData& data, const char* key, const Value& value) {
  auto it = data.findKey(Exiv2::ExifKey(key));
  if (it != data.end()) *it = value;
}

void SetIfPresent(Exiv2::XmpData& data, const char* key, const std::string& value) {
  auto it = data.findKey(Exiv2::XmpKey(key));
  if (it != data.end()) *it = value;
}

}  // namespace

TPhotoMetadata::TPhotoMetadata() : data_(std::make_unique<TData>()) {}
TPhotoMetadata::~TPhotoMetadata() = default;
TPhotoMetadata::TPhotoMetadata(TPhotoMetadata&&) noexcept = default;
TPhotoMetadata& TPhotoMetadata::operator=(TPhotoMetadata&&) noexcept = default;

TPhotoMetadata TPhotoMetadata::Read(const std::vector<std::uint8_t>& jpeg) {
  InitialiseOnce();
  TPhotoMetadata m;
  std::string log;
  try {
    std::lock_guard lock(exiv2Mutex);
    TLogScope scope(log);
    auto image = OpenBytes(jpeg);
    image->readMetadata();
    m.data_->exif = image->exifData();
    m.data_->iptc = image->iptcData();
    m.data_->xmp = image->xmpData();
    m.data_->xmpPacket = image->xmpPacket();
    if (image->iccProfileDefined()) {
      const Exiv2::DataBuf* icc = image->iccProfile();
      m.data_->icc.assign(icc->pData_, icc->pData_ + icc->size_);
    }
  } catch (const std::exception& error) {
    m.data_ = std::make_unique<TData>();
    m.warning_ = error.what();
  }
  if (m.warning_.empty()) m.warning_ = log;
  if (!m.warning_.empty()) m.warning_ = "metadata not read whole: " + m.warning_;
  return m;
}

int TPhotoMetadata::Orientation() const {
  auto it = data_->exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
  if (it == data_->exif.end() || it->count() == 0) return 1;
  const long value = it->toLong();
  return value >= 1 && value <= 8 ? int(value) : 1;
}

const std::vector<std::uint8_t>& TPhotoMetadata::IccProfile() const { return data_->icc; }

bool TPhotoMetadata::Empty() const {
  return data_->exif.empty() && data_->iptc.empty() && data_->xmp.empty() && data_->icc.empty();
}

std::vector<std::uint8_t> TPhotoMetadata::WrittenInto(const std::vector<std::uint8_t>& encoded,
                                                      int width, int height, bool upright,
                                                      std::string& warning) const {
  InitialiseOnce();
  warning.clear();
  if (Empty()) return encoded;
  std::string log;
  try {
    std::lock_guard lock(exiv2Mutex);
    {
      // The toolkit writes a namespace with the prefix the packet read last
      // gave it; reading this photo's packet again right before writing
      // makes its prefixes its own, whatever other photos were read meanwhile.
      std::string ignored;  // its damage was reported when it was first read
      TLogScope scope(ignored);
      Exiv2::XmpData again;
      if (!data_->xmpPacket.empty()) Exiv2::XmpParser::decode(again, data_->xmpPacket);
    }
    TLogScope scope(log);
    Exiv2::ExifData exif = data_->exif;
    Exiv2::XmpData xmp = data_->xmp;
    if (!exif.empty()) {
      Exiv2::ExifThumb(exif).erase();
      exif["Exif.Photo.PixelXDimension"] = std::uint32_t(width);
      exif["Exif.Photo.PixelYDimension"] = std::uint32_t(height);
      SetIfPresent(exif, "Exif.Image.ImageWidth", std::uint32_t(width));
      SetIfPresent(exif, "Exif.Image.ImageLength", std::uint32_t(height));
      if (upright) SetIfPresent(exif, "Exif.Image.Orientation", std::uint16_t(1));
    }
    SetIfPresent(xmp, "Xmp.exif.PixelXDimension", std::to_string(width));
    SetIfPresent(xmp, "Xmp.exif.PixelYDimension", std::to_string(height));
    SetIfPresent(xmp, "Xmp.tiff.ImageWidth", std::to_string(width));
    SetIfPresent(xmp, "Xmp.tiff.ImageLength", std::to_string(height));
    if (upright) SetIfPresent(xmp, "Xmp.tiff.Orientation", std::string("1"));

    auto image = OpenBytes(encoded);
    image->setExifData(exif);
    image->setIptcData(data_->iptc);
    image->setXmpData(xmp);
    if (!data_->icc.empty()) {
      Exiv2::DataBuf icc(data_->icc.data(), long(data_->icc.size()));
      image->setIccProfile(icc, false);  // copied as it is, valid or not
    }
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    if (io.open() != 0) throw Exiv2::Error(Exiv2::kerDataSourceOpenFailed, "memory");
    const Exiv2::DataBuf written = io.read(long(io.size()));
    io.close();
    if (log.empty())
      return std::vector<std::uint8_t>(written.pData_, written.pData_ + written.size_);
  } catch (const std::exception& error) {
    log = error.what();
  }
  warning = "metadata not written: " + log;
  return encoded;
}

}  // namespace vizuvod

// exiv2 reads and writes the metadata on bytes in memory: a result is
// complete before it reaches the file system, so its save stays one atomic
// replacement.
#include "metadata/PhotoMetadata.h"

#include <algorithm>
#include <cstring>
#include <exiv2/exiv2.hpp>
#include <mutex>
#include <set>

namespace vizuvod {

struct TPhotoMetadata::TData {
  Exiv2::ExifData exif;
  Exiv2::IptcData iptc;
  Exiv2::XmpData xmp;
  Exiv2::ByteOrder order = Exiv2::invalidByteOrder;  // the photo's EXIF byte order
  std::string xmpPacket;                             // as the photo holds it
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
    Exiv2::enableBMFF(true);  // HEIC and AVIF
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

// The result's own size in the EXIF and XMP, the EXIF thumbnail dropped,
// and the orientation 1 when the pixels were turned upright.
// The toolkit writes a namespace with the prefix the packet read last gave
// it; reading this photo's packet again right before writing makes its
// prefixes its own, whatever other photos were read meanwhile. Under
// exiv2Mutex; the packet's damage was reported when it was first read.
void OwnXmpPrefixes(const std::string& packet) {
  std::string ignored;
  TLogScope scope(ignored);
  Exiv2::XmpData again;
  if (!packet.empty()) Exiv2::XmpParser::decode(again, packet);
}

void SetResultSize(Exiv2::ExifData& exif, Exiv2::XmpData& xmp, int width, int height,
                   bool upright) {
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
}

// The EXIF data as a TIFF structure, in the photo's byte order.
std::vector<std::uint8_t> ExifBlock(const Exiv2::ExifData& exif, Exiv2::ByteOrder order) {
  Exiv2::Blob blob;
  Exiv2::ExifParser::encode(blob, order == Exiv2::invalidByteOrder ? Exiv2::littleEndian : order,
                            exif);
  return blob;
}

// A photo's ICC profile, taken apart from the rest of its metadata.
struct TIccRead {
  std::vector<std::uint8_t> profile;  // empty when none, or not carried
  std::string warning;                // why a profile the photo has is not carried
  std::vector<std::uint8_t> rest;     // the photo without its ICC chunks
};

// Splits off the ICC profile's chunks (APP2 "ICC_PROFILE\0", each numbered
// n of N) in one pass over the headers, and joins them by their numbers:
// the work is linear in the chunks however many there are, and a profile
// that cannot be joined leaves the other parts to be read from the rest.
TIccRead SplitIccProfile(const std::vector<std::uint8_t>& b) {
  static constexpr char Signature[] = "ICC_PROFILE";  // with its zero, 12 bytes
  struct TChunk {
    int number, count;
    std::size_t from, size;
  };
  std::vector<TChunk> chunks;
  TIccRead read;
  std::size_t i = 2, copied = 0;
  read.rest.reserve(b.size());
  while (b.size() >= 2 && b[0] == 0xFF && b[1] == 0xD8 && i + 4 <= b.size() && b[i] == 0xFF) {
    const std::uint8_t marker = b[i + 1];
    if (marker == 0xDA || marker == 0xD9 || marker == 0xFF || (marker >= 0xD0 && marker <= 0xD7))
      break;
    const std::size_t length = std::size_t(b[i + 2]) << 8 | b[i + 3];
    if (length < 2 || i + 2 + length > b.size()) break;
    if (marker == 0xE2 && length >= 2 + sizeof Signature + 2 &&
        std::memcmp(&b[i + 4], Signature, sizeof Signature) == 0) {
      const std::size_t data = i + 4 + sizeof Signature + 2;
      chunks.push_back({b[data - 2], b[data - 1], data, i + 2 + length - data});
      read.rest.insert(read.rest.end(), b.begin() + std::ptrdiff_t(copied),
                       b.begin() + std::ptrdiff_t(i));
      copied = i + 2 + length;
    }
    i += 2 + length;
  }
  read.rest.insert(read.rest.end(), b.begin() + std::ptrdiff_t(copied), b.end());
  if (chunks.empty()) return read;

  const int count = chunks[0].count;
  std::vector<const TChunk*> numbered(std::size_t(count) + 1, nullptr);
  std::size_t total = 0;
  bool whole = std::size_t(count) == chunks.size();
  for (const TChunk& chunk : chunks) {
    total += chunk.size;
    if (!whole || chunk.count != count || chunk.number < 1 || chunk.number > count ||
        numbered[std::size_t(chunk.number)])
      whole = false;
    else
      numbered[std::size_t(chunk.number)] = &chunk;
  }
  if (!whole) {
    read.warning = "ICC profile not carried: its " + std::to_string(chunks.size()) +
                   " chunks are not numbered 1 to " + std::to_string(count) + " once each";
  } else if (total > TPhotoMetadata::MaxIccProfileBytes) {
    read.warning = "ICC profile not carried: " + std::to_string(total) +
                   " bytes, more than the 1 MB copied into results";
  } else {
    read.profile.reserve(total);
    for (std::size_t n = 1; n < numbered.size(); ++n)
      read.profile.insert(read.profile.end(), b.begin() + std::ptrdiff_t(numbered[n]->from),
                          b.begin() + std::ptrdiff_t(numbered[n]->from + numbered[n]->size));
  }
  return read;
}

// "12 KB", "900 bytes": a size as a warning names it.
std::string SizeText(std::size_t bytes) {
  return bytes >= 1000 ? std::to_string((bytes + 500) / 1000) + " KB"
                       : std::to_string(bytes) + " bytes";
}

bool IsMakerNote(const Exiv2::Exifdatum& tag) {
  return tag.key() == "Exif.Photo.MakerNote" || Exiv2::ExifTags::isMakerGroup(tag.groupName());
}

// The EXIF tags asked for that the written bytes lack. exiv2 leaves out
// tags of over 4 KB (unknown) or 20 KB (known) to keep the EXIF segment
// within the 64 KB a JPEG segment holds, and maker notes it cannot write
// again; tags that describe an uncompressed picture's layout it always
// leaves out of a JPEG, which is no loss and no warning. The maker notes are
// one warning, with their size; the other tags another, named (the first
// few) with their sizes, so that each stays one short line.
std::vector<std::string> ExifLeftOut(const Exiv2::ExifData& asked, const Exiv2::DataBuf& written) {
  static const std::set<std::string> layout = {"Exif.Image.PhotometricInterpretation",
                                               "Exif.Image.StripOffsets",
                                               "Exif.Image.RowsPerStrip",
                                               "Exif.Image.StripByteCounts",
                                               "Exif.Image.JPEGInterchangeFormat",
                                               "Exif.Image.JPEGInterchangeFormatLength",
                                               "Exif.Image.SubIFDs"};
  auto image = Exiv2::ImageFactory::open(written.pData_, written.size_);
  image->readMetadata();
  const Exiv2::ExifData& kept = image->exifData();
  bool makerLeftOut = false;
  std::size_t makerNote = 0, makerParts = 0, tagBytes = 0, tags = 0;
  std::string names;
  for (const Exiv2::Exifdatum& tag : asked) {
    if (layout.count(tag.key()) || kept.findKey(Exiv2::ExifKey(tag.key())) != kept.end()) continue;
    if (IsMakerNote(tag)) {
      // The maker notes' own tag holds them all, or exiv2 gives their parts.
      makerLeftOut = true;
      (tag.key() == "Exif.Photo.MakerNote" ? makerNote : makerParts) += tag.size();
      continue;
    }
    if (++tags <= 3)
      names += (names.empty() ? "" : ", ") + tag.key() + " (" + SizeText(tag.size()) + ")";
    tagBytes += tag.size();
  }
  std::vector<std::string> warnings;
  constexpr const char* Why = " left out to keep the EXIF within 64 KB";
  if (makerLeftOut) {
    const std::size_t bytes = makerNote > 0 ? makerNote : makerParts;
    warnings.push_back("maker notes (" + SizeText(bytes) + ")" +
                       (bytes > 20480 ? Why : " left out: exiv2 could not write them again"));
  }
  const std::string why = tagBytes > 4096 ? Why
                          : tags == 1     ? " left out: exiv2 could not write it again"
                                          : " left out: exiv2 could not write them again";
  if (tags == 1) warnings.push_back("EXIF tag " + names + why);
  if (tags > 1)
    warnings.push_back(std::to_string(tags) + " EXIF tags (" + SizeText(tagBytes) + ": " + names +
                       (tags > 3 ? ", ..." : "") + ")" + why);
  return warnings;
}

}  // namespace

TPhotoMetadata::TPhotoMetadata() : data_(std::make_unique<TData>()) {}
TPhotoMetadata::~TPhotoMetadata() = default;
TPhotoMetadata::TPhotoMetadata(TPhotoMetadata&&) noexcept = default;
TPhotoMetadata& TPhotoMetadata::operator=(TPhotoMetadata&&) noexcept = default;

TPhotoMetadata TPhotoMetadata::Read(const std::vector<std::uint8_t>& photo) {
  InitialiseOnce();
  TPhotoMetadata m;
  TIccRead icc = SplitIccProfile(photo);
  std::string log, failure;
  try {
    std::lock_guard lock(exiv2Mutex);
    TLogScope scope(log);
    auto image = OpenBytes(icc.rest);
    image->readMetadata();
    m.data_->exif = image->exifData();
    m.data_->iptc = image->iptcData();
    m.data_->xmp = image->xmpData();
    m.data_->xmpPacket = image->xmpPacket();
    m.data_->order = image->byteOrder();
    // A PNG or WebP keeps its profile whole in one chunk, which exiv2 reads.
    if (const Exiv2::DataBuf* profile = image->iccProfile();
        icc.profile.empty() && icc.warning.empty() && image->iccProfileDefined()) {
      if (std::size_t(profile->size_) > MaxIccProfileBytes)
        icc.warning = "ICC profile not carried: " + std::to_string(profile->size_) +
                      " bytes, more than the 1 MB copied into results";
      else
        icc.profile.assign(profile->pData_, profile->pData_ + profile->size_);
    }
  } catch (const std::exception& error) {
    m.data_ = std::make_unique<TData>();
    failure = error.what();
    m.unread_ = true;
  }
  m.data_->icc = std::move(icc.profile);
  if (failure.empty()) failure = log;
  if (!failure.empty()) m.warnings_.push_back("metadata not read whole: " + failure);
  if (!icc.warning.empty()) m.warnings_.push_back(icc.warning);
  return m;
}

std::string TPhotoMetadata::Warning() const {
  std::string joined;
  for (const std::string& warning : warnings_) joined += (joined.empty() ? "" : "; ") + warning;
  return joined;
}

int TPhotoMetadata::Orientation() const {
  auto it = data_->exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
  if (it == data_->exif.end() || it->count() == 0) return 1;
  const long value = it->toLong();
  return value >= 1 && value <= 8 ? int(value) : 1;
}

const std::vector<std::uint8_t>& TPhotoMetadata::IccProfile() const { return data_->icc; }

void TPhotoMetadata::DropIccProfile() { data_->icc.clear(); }

void TPhotoMetadata::StripLocation() {
  std::lock_guard lock(exiv2Mutex);
  Exiv2::ExifData& exif = data_->exif;
  for (auto it = exif.begin(); it != exif.end();)
    it = it->groupName() == "GPSInfo" || it->key() == "Exif.Image.GPSTag" ? exif.erase(it) : ++it;
  // XMP's GPS properties and the IPTC Core and Extension location fields.
  static const char* const xmpLocation[] = {
      "Xmp.exif.GPS",          "Xmp.photoshop.City",          "Xmp.photoshop.State",
      "Xmp.photoshop.Country", "Xmp.iptc.Location",           "Xmp.iptc.CountryCode",
      "Xmp.iptcExt.Location",  "Xmp.iptcExt.LocationCreated", "Xmp.iptcExt.LocationShown"};
  Exiv2::XmpData& xmp = data_->xmp;
  for (auto it = xmp.begin(); it != xmp.end();) {
    const std::string key = it->key();
    bool where = false;
    for (const char* prefix : xmpLocation) where = where || key.starts_with(prefix);
    it = where ? xmp.erase(it) : ++it;
  }
  static const char* const iptcLocation[] = {"City",        "SubLocation", "ProvinceState",
                                             "CountryCode", "CountryName", "LocationCode",
                                             "LocationName"};
  Exiv2::IptcData& iptc = data_->iptc;
  for (auto it = iptc.begin(); it != iptc.end();) {
    bool where = false;
    for (const char* tag : iptcLocation)
      where = where || it->key() == std::string("Iptc.Application2.") + tag;
    it = where ? iptc.erase(it) : ++it;
  }
}

std::vector<TPhotoMetadata::TLighter> TPhotoMetadata::Lighter() const {
  std::lock_guard lock(exiv2Mutex);
  std::vector<TLighter> steps;
  TPhotoMetadata m;
  *m.data_ = *data_;
  std::string leftOut;
  auto step = [&](const char* part, bool present, auto leaveOut) {
    if (!present) return;
    leaveOut(*m.data_);
    leftOut += (leftOut.empty() ? "" : ", ") + std::string(part);
    TPhotoMetadata copy;
    *copy.data_ = *m.data_;
    steps.push_back({std::move(copy), leftOut});
  };
  const auto isMakerNote = IsMakerNote;
  const Exiv2::ExifData& exif = data_->exif;
  step("XMP", !data_->xmp.empty(), [](TData& d) { d.xmp.clear(), d.xmpPacket.clear(); });
  step("IPTC", !data_->iptc.empty(), [](TData& d) { d.iptc.clear(); });
  step("maker notes", std::any_of(exif.begin(), exif.end(), isMakerNote), [&](TData& d) {
    for (auto it = d.exif.begin(); it != d.exif.end();)
      it = isMakerNote(*it) ? d.exif.erase(it) : ++it;
  });
  const int orientation = Orientation();
  const bool onlyOrientation = exif.count() == 1 && exif.begin()->key() == "Exif.Image.Orientation";
  step("EXIF", !exif.empty() && !onlyOrientation, [&](TData& d) {
    d.exif.clear();
    if (orientation != 1) d.exif["Exif.Image.Orientation"] = std::uint16_t(orientation);
  });
  step("ICC profile", !data_->icc.empty(), [](TData& d) { d.icc.clear(); });
  return steps;
}

bool TPhotoMetadata::Empty() const {
  return data_->exif.empty() && data_->iptc.empty() && data_->xmp.empty() && data_->icc.empty();
}

TPhotoMetadata::TBlocks TPhotoMetadata::Blocks(int width, int height, bool upright,
                                               std::vector<std::string>& warnings) const {
  InitialiseOnce();
  TBlocks blocks;
  blocks.icc = data_->icc;
  if (!data_->iptc.empty())
    warnings.push_back("IPTC data not carried: the format holds EXIF, XMP and ICC only");
  std::string log;
  try {
    std::lock_guard lock(exiv2Mutex);
    OwnXmpPrefixes(data_->xmpPacket);
    TLogScope scope(log);
    Exiv2::ExifData exif = data_->exif;
    Exiv2::XmpData xmp = data_->xmp;
    SetResultSize(exif, xmp, width, height, upright);
    if (!exif.empty()) blocks.exif = ExifBlock(exif, data_->order);
    std::string packet;
    if (!xmp.empty() && Exiv2::XmpParser::encode(packet, xmp) == 0)
      blocks.xmp.assign(packet.begin(), packet.end());
  } catch (const std::exception& error) {
    log = error.what();
  }
  if (!log.empty()) {
    warnings.push_back("EXIF and XMP not written: " + log);
    blocks.exif.clear(), blocks.xmp.clear();
  }
  return blocks;
}

std::vector<std::uint8_t> TPhotoMetadata::OrientationExif(int orientation) {
  InitialiseOnce();
  std::lock_guard lock(exiv2Mutex);
  Exiv2::ExifData exif;
  exif["Exif.Image.Orientation"] = std::uint16_t(orientation);
  return ExifBlock(exif, Exiv2::littleEndian);
}

std::vector<std::uint8_t> TPhotoMetadata::WrittenInto(const std::vector<std::uint8_t>& encoded,
                                                      int width, int height, bool upright,
                                                      std::string& warning) const {
  std::vector<std::string> warnings;
  std::vector<std::uint8_t> written = WrittenInto(encoded, width, height, upright, warnings);
  warning.clear();
  for (const std::string& each : warnings) warning += (warning.empty() ? "" : "; ") + each;
  return written;
}

std::vector<std::uint8_t> TPhotoMetadata::WrittenInto(const std::vector<std::uint8_t>& encoded,
                                                      int width, int height, bool upright,
                                                      std::vector<std::string>& warnings) const {
  InitialiseOnce();
  if (Empty()) return encoded;
  std::string log;
  try {
    std::lock_guard lock(exiv2Mutex);
    OwnXmpPrefixes(data_->xmpPacket);
    TLogScope scope(log);
    Exiv2::ExifData exif = data_->exif;
    Exiv2::XmpData xmp = data_->xmp;
    SetResultSize(exif, xmp, width, height, upright);

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
    if (log.empty()) {
      for (std::string& leftOut : ExifLeftOut(exif, written))
        warnings.push_back(std::move(leftOut));
      return std::vector<std::uint8_t>(written.pData_, written.pData_ + written.size_);
    }
  } catch (const std::exception& error) {
    log = error.what();
  }
  warnings.push_back("metadata not written: " + log);
  return encoded;
}

}  // namespace vizuvod

// What vizuvod-batch asks of the per-photo step beyond the wizard: several
// sizes from one decode equal to separate runs, the sizes it adds resolved to
// the wizard's, quality, the photo turned upright, and its metadata carried
// over (crafted photos, and real ones from the corpus when it is there).
#include <gtest/gtest.h>

#include <cstring>
#include <exiv2/exiv2.hpp>
#include <filesystem>

#include "JpegCraft.h"
#include "TestSupport.h"
#include "core/Errors.h"
#include "formats/jpeg/JpegImage.h"
#include "metadata/PhotoMetadata.h"
#include "photo/BatchRun.h"
#include "photo/TargetSize.h"
#include "resample/EnlargeBitmap.h"
#include "resample/ShrinkBitmap.h"

using namespace vizuvod;

namespace fs = std::filesystem;

namespace {

craft::Bytes EncodedPicture(const TBitmap& picture, bool progressive = false) {
  TJPEGImage J;
  J.settings.progressiveEncoding = progressive;
  J.Assign(picture);
  return J.EncodedBytes();
}

TBitmap Pattern(int width, int height) {
  return MakeBitmap24(width, height,
                      [](int x, int y) { return RGBColor(x * 7, y * 5, (x ^ y) * 3); });
}

struct TMade {
  int width = 0, height = 0;
  craft::Bytes bytes;  // empty when the size writes nothing
};

struct TAsk {
  bool keepMetadata = false, autoOrient = false, noEnlarge = false;
  int quality = 0;
  bool stripLocation = false, progressive = false, optimize = false;
};

// Every size from one ProcessPhoto call, that is one decode, in order.
std::vector<TMade> Made(const std::string& photo, const std::vector<TSizeRequest>& sizes,
                        const TAsk& ask = {}, std::vector<std::string>* warnings = nullptr) {
  TPhotoRequest request;
  request.photo = photo;
  request.keepMetadata = ask.keepMetadata;
  request.autoOrient = ask.autoOrient;
  request.stripLocation = ask.stripLocation;
  request.progressive = ask.progressive;
  request.optimize = ask.optimize;
  for (std::size_t i = 0; i < sizes.size(); ++i)
    request.results.push_back(
        {nullptr, [i](const std::string& p, int, int) { return p + ".size" + std::to_string(i); },
         ask.quality,
         [size = sizes[i], ask](int w, int h) {
           return WizardSettingsFor(size, w, h, ask.noEnlarge);
         }});
  const TPhotoOutcome outcome = ProcessPhoto(request);
  if (warnings)
    for (const TPhotoWarning& w : outcome.warnings)
      if (w.kind == TWarningKind::wkMetadata) warnings->push_back(w.text);
  std::vector<TMade> made(sizes.size());
  for (const TResultOutcome& r : outcome.results) {
    const std::size_t i = std::stoul(r.path.substr(r.path.rfind(".size") + 5));
    made[i] = {r.width, r.height, craft::ReadFile(r.path)};
    fs::remove(r.path);
  }
  return made;
}

TMade MadeOne(const std::string& photo, const TSizeRequest& size, const TAsk& ask = {},
              std::vector<std::string>* warnings = nullptr) {
  return Made(photo, {size}, ask, warnings)[0];
}

// The bytes a separate one-size run of ResizePhoto writes.
craft::Bytes SingleRun(const std::string& path, const TSizeRequest& size) {
  TJPEGImage J;
  J.LoadFromFile(path);
  const TFixedSettings settings = WizardSettingsFor(size, J.Width(), J.Height(), false);
  fs::remove(ResizedPhotoPath(path));
  if (!ResizePhoto(path, settings)) return {};
  return craft::ReadFile(ResizedPhotoPath(path));
}

std::unique_ptr<Exiv2::Image> Metadata(const craft::Bytes& jpeg) {
  std::unique_ptr<Exiv2::Image> image(
      Exiv2::ImageFactory::open(jpeg.data(), long(jpeg.size())).release());
  image->readMetadata();
  return image;
}

craft::Bytes Rewritten(const craft::Bytes& jpeg, const std::function<void(Exiv2::Image&)>& edit) {
  auto image = Metadata(jpeg);
  edit(*image);
  image->writeMetadata();
  Exiv2::BasicIo& io = image->io();
  io.open();
  const Exiv2::DataBuf b = io.read(long(io.size()));
  return craft::Bytes(b.pData_, b.pData_ + b.size_);
}

// The ICC profile as libjpeg itself joins it from the APP2 markers.
craft::Bytes IccByLibjpeg(const craft::Bytes& jpeg) {
  jpeg_decompress_struct d{};
  jpeg_error_mgr err{};
  d.err = jpeg_std_error(&err);
  jpeg_create_decompress(&d);
  jpeg_mem_src(&d, jpeg.data(), jpeg.size());
  jpeg_save_markers(&d, JPEG_APP0 + 2, 0xFFFF);
  jpeg_read_header(&d, TRUE);
  JOCTET* data = nullptr;
  unsigned int length = 0;
  craft::Bytes icc;
  if (jpeg_read_icc_profile(&d, &data, &length)) icc.assign(data, data + length);
  std::free(data);
  jpeg_destroy_decompress(&d);
  return icc;
}

int CountMarkers(const craft::Bytes& b, std::uint8_t marker) {
  int n = 0;
  for (std::size_t at = craft::FindMarker(b, marker); at != std::string::npos;
       at = craft::FindMarker(b, marker, at + 2))
    ++n;
  return n;
}

// A profile of 150 KB, more than two APP2 markers hold.
craft::Bytes LargeProfile() {
  craft::Bytes icc(150000);
  for (std::size_t i = 0; i < icc.size(); ++i) icc[i] = std::uint8_t(i * 31 + i / 977);
  const std::uint32_t n = std::uint32_t(icc.size());
  icc[0] = std::uint8_t(n >> 24), icc[1] = std::uint8_t(n >> 16), icc[2] = std::uint8_t(n >> 8),
  icc[3] = std::uint8_t(n);
  std::copy_n("acsp", 4, icc.begin() + 36);
  return icc;
}

// A 64 x 48 photo as a camera leaves it: EXIF with a thumbnail, GPS and an
// orientation, XMP, IPTC and a large ICC profile.
craft::Bytes CameraPhoto(int orientation) {
  const craft::Bytes thumbnail = EncodedPicture(Pattern(16, 12));
  return Rewritten(EncodedPicture(Pattern(64, 48)), [&](Exiv2::Image& image) {
    Exiv2::ExifData& exif = image.exifData();
    exif["Exif.Image.Make"] = "Fotrix";
    exif["Exif.Image.Model"] = "Test Camera 1";
    exif["Exif.Image.Orientation"] = std::uint16_t(orientation);
    exif["Exif.Photo.DateTimeOriginal"] = "2024:05:17 10:11:12";
    exif["Exif.Photo.PixelXDimension"] = std::uint32_t(64);
    exif["Exif.Photo.PixelYDimension"] = std::uint32_t(48);
    exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
    Exiv2::URationalValue latitude;
    latitude.read("55/1 45/1 1234/100");
    exif.add(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitude"), &latitude);
    Exiv2::ExifThumb(exif).setJpegThumbnail(thumbnail.data(), long(thumbnail.size()));
    image.xmpData()["Xmp.dc.title"] = "lang=\"x-default\" Harbour";
    image.xmpData()["Xmp.tiff.Orientation"] = std::to_string(orientation);
    image.iptcData()["Iptc.Application2.City"] = "Riga";
    craft::Bytes icc = LargeProfile();
    Exiv2::DataBuf profile(icc.data(), long(icc.size()));
    image.setIccProfile(profile, false);
  });
}

std::string Exif(const Exiv2::Image& image, const char* key) {
  auto it = image.exifData().findKey(Exiv2::ExifKey(key));
  return it == image.exifData().end() ? "" : it->toString();
}

}  // namespace

TEST(PhotoResults, SizesResolveToTheWizardsOwnSettings) {
  using K = TSizeKind;
  const auto W = TFixedSettings::FitWidth, H = TFixedSettings::FitHeight;
  const struct {
    TSizeRequest size;
    int width, height;
    bool noEnlarge;
    TFixedSettings expected;
  } cases[] = {
      {{K::skFit, 800, 600}, 1600, 1000, false, W(800)},  // the width reaches its edge first
      {{K::skFit, 800, 600}, 1000, 1600, false, H(600)},  // the height does
      {{K::skFit, 800, 600}, 1600, 1200, false, W(800)},  // both at once: the width decides
      {{K::skFit, 800, 600}, 400, 250, false, W(800)},    // enlarging by the same rule
      {{K::skLongEdge, 500}, 900, 600, false, W(500)},
      {{K::skLongEdge, 500}, 600, 900, false, H(500)},
      {{K::skLongEdge, 500}, 700, 700, false, W(500)},  // square: the width
      {{K::skWidth, 800}, 640, 480, true, W(640)},      // below: its own size
      {{K::skWidth, 640}, 640, 480, true, W(640)},      // at: its own size
      {{K::skWidth, 320}, 640, 480, true, W(320)},
      {{K::skHeight, 900}, 640, 480, true, H(480)},
      {{K::skPercent, 150}, 640, 480, true, W(640)},
      {{K::skPercent, 100}, 640, 480, true, W(640)},
      {{K::skPercent, 50}, 640, 480, true, TFixedSettings::Percent(50)},
      {{K::skFit, 800, 600}, 400, 250, true, W(400)},
      {{K::skLongEdge, 500}, 300, 400, true, H(400)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.size.kind) << " " << c.size.value << " on " << c.width
                                    << "x" << c.height << (c.noEnlarge ? " no-enlarge" : ""));
    const TFixedSettings s = WizardSettingsFor(c.size, c.width, c.height, c.noEnlarge);
    EXPECT_EQ(s.mode, c.expected.mode);
    EXPECT_EQ(s.percent, c.expected.percent);
    EXPECT_EQ(s.pixels, c.expected.pixels);
    EXPECT_EQ(s.fitSide, c.expected.fitSide);
  }
  EXPECT_EQ(ParseFitBox("800x600"), (TSizeRequest{K::skFit, 800, 600}));
  EXPECT_EQ(ParseFitBox("20X10"), (TSizeRequest{K::skFit, 20, 10}));
  for (const char* bad : {"800", "x600", "800x", "0x600", "-8x6", "8x6x", "8 x6", "9999999999x1"})
    EXPECT_FALSE(ParseFitBox(bad)) << bad;
}

TEST(PhotoResults, EverySizeFromOneDecodeEqualsItsOwnRun) {
  using K = TSizeKind;
  const std::vector<TSizeRequest> sizes = {
      {K::skPercent, 50},  {K::skWidth, 20},    {K::skHeight, 100}, {K::skFit, 30, 30},
      {K::skLongEdge, 40}, {K::skPercent, 150}, {K::skWidth, 37},   {K::skPercent, 100}};
  TempDir dir;
  std::vector<std::string> photos = {dir / "colour.jpg", dir / "progressive.jpg", dir / "grey.jpg"};
  craft::WriteFile(photos[0], EncodedPicture(Pattern(61, 43)));
  craft::WriteFile(photos[1], EncodedPicture(Pattern(43, 61), true));
  craft::Options grey;
  grey.width = 50, grey.height = 30, grey.input = JCS_GRAYSCALE;
  craft::WriteFile(photos[2], craft::Encode(grey));  // decodes to a palette picture
  const fs::path corpus = CorpusDir();
  for (const char* name :
       {"Canon_PowerShot_S40.jpg", "tower_grayscale.jpg", "Canon_30D_progressive.jpg"})
    if (!corpus.empty() && fs::exists(corpus / "photos" / name)) {
      photos.push_back(dir / name);
      fs::copy_file(corpus / "photos" / name, photos.back());
    }

  for (const std::string& path : photos) {
    const std::vector<TMade> made = Made(path, sizes);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
      SCOPED_TRACE(testing::Message()
                   << path << " size " << int(sizes[i].kind) << " " << sizes[i].value);
      EXPECT_TRUE(made[i].bytes == SingleRun(path, sizes[i]));  // also: no metadata unless asked
    }
  }
}

TEST(PhotoResults, QualityIsTheEncodersAndNinetyIsTheDefault) {
  TempDir dir;
  const std::string path = dir / "photo.jpg";
  craft::WriteFile(path, EncodedPicture(Pattern(40, 40)));
  const TSizeRequest size{TSizeKind::skWidth, 20};
  EXPECT_TRUE(MadeOne(path, size, {.quality = 90}).bytes == SingleRun(path, size));
  // libjpeg's luminance table starts at 16, scaled by 5000/Q below 50 and
  // by 200 - 2Q from there, limited to 1..255 for a baseline file.
  for (const auto& [quality, first] : {std::pair{1, 255}, {50, 16}, {100, 1}}) {
    const craft::Bytes bytes = MadeOne(path, size, {.quality = quality}).bytes;
    const std::size_t dqt = craft::FindMarker(bytes, 0xDB);
    ASSERT_NE(dqt, std::string::npos);
    EXPECT_EQ(bytes[dqt + 5], first) << "quality " << quality;  // after length and table id
  }
}

TEST(PhotoResults, MetadataCarriedWithTheResultsSize) {
  TempDir dir;
  const std::string path = dir / "camera.jpg";
  craft::WriteFile(path, CameraPhoto(6));
  ASSERT_GE(CountMarkers(craft::ReadFile(path), 0xE2), 3);  // the profile spans APP2 markers
  const craft::Bytes icc = IccByLibjpeg(craft::ReadFile(path));
  ASSERT_EQ(icc, LargeProfile());

  for (const bool autoOrient : {false, true}) {
    SCOPED_TRACE(autoOrient ? "auto-orient" : "as stored");
    std::vector<std::string> warnings;
    const TMade made = MadeOne(path, {TSizeKind::skWidth, 32},
                               {.keepMetadata = true, .autoOrient = autoOrient}, &warnings);
    const TMade* result = &made;
    EXPECT_TRUE(warnings.empty());
    // Upright, the photo is 48 x 64, so 32 wide is 43 high.
    EXPECT_EQ(result->height, autoOrient ? 43 : 24);
    const auto image = Metadata(result->bytes);
    EXPECT_EQ(Exif(*image, "Exif.Image.Make"), "Fotrix");
    EXPECT_EQ(Exif(*image, "Exif.Image.Model"), "Test Camera 1");
    EXPECT_EQ(Exif(*image, "Exif.Photo.DateTimeOriginal"), "2024:05:17 10:11:12");
    EXPECT_EQ(Exif(*image, "Exif.GPSInfo.GPSLatitude"), "55/1 45/1 1234/100");
    EXPECT_EQ(Exif(*image, "Exif.Photo.PixelXDimension"), "32");
    EXPECT_EQ(Exif(*image, "Exif.Photo.PixelYDimension"), std::to_string(result->height));
    EXPECT_EQ(Exif(*image, "Exif.Image.Orientation"), autoOrient ? "1" : "6");
    EXPECT_EQ(image->xmpData()["Xmp.tiff.Orientation"].toString(), autoOrient ? "1" : "6");
    EXPECT_EQ(image->xmpData()["Xmp.dc.title"].toString(), "lang=\"x-default\" Harbour");
    EXPECT_EQ(image->iptcData()["Iptc.Application2.City"].toString(), "Riga");
    EXPECT_EQ(Exiv2::ExifThumbC(image->exifData()).copy().size_, 0);  // it showed the old picture
    EXPECT_EQ(IccByLibjpeg(result->bytes), icc);
  }
}

TEST(PhotoResults, MetadataWrittenDependsOnThePhotoAlone) {
  // Another photo whose XMP spells a namespace with an older prefix, read
  // between this photo's reading and writing, as a parallel job may.
  const craft::Bytes photo = Rewritten(EncodedPicture(Pattern(8, 8)), [](Exiv2::Image& image) {
    image.xmpData()["Xmp.xmp.ModifyDate"] = "2016-09-12T10:05:31";
  });
  const craft::Bytes other = Rewritten(EncodedPicture(Pattern(8, 8)), [](Exiv2::Image& image) {
    std::string packet =
        R"(<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF )"
        R"(xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">)"
        R"(<rdf:Description rdf:about="" xmlns:xap="http://ns.adobe.com/xap/1.0/" )"
        R"(xap:ModifyDate="2012-12-03T12:13:22"/></rdf:RDF></x:xmpmeta>)";
    image.setXmpPacket(packet);
    image.writeXmpFromPacket(true);
  });
  const craft::Bytes result = EncodedPicture(Pattern(4, 4));
  std::string warning;
  const craft::Bytes alone = TPhotoMetadata::Read(photo).WrittenInto(result, 4, 4, false, warning);
  const TPhotoMetadata metadata = TPhotoMetadata::Read(photo);
  TPhotoMetadata::Read(other);
  EXPECT_TRUE(metadata.WrittenInto(result, 4, 4, false, warning) == alone);
}

TEST(PhotoResults, RealPhotosKeepDateCameraGpsAndProfile) {
  const fs::path corpus = CorpusDir();
  if (corpus.empty()) GTEST_SKIP() << "no photo corpus beside the project";
  const char* keys[] = {
      "Exif.Image.Make",          "Exif.Image.Model",          "Exif.Photo.DateTimeOriginal",
      "Exif.GPSInfo.GPSLatitude", "Exif.GPSInfo.GPSLongitude", "Exif.Image.Orientation"};
  int tried = 0;
  TempDir dir;  // results are written beside the photo, never into the corpus
  for (const char* name : {"DSCN0010.JPG", "Canon_40D.jpg", "Canon_30D_progressive.jpg",
                           "Canon_SX60_orient6.jpg", "Nikon_D3S_iptc.jpg", "Portrait_5.jpg"}) {
    if (!fs::exists(corpus / "photos" / name)) continue;
    const fs::path path = dir / name;
    fs::copy_file(corpus / "photos" / name, path);
    SCOPED_TRACE(name);
    ++tried;
    const craft::Bytes original = craft::ReadFile(path.string());
    const auto before = Metadata(original);
    std::vector<std::string> warnings;
    const TMade made =
        MadeOne(path.string(), {TSizeKind::skLongEdge, 64}, {.keepMetadata = true}, &warnings);
    const TMade* result = &made;
    // That Canon file's XMP packet is not valid XML: a warning, and the rest is carried.
    EXPECT_EQ(warnings.empty(), std::string(name) != "Canon_30D_progressive.jpg");
    const auto after = Metadata(result->bytes);
    for (const char* key : keys) EXPECT_EQ(Exif(*after, key), Exif(*before, key)) << key;
    // Turned upright: the sides swap for orientations 5-8, and the tag says 1.
    // Fitting a box larger than the photo, never enlarging: its own size, upright.
    const bool swaps = Exif(*before, "Exif.Image.Orientation") >= "5";
    const TMade upright = MadeOne(path.string(), {TSizeKind::skFit, 20000, 20000},
                                  {.keepMetadata = true, .autoOrient = true, .noEnlarge = true});
    TPhotoRequest plain;
    plain.photo = path.string();
    const TPhotoOutcome stored = TPhotoStep(plain).Plan();
    EXPECT_EQ(upright.width, swaps ? stored.height : stored.width);
    EXPECT_EQ(upright.height, swaps ? stored.width : stored.height);
    EXPECT_EQ(Exif(*Metadata(upright.bytes), "Exif.Image.Orientation"),
              Exif(*before, "Exif.Image.Orientation").empty() ? "" : "1");
    EXPECT_EQ(Exif(*after, "Exif.Photo.PixelXDimension"), std::to_string(result->width));
    EXPECT_EQ(Exif(*after, "Exif.Photo.PixelYDimension"), std::to_string(result->height));
    EXPECT_EQ(Exiv2::ExifThumbC(after->exifData()).copy().size_, 0);
    EXPECT_EQ(after->iptcData().count(), before->iptcData().count());
    EXPECT_EQ(IccByLibjpeg(result->bytes), IccByLibjpeg(original));
  }
  if (tried == 0) GTEST_SKIP() << "none of the photos with metadata is in the corpus";
}

// The photo with a profile in APP2 chunks of `size` bytes, numbered as
// `numbers` says in that order (of as many as `numbers` has), after its JFIF header.
static craft::Bytes WithIcc(craft::Bytes photo, const craft::Bytes& icc, std::size_t size,
                            const std::vector<int>& numbers) {
  craft::Bytes chunks;
  for (const int n : numbers) {
    const std::size_t from = std::min(icc.size(), (std::size_t(n) - 1) * size);
    const std::size_t part = std::min(size, icc.size() - from), length = 2 + 14 + part;
    chunks.insert(chunks.end(), {0xFF, 0xE2, std::uint8_t(length >> 8), std::uint8_t(length)});
    chunks.insert(chunks.end(), "ICC_PROFILE", "ICC_PROFILE" + 12);
    chunks.insert(chunks.end(), {std::uint8_t(n), std::uint8_t(numbers.size())});
    chunks.insert(chunks.end(), icc.begin() + std::ptrdiff_t(from),
                  icc.begin() + std::ptrdiff_t(from + part));
  }
  photo.insert(photo.begin() + 4 + (photo[4] << 8 | photo[5]), chunks.begin(), chunks.end());
  return photo;
}

// Each part of the metadata is carried or left out with a warning on its
// own; nothing is left out in silence.
TEST(PhotoResults, MetadataPartsCarriedApartAndNeverLostSilently) {
  const craft::Bytes camera =
      Rewritten(CameraPhoto(1), [](Exiv2::Image& i) { i.clearIccProfile(); });
  // EXIF a few bytes below the 64 KB a segment holds, so that the size the
  // result states (a tag the photo lacks) passes it.
  const auto withComment = [&](int size) {
    return Rewritten(camera, [&](Exiv2::Image& image) {
      image.exifData().erase(
          image.exifData().findKey(Exiv2::ExifKey("Exif.Photo.PixelXDimension")));
      image.exifData()["Exif.Photo.UserComment"] = std::string(std::size_t(size), 'x');
      Exiv2::ExifThumb(image.exifData()).erase();
    });
  };
  int low = 60000, high = 65536;
  while (high - low > 1) {
    const int middle = (low + high) / 2;
    (Exif(*Metadata(withComment(middle)), "Exif.Photo.UserComment").empty() ? high : low) = middle;
  }
  const craft::Bytes big = withComment(low);
  // Maker notes a camera unknown to exiv2 left as one blob, as large.
  const craft::Bytes makerNotes = Rewritten(big, [&](Exiv2::Image& image) {
    image.exifData().erase(image.exifData().findKey(Exiv2::ExifKey("Exif.Photo.UserComment")));
    Exiv2::DataValue blob(Exiv2::undefined);
    blob.read(craft::Bytes(std::size_t(low), 'm').data(), long(low));
    image.exifData().add(Exiv2::ExifKey("Exif.Photo.MakerNote"), &blob);
  });
  const craft::Bytes icc = LargeProfile(), huge(1100000, 7);
  const std::string notCarried = "ICC profile not carried: ";
  const struct {
    craft::Bytes photo, icc;  // icc: the one carried
    std::string warning;
  } cases[] = {
      // clang-format off
      {WithIcc(camera, icc, 60000, {1, 2, 3}), icc, ""},
      {WithIcc(camera, icc, 60000, {3, 1, 2}), icc, ""},
      {WithIcc(camera, icc, 60000, {1, 1, 3}), {}, notCarried + "its 3 chunks are not numbered 1 to 3 once each"},
      {WithIcc(camera, icc, 60000, {1, 3}), {}, notCarried + "its 2 chunks are not numbered 1 to 2 once each"},
      {WithIcc(camera, huge, 65000, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}), {},
       notCarried + "1100000 bytes, more than the 1 MB copied into results"},
      {big, {}, "EXIF tag Exif.Photo.UserComment (6"},
      {makerNotes, {}, "maker notes (6"},
      // clang-format on
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(&c - cases);
    const TPhotoMetadata metadata = TPhotoMetadata::Read(c.photo);
    std::vector<std::string> warnings = metadata.Warnings();
    const craft::Bytes result =
        metadata.WrittenInto(EncodedPicture(Pattern(8, 8)), 8, 8, 0, warnings);
    EXPECT_EQ(IccByLibjpeg(result), c.icc);
    EXPECT_EQ(Exif(*Metadata(result), "Exif.Photo.DateTimeOriginal"), "2024:05:17 10:11:12");
    EXPECT_EQ(warnings.size(), c.warning.empty() ? 0u : 1u);
    for (const std::string& w : warnings) EXPECT_TRUE(w.starts_with(c.warning)) << w;
    for (const std::string& w : warnings) EXPECT_LE(w.size(), 200u) << w;
  }
}

// Shared copies without the location: GPS and the IPTC and XMP location
// fields go, the date, camera and profile stay.
TEST(PhotoResults, StripLocationLeavesOutWhereOnly) {
  TempDir dir;
  const std::string path = dir / "photo.jpg";
  craft::WriteFile(path, Rewritten(CameraPhoto(1), [](Exiv2::Image& image) {
                     image.xmpData()["Xmp.photoshop.City"] = "Riga";
                     image.xmpData()["Xmp.exif.GPSLatitude"] = "55,45.2N";
                   }));
  const TMade made =
      MadeOne(path, {TSizeKind::skWidth, 32}, {.keepMetadata = true, .stripLocation = true});
  const auto after = Metadata(made.bytes);
  for (const auto& e : after->exifData()) EXPECT_NE(e.groupName(), "GPSInfo") << e.key();
  EXPECT_EQ(after->iptcData().findKey(Exiv2::IptcKey("Iptc.Application2.City")),
            after->iptcData().end());
  for (const char* key : {"Xmp.photoshop.City", "Xmp.exif.GPSLatitude"})
    EXPECT_EQ(after->xmpData().findKey(Exiv2::XmpKey(key)), after->xmpData().end()) << key;
  EXPECT_EQ(Exif(*after, "Exif.Photo.DateTimeOriginal"), "2024:05:17 10:11:12");
  EXPECT_EQ(Exif(*after, "Exif.Image.Model"), "Test Camera 1");
  EXPECT_TRUE(after->iccProfileDefined());
  EXPECT_NE(after->xmpData().findKey(Exiv2::XmpKey("Xmp.dc.title")), after->xmpData().end());
}

// Smaller files, the same pixels: decoded, each option's result is the
// default result's picture, and its file is smaller.
TEST(PhotoResults, ProgressiveAndOptimizedGiveTheSamePixelsSmaller) {
  TempDir dir;
  const std::string path = dir / "photo.jpg";
  craft::WriteFile(path, EncodedPicture(Pattern(240, 180)));
  auto picture = [](const craft::Bytes& jpeg) {
    TempDir d;
    craft::WriteFile(d / "r.jpg", jpeg);
    TJPEGImage J;
    J.LoadFromFile(d / "r.jpg");
    TBitmap b;
    J.AssignTo(b);
    return b;
  };
  const TSizeRequest size{TSizeKind::skPercent, 90};
  const TMade plain = MadeOne(path, size);
  for (const TAsk ask : {TAsk{.progressive = true}, TAsk{.optimize = true},
                         TAsk{.progressive = true, .optimize = true}}) {
    SCOPED_TRACE(std::to_string(ask.progressive) + std::to_string(ask.optimize));
    const TMade made = MadeOne(path, size, ask);
    EXPECT_TRUE(SameBytes(picture(made.bytes), picture(plain.bytes)));
    EXPECT_LT(made.bytes.size(), plain.bytes.size());
  }
}

// --fill: exactly the box, cut from the covering run's resampled picture at
// each gravity, byte for byte (the same encoder over the same pixels), on
// the streamed road of a shrink and of an enlargement alike.
TEST(PhotoResults, FillCutsTheCoveringRunAtEachGravity) {
  TempDir dir;
  const std::string path = dir / "photo.jpg";
  craft::WriteFile(path, EncodedPicture(Pattern(90, 60)));
  TJPEGImage J;
  J.LoadFromFile(path);
  auto decoded = std::make_shared<TBitmap>();
  J.AssignTo(*decoded);
  for (const int box : {40, 100}) {  // a shrink by the height, an enlargement by it
    auto run = std::make_shared<TBitmap>(*decoded);
    TBitmap D, *R = nullptr;
    if (box < 60) {
      D.SetSize(60, 40);
      ShrinkBitmap(*run, D, R);
    } else {
      EnlargeBitmap(run, "size", 0, 0, 0, float(box));
      R = run.get();
    }
    for (int g = 0; g < 9; ++g) {
      SCOPED_TRACE(std::to_string(box) + " gravity " + std::to_string(g));
      TPhotoRequest request;
      request.photo = path;
      request.results = {{nullptr, [](const std::string& p, int, int) { return p + ".fill"; }, 0,
                          [box](int w, int h) {
                            return WizardSettingsFor({TSizeKind::skFill, box, box}, w, h, false);
                          },
                          TCrop{box, box, g % 3, g / 3}}};
      const TPhotoOutcome done = ProcessPhoto(request);
      ASSERT_EQ(done.results.size(), 1u);
      EXPECT_EQ(done.results[0].width, box);
      TBitmap cut;
      cut.SetPixelFormat(R->PixelFormat());
      cut.SetSize(box, box);
      const int bytes = TBitmap::BitsPerPixel(R->PixelFormat()) / 8;
      const int left = (R->Width() - box) * (g % 3) / 2, top = (R->Height() - box) * (g / 3) / 2;
      for (int y = 0; y < box; ++y)
        std::memcpy(cut.ScanLine(y), std::as_const(*R).ScanLine(top + y) + left * bytes,
                    std::size_t(box) * bytes);
      EXPECT_EQ(craft::ReadFile(path + ".fill"), J.EncodedBytesOf(cut));
    }
  }
}

// --max-bytes: the highest quality that fits, its bytes those of a plain run
// at that quality, one quality more not fitting; too small a limit fails
// and writes nothing.
TEST(PhotoResults, MaxBytesTakesTheHighestQualityThatFits) {
  TempDir dir;
  const std::string path = dir / "photo.jpg";
  craft::WriteFile(path, EncodedPicture(Pattern(320, 240)));
  const TSizeRequest size{TSizeKind::skPercent, 80};
  auto run = [&](std::uintmax_t limit, int quality) {
    TPhotoRequest request;
    request.photo = path;
    request.results = {{nullptr, [](const std::string& p, int, int) { return p + ".r"; }, quality,
                        [size](int w, int h) { return WizardSettingsFor(size, w, h, false); },
                        std::nullopt, limit}};
    fs::remove(path + ".r");
    return ProcessPhoto(request).results.at(0);
  };
  const std::uintmax_t full = run(0, 0).bytes;
  for (const std::uintmax_t limit : {full, full * 2 / 3, full / 3}) {
    SCOPED_TRACE(limit);
    const TResultOutcome limited = run(limit, 0);
    EXPECT_LE(limited.bytes, limit);
    EXPECT_LE(limited.encodes, 5);
    const craft::Bytes bytes = craft::ReadFile(path + ".r");
    EXPECT_EQ(run(0, limited.quality).bytes, bytes.size());
    EXPECT_EQ(craft::ReadFile(path + ".r"), bytes);
    if (limited.quality < 90) {
      EXPECT_GT(run(0, limited.quality + 1).bytes, limit);
    }
  }
  EXPECT_THROW(run(300, 0), EResultTooLarge);
  EXPECT_FALSE(fs::exists(path + ".r"));
}

// A result written through another place (vizuvod-batch's output folder
// descriptor) that cannot be written is named as the user sees it.
TEST(PhotoResults, FailureAtTheWriteNamesTheResultNotWhereItWentThrough) {
  TempDir dir;
  const std::string photo = dir / "photo.jpg";
  craft::WriteFile(photo, EncodedPicture(Pattern(64, 48)));
  fs::create_directories(dir.path() / "through" / "photo.jpg.r");  // no file can go there
  TPhotoRequest request;
  request.photo = photo;
  request.results = {{nullptr, [](const std::string& p, int, int) { return p + ".r"; }, 0,
                      [](int w, int h) {
                        return WizardSettingsFor({TSizeKind::skPercent, 50}, w, h, false);
                      },
                      std::nullopt, 0}};
  request.writtenAt = [&](const std::string& p) {
    return dir / ("through/" + fs::path(p).filename().string());
  };
  try {
    ProcessPhoto(request);
    ADD_FAILURE();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Detailed(), "Cannot create file " + photo + ".r: Is a directory");
  }
}

// --max-bytes bounds the whole file: the metadata carried counts, in every
// result format. When even the lowest quality is too large with it, parts
// are left out (the 150 KB profile here) with a warning naming them, and
// only then does the result fail.
TEST(PhotoResults, MaxBytesCountsTheMetadataInEveryFormat) {
  TempDir dir;
  const std::string path = dir / "camera.jpg";
  craft::WriteFile(path, CameraPhoto(1));
  const struct {
    std::uintmax_t limit;
    const char* leftOut;  // null: nothing left out; "": the photo fails
  } cases[] = {{400000, nullptr}, {150000, "XMP, IPTC, EXIF, ICC profile"}, {100, ""}};
  for (const TResultFormat format :
       {TResultFormat::rfJpeg, TResultFormat::rfWebp, TResultFormat::rfAvif})
    for (const auto& c : cases) {
      SCOPED_TRACE(::testing::Message() << int(format) << " " << c.limit);
      TPhotoRequest request;
      request.photo = path, request.keepMetadata = true;
      TResultRequest result{nullptr, [](const std::string& p, int, int) { return p + ".r"; },
                            0,       [](int, int) { return TFixedSettings::FitWidth(60); },
                            {},      c.limit};
      result.format = format;
      request.results = {result};
      fs::remove(path + ".r");
      if (c.leftOut && *c.leftOut == 0) {
        EXPECT_THROW(ProcessPhoto(request), EResultTooLarge);
        EXPECT_FALSE(fs::exists(path + ".r"));
        continue;
      }
      const TPhotoOutcome done = ProcessPhoto(request);
      const std::uintmax_t bytes = fs::file_size(path + ".r");
      EXPECT_EQ(done.results.at(0).bytes, bytes);
      EXPECT_LE(bytes, c.limit);
      EXPECT_GT(bytes, c.leftOut ? 0u : 150000u);  // the profile is carried whole
      std::string lighter;                         // the warning of what was left out
      for (const TPhotoWarning& w : done.warnings)
        if (w.text.find(" left out to keep the result") != std::string::npos) lighter = w.text;
      EXPECT_EQ(lighter.empty(), !c.leftOut) << lighter;
      EXPECT_TRUE(lighter.starts_with(c.leftOut ? c.leftOut : "")) << lighter;
    }
}

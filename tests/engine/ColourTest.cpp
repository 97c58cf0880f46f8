// Wide-gamut colours turned into sRGB: a phone's Display P3 profile moves a
// colour towards more saturation in sRGB; sRGB itself and a profile lcms2
// cannot use change nothing; and the per-photo step converts a PNG whose
// result does not keep its profile, and only then.
#include <gtest/gtest.h>
#include <lcms2.h>
#include <png.h>

#ifdef VIZUVOD_HEIF
#include <avif/avif.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "JpegCraft.h"
#include "TestSupport.h"
#include "colour/Colour.h"
#include "formats/jpeg/JpegImage.h"
#include "metadata/PhotoMetadata.h"
#include "photo/PhotoStep.h"

using namespace vizuvod;
using Bytes = std::vector<std::uint8_t>;

namespace {

Bytes Saved(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  Bytes b(size);
  cmsSaveProfileToMem(profile, b.data(), &size);
  cmsCloseProfile(profile);
  return b;
}

// Display P3: the DCI-P3 primaries with D65 white and the sRGB curve.
Bytes DisplayP3() {
  const cmsCIExyY white = {0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE primaries = {{0.680, 0.320, 1.0}, {0.265, 0.690, 1.0}, {0.150, 0.060, 1.0}};
  const cmsFloat64Number srgbCurve[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  cmsToneCurve* curve = cmsBuildParametricToneCurve(nullptr, 4, srgbCurve);
  cmsToneCurve* curves[3] = {curve, curve, curve};
  cmsHPROFILE p = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsMLU* description = cmsMLUalloc(nullptr, 1);
  cmsMLUsetASCII(description, "en", "US", "Display P3");
  cmsWriteTag(p, cmsSigProfileDescriptionTag, description);
  cmsMLUfree(description);
  cmsFreeToneCurve(curve);
  return Saved(p);
}

// An 8 x 8 PNG of one colour (red, green, blue), with the profile when given.
void WritePng(const std::string& path, const Bytes& profile) {
  FILE* f = std::fopen(path.c_str(), "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, f);
  png_set_IHDR(png, info, 8, 8, 8, PNG_COLOR_TYPE_RGB, 0, 0, 0);
  if (!profile.empty())
    png_set_iCCP(png, info, "P3", 0, profile.data(), png_uint_32(profile.size()));
  png_write_info(png, info);
  Bytes row;
  for (int x = 0; x < 8; ++x) row.insert(row.end(), {200, 100, 50});
  for (int y = 0; y < 8; ++y) png_write_row(png, row.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  std::fclose(f);
}

// The red in the middle of the JPEG result the step makes of a photo, its
// metadata kept or not.
int ResultRed(const std::string& photo, bool keep) {
  static const TFixedSettings same = TFixedSettings::FitWidth(8);
  TPhotoRequest request;
  request.photo = photo;
  request.anyFormat = true;
  request.keepMetadata = keep;
  request.results = {{&same, [](const std::string& p, int, int) { return p + ".jpg"; }, 0, {}}};
  ProcessPhoto(request);
  TJPEGImage J;
  J.LoadFromFile(photo + ".jpg");
  TBitmap picture;
  J.AssignTo(picture);
  return RedOf(picture.Pixel(4, 4));
}

}  // namespace

TEST(Colour, WideGamutBecomesMoreSaturatedSrgbAndOthersStay) {
  const struct {
    const char* what;
    Bytes profile;
    bool srgb, applied;
  } cases[] = {
      {"Display P3", DisplayP3(), false, true},
      {"sRGB", Saved(cmsCreate_sRGBProfile()), true, true},
      {"not a profile", Bytes(200, 7), false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(IsSrgbProfile(c.profile), c.srgb);
    TBitmap picture;
    picture.SetPixelFormat(TPixelFormat::pf24bit);
    picture.SetSize(2, 1);
    picture.SetPixel(0, 0, RGBColor(200, 100, 50));
    picture.SetPixel(1, 0, RGBColor(128, 128, 128));
    EXPECT_EQ(ConvertToSrgb(picture, c.profile).empty(), c.applied);
    const TColorValue warm = picture.Pixel(0, 0), grey = picture.Pixel(1, 0);
    const bool moves = c.applied && !c.srgb;
    EXPECT_EQ(RedOf(warm) > 205 && BlueOf(warm) < 45, moves) << std::hex << warm;
    EXPECT_NEAR(GreenOf(grey), 128, 1);  // grey stays grey: the whites agree
  }
}

// Every colour a photo can hold, converted from Display P3 and from a
// profile of plain gamma 1.8, comes within one step of lcms2's own transform.
TEST(Colour, EveryColourAsLcmsConvertsIt) {
  const cmsCIExyY d65 = {0.3127, 0.3290, 1.0};
  const cmsCIExyYTRIPLE wide = {
      {0.7347, 0.2653, 1.0}, {0.1596, 0.8404, 1.0}, {0.0366, 0.0001, 1.0}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 1.8);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  for (const Bytes& profile : {DisplayP3(), Saved(cmsCreateRGBProfile(&d65, &wide, curves))}) {
    // Row y holds the colours y << 12 | x, blue in the low byte.
    const auto everyColour = [](int y, std::uint8_t* row) {
      for (int x = 0; x < 4096; ++x)
        row[3 * x] = std::uint8_t(x), row[3 * x + 1] = std::uint8_t(y << 4 | x >> 8),
                row[3 * x + 2] = std::uint8_t(y >> 4);
    };
    TBitmap picture;
    picture.SetPixelFormat(TPixelFormat::pf24bit);
    picture.SetSize(4096, 4096);
    for (int y = 0; y < 4096; ++y) everyColour(y, picture.ScanLine(y));
    ASSERT_EQ(ConvertToSrgb(picture, profile), "");
    cmsHPROFILE from = cmsOpenProfileFromMem(profile.data(), cmsUInt32Number(profile.size()));
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsHTRANSFORM lcms =
        cmsCreateTransform(from, TYPE_BGR_8, srgb, TYPE_BGR_8, INTENT_PERCEPTUAL, 0);
    int worst = 0;
    std::uint8_t row[3 * 4096];
    for (int y = 0; y < 4096; ++y) {
      everyColour(y, row);
      cmsDoTransform(lcms, row, row, 4096);
      for (int i = 0; i < 3 * 4096; ++i)
        worst = std::max(worst, std::abs(row[i] - picture.ScanLine(y)[i]));
    }
    EXPECT_LE(worst, 1);
    cmsDeleteTransform(lcms);
    cmsCloseProfile(from);
    cmsCloseProfile(srgb);
  }
  cmsFreeToneCurve(gamma);
}

TEST(Colour, PhotoStepConvertsWhenTheResultDropsTheProfile) {
  TempDir dir;
  WritePng(dir / "plain.png", {});
  WritePng(dir / "p3.png", DisplayP3());
  const int plain = ResultRed(dir / "plain.png", false);
  EXPECT_GT(ResultRed(dir / "p3.png", false), plain + 5);
  EXPECT_NEAR(ResultRed(dir / "p3.png", true), plain, 1);  // the result keeps the profile instead
}

// Colours told by numbers: sRGB's own need no profile; wide primaries
// saturate as a profile's do; PQ and HLG bring their reference white (the
// signal of 203 cd/m2) to 75 % of white's light, sRGB 225.
TEST(Colour, CodedColoursBecomeSrgb) {
  const TCodedColours p3{{0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}, {0.3127, 0.3290}, 13};
  TCodedColours bt709 = p3;
  bt709.red[0] = 0.64, bt709.red[1] = 0.33, bt709.green[0] = 0.30, bt709.green[1] = 0.60;
  const auto with = [](TCodedColours c, int transfer) { return c.transfer = transfer, c; };
  const struct {
    const char* what;
    TCodedColours colours;
    int grey, greyAfter;  // of 255
    bool none, saturates;
  } cases[] = {
      {"sRGB", bt709, 128, 128, true, false},
      {"BT.709 curve", with(bt709, 1), 128, 128, true, false},
      {"Display P3", p3, 128, 128, false, true},
      {"PQ reference white", with(bt709, 16), 148, 225, false, false},
      {"PQ black", with(bt709, 16), 0, 0, false, false},
      {"HLG reference white", with(bt709, 18), 191, 225, false, false},
      {"linear", with(bt709, 8), 55, 128, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes profile = ProfileOfCodedColours(c.colours);
    EXPECT_EQ(profile.empty(), c.none);
    if (profile.empty()) continue;
    TBitmap picture;
    picture.SetPixelFormat(TPixelFormat::pf24bit);
    picture.SetSize(2, 1);
    picture.SetPixel(0, 0, RGBColor(200, 100, 50));
    picture.SetPixel(1, 0, RGBColor(c.grey, c.grey, c.grey));
    EXPECT_EQ(ConvertToSrgb(picture, profile), "");
    EXPECT_NEAR(GreenOf(picture.Pixel(1, 0)), c.greyAfter, 2);
    if (c.saturates) {
      EXPECT_GT(RedOf(picture.Pixel(0, 0)), 205);
    }
  }
}

#ifdef VIZUVOD_HEIF
// An AVIF of Display P3 by numbers comes out converted, kept metadata or not:
// no result carries such a description.
TEST(Colour, CodedP3AvifIsConvertedWhateverIsKept) {
  TempDir dir;
  const auto write = [&](const std::string& name, avifColorPrimaries primaries) {
    avifImage* image = avifImageCreate(8, 8, 8, AVIF_PIXEL_FORMAT_YUV444);
    image->colorPrimaries = primaries;
    image->transferCharacteristics = AVIF_TRANSFER_CHARACTERISTICS_SRGB;
    image->matrixCoefficients = AVIF_MATRIX_COEFFICIENTS_IDENTITY;
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.format = AVIF_RGB_FORMAT_RGB;
    avifRGBImageAllocatePixels(&rgb);
    for (std::uint32_t i = 0; i < 64; ++i) std::copy_n("\xc8\x64\x32", 3, rgb.pixels + 3 * i);
    avifImageRGBToYUV(image, &rgb);
    avifEncoder* encoder = avifEncoderCreate();
    encoder->minQuantizer = encoder->maxQuantizer = AVIF_QUANTIZER_LOSSLESS;
    avifRWData out = AVIF_DATA_EMPTY;
    avifEncoderWrite(encoder, image, &out);
    std::ofstream(dir / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(out.data), std::streamsize(out.size));
    avifRWDataFree(&out);
    avifEncoderDestroy(encoder);
    avifRGBImageFreePixels(&rgb);
    avifImageDestroy(image);
  };
  write("srgb.avif", AVIF_COLOR_PRIMARIES_BT709);
  write("p3.avif", AVIF_COLOR_PRIMARIES_SMPTE432);
  const int plain = ResultRed(dir / "srgb.avif", false);
  EXPECT_NEAR(plain, 200, 3);
  EXPECT_GT(ResultRed(dir / "p3.avif", false), plain + 5);
  EXPECT_GT(ResultRed(dir / "p3.avif", true), plain + 5);
}
#endif

// A CMYK photo's profile turns its inks into sRGB with --to-srgb (here a
// profile that makes every mixture the grey of L* 50, sRGB 119, which the
// plain arithmetic of the inks never gives); without it the inks are turned
// as they always were, and no RGB result carries the CMYK profile.
TEST(Colour, CmykProfileTurnsTheInksIntoSrgb) {
  cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
  cmsSetProfileVersion(p, 4.3);
  cmsSetDeviceClass(p, cmsSigInputClass);
  cmsSetColorSpace(p, cmsSigCmykData), cmsSetPCS(p, cmsSigLabData);
  std::vector<cmsUInt16Number> grid;  // L* 50, a* b* 0 at every corner
  for (int corner = 0; corner < 16; ++corner) grid.insert(grid.end(), {0x7F80, 0x8080, 0x8080});
  cmsStage* grey = cmsStageAllocCLut16bit(nullptr, 2, 4, 3, grid.data());
  cmsToneCurve* same = cmsBuildGamma(nullptr, 1.0);
  cmsToneCurve* curves[4] = {same, same, same, same};
  cmsPipeline* lut = cmsPipelineAlloc(nullptr, 4, 3);
  cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 4, curves));
  cmsPipelineInsertStage(lut, cmsAT_END, grey);
  cmsPipelineInsertStage(lut, cmsAT_END, cmsStageAllocToneCurves(nullptr, 3, curves));
  cmsWriteTag(p, cmsSigAToB0Tag, lut);
  cmsPipelineFree(lut);
  cmsFreeToneCurve(same);
  const Bytes icc = Saved(p);
  craft::Options o;
  o.input = JCS_CMYK, o.flat = true, o.width = o.height = 8;
  TempDir dir;
  for (const bool ycck : {false, true}) {
    o.ycck = ycck;
    Bytes photo = craft::Encode(o);
    const std::string app2 = std::string("\xFF\xE2") + char((icc.size() + 16) >> 8) +
                             char(icc.size() + 16) + std::string("ICC_PROFILE\0\1\1", 14);
    photo.insert(photo.begin() + 2, icc.begin(), icc.end());
    photo.insert(photo.begin() + 2, app2.begin(), app2.end());
    craft::WriteFile(dir / "cmyk.jpg", photo);
    for (const bool toSrgb : {false, true})
      for (const bool keep : {false, true}) {
        SCOPED_TRACE(::testing::Message() << ycck << toSrgb << keep);
        static const TFixedSettings width8 = TFixedSettings::FitWidth(8);
        TPhotoRequest request;
        request.photo = dir / "cmyk.jpg", request.toSrgb = toSrgb, request.keepMetadata = keep;
        request.results = {
            {&width8, [](const std::string& p, int, int) { return p + ".r"; }, 0, {}}};
        const TPhotoOutcome done = ProcessPhoto(request);
        TJPEGImage J;
        J.LoadFromFile(dir / "cmyk.jpg.r");
        TBitmap picture;
        J.AssignTo(picture);
        EXPECT_EQ(std::abs(RedOf(picture.Pixel(4, 4)) - 119) <= 3, toSrgb);
        EXPECT_TRUE(TPhotoMetadata::Read(craft::ReadFile(dir / "cmyk.jpg.r")).IccProfile().empty());
        EXPECT_EQ(done.First(TWarningKind::wkMetadata) != nullptr, keep && !toSrgb);
      }
  }
}

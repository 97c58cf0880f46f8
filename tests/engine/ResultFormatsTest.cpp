// WebP and AVIF results decoded back match the JPEG road's resampled picture
// (40 dB or more at quality 90) and hold the kept EXIF, XMP and ICC profile.
#include <avif/avif.h>
#include <gtest/gtest.h>
#include <webp/decode.h>
#include <webp/mux.h>

#include <algorithm>
#include <cmath>
#include <exiv2/exiv2.hpp>

#include "TestSupport.h"
#include "formats/jpeg/JpegImage.h"
#include "photo/PhotoStep.h"
#include "photo/TargetSize.h"
#include "resample/EnlargeBitmap.h"
#include "resample/ShrinkBitmap.h"

using namespace vizuvod;

namespace {

struct TDecoded {
  std::vector<std::uint8_t> rgb, exif, xmp, icc;
};

TDecoded DecodedBack(const std::string& bytes, TResultFormat format) {
  const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
  TDecoded d;
  if (format == TResultFormat::rfWebp) {
    int w = 0, h = 0;
    std::uint8_t* rgb = WebPDecodeRGB(data, bytes.size(), &w, &h);
    d.rgb.assign(rgb, rgb + std::size_t(w) * h * 3), WebPFree(rgb);
    const WebPData whole{data, bytes.size()};
    WebPMux* mux = WebPMuxCreate(&whole, 0);
    for (auto [fourcc, block] : {std::pair{"EXIF", &d.exif}, {"XMP ", &d.xmp}, {"ICCP", &d.icc}})
      if (WebPData chunk; WebPMuxGetChunk(mux, fourcc, &chunk) == WEBP_MUX_OK)
        block->assign(chunk.bytes, chunk.bytes + chunk.size);
    WebPMuxDelete(mux);
    return d;
  }
  avifDecoder* decoder = avifDecoderCreate();
  avifImage* image = avifImageCreateEmpty();
  EXPECT_EQ(avifDecoderReadMemory(decoder, image, data, bytes.size()), AVIF_RESULT_OK);
  avifRGBImage rgb;
  avifRGBImageSetDefaults(&rgb, image);
  rgb.format = AVIF_RGB_FORMAT_RGB;
  avifRGBImageAllocatePixels(&rgb);
  avifImageYUVToRGB(image, &rgb);
  d.rgb.assign(rgb.pixels, rgb.pixels + std::size_t(rgb.rowBytes) * rgb.height);
  for (auto [from, to] :
       {std::pair{&image->exif, &d.exif}, {&image->xmp, &d.xmp}, {&image->icc, &d.icc}})
    to->assign(from->data, from->data + from->size);
  EXPECT_TRUE(image->transformFlags & AVIF_TRANSFORM_IROT);  // the photo's orientation 6
  avifRGBImageFreePixels(&rgb), avifImageDestroy(image), avifDecoderDestroy(decoder);
  return d;
}

double Psnr(const TBitmap& expected, const std::vector<std::uint8_t>& rgb) {
  double sum = 0;
  for (int y = 0; y < expected.Height(); ++y)
    for (int x = 0; x < expected.Width() * 3; ++x) {
      const double e = expected.ScanLine(y)[x / 3 * 3 + 2 - x % 3];  // BGR against RGB
      const double d = e - rgb[std::size_t(y) * expected.Width() * 3 + x];
      sum += d * d;
    }
  return 10 * std::log10(255.0 * 255 / (sum / (3.0 * expected.Width() * expected.Height())));
}

TEST(ResultFormats, DecodeBackToTheJpegRoadsPictureWithTheKeptMetadata) {
  TempDir dir;
  const std::string photo = dir / "photo.jpg";
  {
    TJPEGImage J;
    // Colours as a photo has them: the enlargement's white edge stays within reach of 4:2:0.
    J.Assign(MakeBitmap24(320, 240, [](int x, int y) {
      return RGBColor(60 + x * 150 / 320, 70 + y * 140 / 240,
                      128 + int(60 * std::sin(x * 0.05 + y * 0.03)));
    }));
    J.SaveToFile(photo);
    auto image = Exiv2::ImageFactory::open(photo);
    image->readMetadata();
    image->exifData()["Exif.Image.Make"] = "Fotrix";
    image->exifData()["Exif.Image.Orientation"] = std::uint16_t(6);
    image->xmpData()["Xmp.dc.creator"] = "Harbour";
    Exiv2::DataBuf icc(std::vector<Exiv2::byte>(300, 'p').data(), 300);
    image->setIccProfile(icc, false);
    image->writeMetadata();
  }
  for (bool keep : {true, false})  // not kept: the orientation alone, as into a JPEG
    for (TResultFormat format : {TResultFormat::rfWebp, TResultFormat::rfAvif})
      for (int percent : {50, 150}) {
        SCOPED_TRACE(std::string(ExtensionOf(format)) + " " + std::to_string(percent) + "% " +
                     (keep ? "kept" : "not kept"));
        const std::string result = dir / ("result." + std::string(ExtensionOf(format)));
        TPhotoRequest request;
        request.photo = photo, request.keepMetadata = keep;
        request.results.push_back(
            {nullptr, [&](auto&&...) { return result; }, 90,
             [&](int w, int h) {
               return WizardSettingsFor({TSizeKind::skPercent, percent}, w, h, false);
             }});
        request.results[0].format = format;
        EXPECT_TRUE(ProcessPhoto(request).warnings.empty());

        TJPEGImage J;
        J.LoadFromFile(photo);
        auto S = std::make_shared<TBitmap>();
        S->Assign(J);
        const auto c = *SelectCase(
            percent < 100 ? 0 : 1,
            WizardSettingsFor({TSizeKind::skPercent, percent}, 320, 240, false), 320, 240);
        TBitmap D, *R = S.get();
        if (c.shrink)
          D.SetSize(c.width, c.height), ShrinkBitmap(*S, D, R);
        else
          EnlargeBitmap(S, c.mode, c.scaleX, c.scaleY, c.toWidth, c.toHeight), R = S.get();
        R->SetPixelFormat(TPixelFormat::pf24bit);

        const TDecoded back = DecodedBack(ReadFile(result), format);
        ASSERT_EQ(back.rgb.size(), std::size_t(c.width) * c.height * 3);
        EXPECT_GE(Psnr(*R, back.rgb), 40.0);
        Exiv2::ExifData exif;
        Exiv2::ExifParser::decode(exif, back.exif.data(), std::uint32_t(back.exif.size()));
        EXPECT_EQ(exif["Exif.Image.Make"].toString(), keep ? "Fotrix" : "");
        EXPECT_EQ(exif["Exif.Image.Orientation"].toString(), "6");
        EXPECT_EQ(exif["Exif.Photo.PixelXDimension"].toString(),
                  keep ? std::to_string(c.width) : "");
        EXPECT_NE(
            (std::string(back.xmp.begin(), back.xmp.end()).find("Harbour") == std::string::npos),
            keep);
        EXPECT_EQ(back.icc, std::vector<std::uint8_t>(keep ? 300 : 0, 'p'));
      }
}

}  // namespace

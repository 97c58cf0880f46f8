#include "Colour.h"

#include <lcms2.h>

#include <memory>

namespace vizuvod {

namespace {

struct TProfileCloser {
  void operator()(void* p) const { cmsCloseProfile(p); }
};
using TProfile = std::unique_ptr<void, TProfileCloser>;

struct TTransformCloser {
  void operator()(void* t) const { cmsDeleteTransform(t); }
};

TProfile Open(const std::vector<std::uint8_t>& profile) {
  return TProfile(cmsOpenProfileFromMem(profile.data(), cmsUInt32Number(profile.size())));
}

}  // namespace

bool IsSrgbProfile(const std::vector<std::uint8_t>& profile) {
  const TProfile p = Open(profile);
  char description[256] = {};
  return p &&
         cmsGetProfileInfoASCII(p.get(), cmsInfoDescription, "en", "US", description,
                                sizeof description) > 0 &&
         std::string(description).find("sRGB") != std::string::npos;
}

std::string ConvertToSrgb(TBitmap& picture, const std::vector<std::uint8_t>& profile) {
  const TProfile from = Open(profile);
  if (!from) return "colour profile not applied: lcms2 cannot read it";
  if (cmsGetColorSpace(from.get()) != cmsSigRgbData)
    return "colour profile not applied: it does not describe RGB colours";
  const TProfile srgb(cmsCreate_sRGBProfile());
  const bool device = picture.PixelFormat() == TPixelFormat::pfDevice;
  const cmsUInt32Number type = device ? TYPE_BGRA_8 : TYPE_BGR_8;
  const std::unique_ptr<void, TTransformCloser> transform(
      cmsCreateTransform(from.get(), type, srgb.get(), type, INTENT_PERCEPTUAL, 0));
  if (!transform) return "colour profile not applied: lcms2 cannot convert from it";
  if (picture.PixelFormat() == TPixelFormat::pf8bit) {
    std::vector<TPaletteEntry> palette = picture.Palette();
    for (TPaletteEntry& e : palette) {
      std::uint8_t bgr[3] = {e.blue, e.green, e.red};
      cmsDoTransform(transform.get(), bgr, bgr, 1);
      e = {bgr[2], bgr[1], bgr[0]};
    }
    picture.SetPalette(palette);
    return "";
  }
  for (int y = 0; y < picture.Height(); ++y) {
    std::uint8_t* row = picture.ScanLine(y);
    cmsDoTransform(transform.get(), row, row, cmsUInt32Number(picture.Width()));
  }
  return "";
}

}  // namespace vizuvod

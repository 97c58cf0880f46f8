#include "Colour.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
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

struct TCurveFree {
  void operator()(cmsToneCurve* c) const { cmsFreeToneCurve(c); }
};
using TCurve = std::unique_ptr<cmsToneCurve, TCurveFree>;

// sRGB's curve, which the pictures of ordinary range are taken to have
// (BT.709 and BT.2020 code their stills with it in practice).
bool IsOrdinaryTransfer(int transfer) {
  return transfer == 1 || transfer == 2 || transfer == 6 || transfer == 13 || transfer == 14 ||
         transfer == 15;
}

// Light of a high dynamic range signal v in [0, 1], in units of its
// reference white (203 cd/m2): PQ's absolute curve, or HLG shown at 1000 cd/m2.
double HighRangeLight(int transfer, double v) {
  if (transfer == 16) {
    const double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128, c1 = 3424.0 / 4096,
                 c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
    const double p = std::pow(v, 1 / m2);
    return 10000 * std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1 / m1) / 203;
  }
  const double a = 0.17883277, b = 1 - 4 * a, c = 0.5 - a * std::log(4 * a);
  const double scene = v <= 0.5 ? v * v / 3 : (std::exp((v - c) / a) + b) / 12;
  return 1000 * std::pow(scene, 1.2) / 203;
}

TCurve CurveOf(int transfer) {
  if (transfer == 16 || transfer == 18) {
    constexpr int Entries = 4096;
    constexpr double Knee = 0.75;  // reference white lands on this much of white
    std::vector<float> values(Entries);
    for (int i = 0; i < Entries; ++i) {
      const double x = HighRangeLight(transfer, double(i) / (Entries - 1)) * Knee;
      values[std::size_t(i)] =
          float(x <= Knee ? x : Knee + (1 - Knee) * (x - Knee) / (x - Knee + 1 - Knee));
    }
    return TCurve(cmsBuildTabulatedToneCurveFloat(nullptr, Entries, values.data()));
  }
  if (transfer == 4 || transfer == 5 || transfer == 8)
    return TCurve(cmsBuildGamma(nullptr, transfer == 4 ? 2.2 : transfer == 5 ? 2.8 : 1.0));
  const double srgb[5] = {2.4, 1 / 1.055, 0.055 / 1.055, 1 / 12.92, 0.04045};
  return TCurve(cmsBuildParametricToneCurve(nullptr, 4, srgb));
}

}  // namespace

std::vector<std::uint8_t> ProfileOfCodedColours(const TCodedColours& c) {
  const double bt709[8] = {0.64, 0.33, 0.30, 0.60, 0.15, 0.06, 0.3127, 0.3290};
  const double given[8] = {c.red[0],  c.red[1],  c.green[0], c.green[1],
                           c.blue[0], c.blue[1], c.white[0], c.white[1]};
  bool srgbPrimaries = true;
  for (int i = 0; i < 8; ++i)
    srgbPrimaries = srgbPrimaries && std::abs(given[i] - bt709[i]) < 0.002;
  if (srgbPrimaries && IsOrdinaryTransfer(c.transfer)) return {};
  const cmsCIExyY white{c.white[0], c.white[1], 1};
  const cmsCIExyYTRIPLE primaries{
      {c.red[0], c.red[1], 1}, {c.green[0], c.green[1], 1}, {c.blue[0], c.blue[1], 1}};
  const TCurve curve = CurveOf(c.transfer);
  if (!curve) return {};
  cmsToneCurve* const curves[3] = {curve.get(), curve.get(), curve.get()};
  const TProfile profile(cmsCreateRGBProfile(&white, &primaries, curves));
  cmsUInt32Number size = 0;
  if (!profile || !cmsSaveProfileToMem(profile.get(), nullptr, &size)) return {};
  std::vector<std::uint8_t> bytes(size);
  if (!cmsSaveProfileToMem(profile.get(), bytes.data(), &size)) return {};
  return bytes;
}

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

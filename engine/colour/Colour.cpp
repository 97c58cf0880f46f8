#include "colour/Colour.h"

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

// The conversion from a matrix-shaper profile (three curves and a matrix,
// as phones' Display P3 and Adobe RGB are) to sRGB, with the numbers lcms2
// reads from both profiles: each sample through its curve to linear light,
// the two profiles' matrices, then sRGB's curve back. It is what lcms2's own
// transform computes, in integers, at twice its speed on a 12 MP photo.
class TMatrixShaper {
 public:
  // False when the profile is not a matrix-shaper one.
  bool Take(cmsHPROFILE from, cmsHPROFILE srgb) {
    if (!cmsIsMatrixShaper(from)) return false;
    const cmsTagSignature curves[3] = {cmsSigRedTRCTag, cmsSigGreenTRCTag, cmsSigBlueTRCTag};
    const cmsTagSignature colorants[3] = {cmsSigRedColorantTag, cmsSigGreenColorantTag,
                                          cmsSigBlueColorantTag};
    double fromMatrix[9], srgbMatrix[9];
    for (int c = 0; c < 3; ++c) {
      const auto* curve = static_cast<const cmsToneCurve*>(cmsReadTag(from, curves[c]));
      const auto* xyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(from, colorants[c]));
      const auto* srgbXyz = static_cast<const cmsCIEXYZ*>(cmsReadTag(srgb, colorants[c]));
      if (!curve || !xyz || !srgbXyz) return false;
      for (int v = 0; v < 256; ++v)
        in_[c][std::size_t(v)] = Fixed(cmsEvalToneCurveFloat(curve, float(v / 255.0)));
      fromMatrix[c] = xyz->X, fromMatrix[3 + c] = xyz->Y, fromMatrix[6 + c] = xyz->Z;
      srgbMatrix[c] = srgbXyz->X, srgbMatrix[3 + c] = srgbXyz->Y, srgbMatrix[6 + c] = srgbXyz->Z;
    }
    const auto* srgbCurve = static_cast<const cmsToneCurve*>(cmsReadTag(srgb, cmsSigRedTRCTag));
    const TCurve back(srgbCurve ? cmsReverseToneCurve(srgbCurve) : nullptr);
    double toSrgb[9];
    if (!back || !Inverse(srgbMatrix, toSrgb)) return false;
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) {
        double sum = 0;
        for (int k = 0; k < 3; ++k) sum += toSrgb[3 * r + k] * fromMatrix[3 * k + c];
        matrix_[std::size_t(3 * r + c)] = Fixed(sum);
      }
    for (int i = 0; i <= One; ++i)
      out_[std::size_t(i)] = std::uint8_t(std::lround(
          std::clamp(cmsEvalToneCurveFloat(back.get(), float(i) / One), 0.0f, 1.0f) * 255));
    return true;
  }

  // Pixels of blue, green, red, `step` bytes apart.
  void Convert(std::uint8_t* pixel, int width, int step) const {
    const std::int32_t* m = matrix_;
    const auto out = [&](std::int32_t v) {
      return out_[std::clamp((v + One / 2) >> Bits, 0, One)];
    };
    for (int x = 0; x < width; ++x, pixel += step) {
      const std::int32_t r = in_[0][pixel[2]], g = in_[1][pixel[1]], b = in_[2][pixel[0]];
      pixel[2] = out(m[0] * r + m[1] * g + m[2] * b);
      pixel[1] = out(m[3] * r + m[4] * g + m[5] * b);
      pixel[0] = out(m[6] * r + m[7] * g + m[8] * b);
    }
  }

 private:
  static constexpr int Bits = 14, One = 1 << Bits;
  static std::int32_t Fixed(double v) { return std::int32_t(std::lround(v * One)); }
  static bool Inverse(const double m[9], double out[9]) {
    const double det = m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
                       m[2] * (m[3] * m[7] - m[4] * m[6]);
    if (std::abs(det) < 1e-9) return false;
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) {
        // The cofactor of (c, r), over the determinant.
        const int r1 = (c + 1) % 3, r2 = (c + 2) % 3, c1 = (r + 1) % 3, c2 = (r + 2) % 3;
        out[3 * r + c] = (m[3 * r1 + c1] * m[3 * r2 + c2] - m[3 * r1 + c2] * m[3 * r2 + c1]) / det;
      }
    return true;
  }

  std::int32_t in_[3][256] = {};
  std::int32_t matrix_[9] = {};
  std::uint8_t out_[One + 1] = {};
};

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

struct TSrgbConversion::TState {
  TProfile from, srgb;
  std::unique_ptr<void, TTransformCloser> transform[2];  // 3 and 4 bytes a pixel
  std::unique_ptr<TMatrixShaper> shaper;
};

TSrgbConversion::TSrgbConversion(const std::vector<std::uint8_t>& profile)
    : state_(std::make_unique<TState>()) {
  TState& s = *state_;
  s.from = Open(profile);
  if (!s.from) {
    refusal_ = "colour profile not applied: lcms2 cannot read it";
    return;
  }
  if (cmsGetColorSpace(s.from.get()) != cmsSigRgbData) {
    refusal_ = "colour profile not applied: it does not describe RGB colours";
    return;
  }
  s.srgb.reset(cmsCreate_sRGBProfile());
  s.shaper = std::make_unique<TMatrixShaper>();
  if (s.shaper->Take(s.from.get(), s.srgb.get())) return;
  s.shaper.reset();
  for (int i = 0; i < 2; ++i) {
    const cmsUInt32Number type = i ? TYPE_BGRA_8 : TYPE_BGR_8;
    s.transform[i].reset(cmsCreateTransform(s.from.get(), type, s.srgb.get(), type,
                                            INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE));
    if (!s.transform[i]) refusal_ = "colour profile not applied: lcms2 cannot convert from it";
  }
}

TSrgbConversion::~TSrgbConversion() = default;

void TSrgbConversion::Convert(std::uint8_t* pixels, int width, int step) const {
  if (!refusal_.empty()) return;
  if (state_->shaper)
    state_->shaper->Convert(pixels, width, step);
  else
    cmsDoTransform(state_->transform[step == 4].get(), pixels, pixels, cmsUInt32Number(width));
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
      cmsCreateTransform(from.get(), type, srgb.get(), type, INTENT_PERCEPTUAL, cmsFLAGS_NOCACHE));
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
  auto shaper = std::make_unique<TMatrixShaper>();
  const bool shaped = shaper->Take(from.get(), srgb.get());
  for (int y = 0; y < picture.Height(); ++y) {
    std::uint8_t* row = picture.ScanLine(y);
    if (shaped)
      shaper->Convert(row, picture.Width(), device ? 4 : 3);
    else
      cmsDoTransform(transform.get(), row, row, cmsUInt32Number(picture.Width()));
  }
  return "";
}

bool IsInkProfile(const std::vector<std::uint8_t>& profile) {
  const TProfile p = profile.empty() ? nullptr : Open(profile);
  return p && cmsGetColorSpace(p.get()) == cmsSigCmykData;
}

TInkRows InkToSrgb(const std::vector<std::uint8_t>& profile) {
  const TProfile from = Open(profile);
  if (!from || cmsGetColorSpace(from.get()) != cmsSigCmykData) return nullptr;
  const TProfile srgb(cmsCreate_sRGBProfile());
  // One transform for each way the inks may be stored, made once a photo.
  std::shared_ptr<void> transforms[2];
  for (const bool inverted : {false, true}) {
    transforms[inverted].reset(
        cmsCreateTransform(from.get(), inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8, srgb.get(),
                           TYPE_BGR_8, INTENT_PERCEPTUAL, 0),
        TTransformCloser());
    if (!transforms[inverted]) return nullptr;
  }
  return [regular = transforms[0], inverted = transforms[1]](
             const std::uint8_t* cmyk, std::uint8_t* bgr, int width, bool isInverted) {
    cmsDoTransform((isInverted ? inverted : regular).get(), cmyk, bgr, cmsUInt32Number(width));
  };
}

}  // namespace vizuvod

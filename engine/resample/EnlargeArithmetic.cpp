#include "resample/EnlargeArithmetic.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "core/Errors.h"

namespace vizuvod {

namespace enlarge_detail {

namespace {

// round() of a side, kept in long double until it is known to fit an int.
int Side(long double exact) {
  const long double side = std::nearbyint(exact);
  if (std::isnan(side) || side < 1)
    throw EInvalidArgument("Target size must be at least 1 x 1 pixels");
  if (side > INT_MAX) throw EOutOfResources();
  return int(side);
}

}  // namespace

TEnlargeGeometry Geometry(const std::string& mode, float scaleX, float scaleY, float width,
                          float height, int SW, int SH) {
  TEnlargeGeometry g;
  if (mode != "percent" && mode != "size") return g;
  long double exactW = 0, exactH = 0;
  if (mode == "percent") {
    exactW = (long double)SW * scaleX;
    exactH = (long double)SH * scaleY;
  } else {
    if (width != 0) {
      exactW = width;
      scaleX = float((long double)width / SW);
      exactH = (long double)SH * scaleX;
      scaleY = scaleX;
    }
    if (height != 0) {
      exactH = height;
      scaleY = float((long double)height / SH);
      exactW = (long double)SW * scaleY;
      scaleX = scaleY;
    }
  }
  g.EW = Side(exactW);
  g.EH = Side(exactH);
  g.scaleX = scaleX;
  g.scaleY = scaleY;
  return g;
}

int RowProgress(int y, int EH) {
  if (EH == 1) return 100;
  return int(std::nearbyint((long double)y * 100 / (long double)(EH - 1)));
}

void FillLiteral(const TBitmap& S, TBitmap& E, float scaleX, float scaleY, const TRowHooks& hooks) {
  const int EW = E.Width(), EH = E.Height();
  for (int y = 0; y < EH; ++y) {
    hooks.Progress(RowProgress(y, EH));
    hooks.Pump();
    for (int x = 0; x < EW; ++x) {
      const int cx = int(std::trunc((long double)x / scaleX));
      const int cy = int(std::trunc((long double)y / scaleY));
      const int X0 = int(std::nearbyint((long double)cx * scaleX));
      const int Y0 = int(std::nearbyint((long double)cy * scaleY));
      const TColorValue P00 = S.Pixel(cx, cy);
      const TColorValue P10 = S.Pixel(cx + 1, cy);
      const TColorValue P01 = S.Pixel(cx, cy + 1);
      const TColorValue P11 = S.Pixel(cx + 1, cy + 1);
      int out[3];
      for (int ch = 0; ch < 3; ++ch) {
        const int shift = 8 * ch;  // red, green, blue
        const int p00 = int((P00 >> shift) & 0xFF), p10 = int((P10 >> shift) & 0xFF);
        const int p01 = int((P01 >> shift) & 0xFF), p11 = int((P11 >> shift) & 0xFF);
        const float sT = float((long double)(p10 - p00) / scaleX);
        const float I0 = float((long double)x * sT + p00 - (long double)X0 * sT);
        const float sB = float((long double)(p11 - p01) / scaleX);
        const float I1 = float((long double)x * sB + p01 - (long double)X0 * sB);
        const float sV = float(((long double)I1 - I0) / scaleY);
        const long double v = std::nearbyint((long double)y * sV + I0 - (long double)Y0 * sV);
        out[ch] = int(std::clamp<long double>(v, 0, 255));
      }
      E.SetPixel(x, y, RGBColor(out[0], out[1], out[2]));
    }
  }
}

}  // namespace enlarge_detail

}  // namespace vizuvod

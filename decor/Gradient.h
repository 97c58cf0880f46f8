// The gradient fill: a run of flat-coloured bands between two colours,
// painted into a rectangle of a drawing surface in one of seven directions.
//
// TTwainColors holds the colour pair and caches its resolved RGB values at
// assignment, so a later change of the colour scheme only arrives when a
// colour is assigned again. TCustomGradient adds the other settings and
// Draw; TGradient is the one the header owns.
#pragma once

#include "Canvas.h"
#include "Colors.h"
#include "Events.h"

namespace vizuvod {

enum TglGradientDir {
  fgdHorizontal,
  fgdVertical,
  fgdLeftBias,
  fgdRightBias,
  fgdRectangle,
  fgdHorzConvergent,
  fgdVertConvergent
};

enum TBrushStyle {
  bsSolid,
  bsClear,
  bsHorizontal,
  bsVertical,
  bsFDiagonal,
  bsBDiagonal,
  bsCross,
  bsDiagCross
};

// Whole number 0..100 in one byte; writes are not clamped.
using TglPercent = unsigned char;

class TTwainColors {
 public:
  TTwainColors();
  virtual ~TTwainColors() = default;

  TColor FromColor() const { return fromColor_; }
  TColor ToColor() const { return toColor_; }
  void SetFromColor(TColor value);
  void SetToColor(TColor value);
  TColorValue FromRGB() const { return fromRGB_; }
  TColorValue ToRGB() const { return toRGB_; }

  TNotifyEvent<TTwainColors> OnChange;

 protected:
  void Changed();
  void SwapRGB() { std::swap(fromRGB_, toRGB_); }

  TColor fromColor_ = clGray;
  TColor toColor_ = clBlack;
  TColorValue fromRGB_ = 0;
  TColorValue toRGB_ = 0;
};

class TCustomGradient : public TTwainColors {
 public:
  TCustomGradient();

  bool Active() const { return active_; }
  void SetActive(bool value);
  bool BufferedDraw() const { return bufferedDraw_; }
  void SetBufferedDraw(bool value) { bufferedDraw_ = value; }
  TglGradientDir Orientation() const { return orientation_; }
  void SetOrientation(TglGradientDir value);
  int Steps() const { return steps_; }
  void SetSteps(int value);
  TglPercent PercentFilling() const { return percentFilling_; }
  void SetPercentFilling(TglPercent value);
  TBrushStyle BrushStyle() const { return brushStyle_; }
  void SetBrushStyle(TBrushStyle value);

  // Paints into r (right and bottom excluded). PenStyle and PenWidth are the
  // pen of the diagonal directions. Paints nothing while inactive, with
  // Steps 1, or on a surface below 16 bits per pixel.
  void Draw(TCanvas& canvas, TRect r, int PenStyle, int PenWidth);

 protected:
  void DrawBands(TCanvas& canvas, TRect r, int PenStyle, int PenWidth);

  bool active_ = false;
  bool bufferedDraw_ = false;
  int steps_ = 255;
  TglPercent percentFilling_ = 100;
  TBrushStyle brushStyle_ = bsSolid;
  TglGradientDir orientation_ = fgdHorizontal;
};

class TGradient : public TCustomGradient {
 public:
  // Takes over all eight published settings; raises OnChange once when any
  // of them changed.
  void Assign(const TGradient& source);
};

}  // namespace vizuvod

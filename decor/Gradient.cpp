// Gradient settings and their painting. Band edges and colours use MulDiv
// throughout, so every band lands on the same pixels as on the platform the
// program was made for.
#include "Gradient.h"

#include <algorithm>
#include <type_traits>

namespace vizuvod {

namespace {

// A setter's first step: stores value, and says whether that changed anything.
template <class T>
bool ChangeTo(T& field, std::type_identity_t<T> value) {
  if (value == field) return false;
  field = value;
  return true;
}

}  // namespace

TTwainColors::TTwainColors() : fromRGB_(ColorToRGB(fromColor_)), toRGB_(ColorToRGB(toColor_)) {}

void TTwainColors::Changed() {
  if (OnChange) OnChange(this);
}

void TTwainColors::SetFromColor(TColor value) {
  if (!ChangeTo(fromColor_, value)) return;
  fromRGB_ = ColorToRGB(value);
  Changed();
}

void TTwainColors::SetToColor(TColor value) {
  if (!ChangeTo(toColor_, value)) return;
  toRGB_ = ColorToRGB(value);
  Changed();
}

TCustomGradient::TCustomGradient() = default;

void TCustomGradient::SetActive(bool value) {
  if (ChangeTo(active_, value)) Changed();
}

void TCustomGradient::SetOrientation(TglGradientDir value) {
  if (ChangeTo(orientation_, value) && active_) Changed();
}

void TCustomGradient::SetSteps(int value) {
  if (ChangeTo(steps_, std::clamp(value, 1, 255))) Changed();
}

void TCustomGradient::SetPercentFilling(TglPercent value) {
  if (ChangeTo(percentFilling_, value)) Changed();
}

void TCustomGradient::SetBrushStyle(TBrushStyle value) {
  brushStyle_ = value;
  Changed();
}

void TGradient::Assign(const TGradient& source) {
  if (&source == this) return;
  const bool changed = fromColor_ != source.fromColor_ || toColor_ != source.toColor_ ||
                       active_ != source.active_ || bufferedDraw_ != source.bufferedDraw_ ||
                       orientation_ != source.orientation_ || steps_ != source.steps_ ||
                       percentFilling_ != source.percentFilling_ ||
                       brushStyle_ != source.brushStyle_;
  fromColor_ = source.fromColor_;
  toColor_ = source.toColor_;
  // Resolved afresh, as assigning each colour would.
  fromRGB_ = ColorToRGB(fromColor_);
  toRGB_ = ColorToRGB(toColor_);
  active_ = source.active_;
  bufferedDraw_ = source.bufferedDraw_;
  orientation_ = source.orientation_;
  steps_ = source.steps_;
  percentFilling_ = source.percentFilling_;
  brushStyle_ = source.brushStyle_;
  if (changed) Changed();
}

void TCustomGradient::Draw(TCanvas& canvas, TRect r, int PenStyle, int PenWidth) {
  if (!active_ || steps_ == 1 || canvas.GetDeviceCaps(BITSPIXEL) < 16) return;

  if (orientation_ == fgdHorzConvergent || orientation_ == fgdVertConvergent) {
    // Two plain halves, the second with the colours swapped; for an odd
    // size they share the middle line, which the second half paints last.
    const TglGradientDir saved = orientation_;
    TRect first = r, second = r;
    if (saved == fgdHorzConvergent) {
      orientation_ = fgdHorizontal;
      const int h2 = r.Height() / 2;
      first.Bottom -= h2;
      second.Top += h2;
    } else {
      orientation_ = fgdVertical;
      const int w2 = r.Width() / 2;
      first.Right -= w2;
      second.Left += w2;
    }
    Draw(canvas, first, PenStyle, PenWidth);
    SwapRGB();
    Draw(canvas, second, PenStyle, PenWidth);
    SwapRGB();
    orientation_ = saved;
    return;
  }

  if (!bufferedDraw_) {
    DrawBands(canvas, r, PenStyle, PenWidth);
    return;
  }
  if (r.IsEmpty()) return;
  // The buffer starts as a copy of the target's pixels, so that unfilled
  // bands (bsClear) and transparent hatch gaps keep what was there and the
  // buffered picture equals the direct one. Above ratio 1 a logical edge
  // need not fall on the same device pixel from another origin, so the
  // buffer then keeps the target's origin and reaches to the rectangle.
  const bool scaled = canvas.PixelRatio() != 1;
  const TPoint o = scaled ? TPoint{0, 0} : TPoint{r.Left, r.Top};
  const int W = r.Right - o.X, H = r.Bottom - o.Y;
  if (W <= 0 || H <= 0) return;
  TCanvas buffer(W, H, canvas.GetDeviceCaps(BITSPIXEL), canvas.PixelRatio());
  buffer.BitBlt(0, 0, W, H, canvas, o.X, o.Y, SRCCOPY);
  buffer.SetBkColor(canvas.BkColor());
  buffer.SetBkMode(canvas.BkMode());
  buffer.SetBrushOrigin({canvas.BrushOrigin().X - o.X, canvas.BrushOrigin().Y - o.Y});
  TRect inBuffer = r;
  OffsetRect(inBuffer, -o.X, -o.Y);
  DrawBands(buffer, inBuffer, PenStyle, PenWidth);
  canvas.BitBlt(r.Left, r.Top, r.Width(), r.Height(), buffer, r.Left - o.X, r.Top - o.Y, SRCCOPY);
}

void TCustomGradient::DrawBands(TCanvas& canvas, TRect r, int PenStyle, int PenWidth) {
  const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
  const int W = R - L, H = B - T;
  const int W2 = W / 2, H2 = H / 2;
  const bool diagonal = orientation_ == fgdLeftBias || orientation_ == fgdRightBias;

  int N = 0;
  switch (orientation_) {
    case fgdHorizontal: N = std::min(steps_, H); break;
    case fgdVertical: N = std::min(steps_, W); break;
    case fgdLeftBias:
    case fgdRightBias: N = std::min(steps_, W + H); break;
    case fgdRectangle: N = std::min({steps_, W2, H2}); break;
    default: return;
  }
  if (N <= 0) return;

  const int fromR = RedOf(fromRGB_), fromG = GreenOf(fromRGB_), fromB = BlueOf(fromRGB_);
  const int dR = RedOf(toRGB_) - fromR, dG = GreenOf(toRGB_) - fromG, dB = BlueOf(toRGB_) - fromB;

  // The diagonal sweep: P1 and P2 walk the edges w pixels a step. The walk
  // runs along the excluded bottom row and right column (and, for wide
  // pens, past the far corner), so its lines are clipped to the rectangle:
  // nothing beside it is painted, and buffered and direct pictures agree.
  // A width below 1 steps as 1.
  const int w = PenWidth < 1 ? 1 : PenWidth;
  TPoint P1{orientation_ == fgdRightBias ? R : L, T};
  TPoint P2 = P1;
  const std::optional<TRect> savedClip = canvas.ClipRect();
  if (diagonal) {
    TRect clip = r;
    if (savedClip) {
      clip.Left = std::max(clip.Left, savedClip->Left);
      clip.Top = std::max(clip.Top, savedClip->Top);
      clip.Right = std::min(clip.Right, savedClip->Right);
      clip.Bottom = std::min(clip.Bottom, savedClip->Bottom);
    }
    canvas.SetClipRect(clip);
  }

  for (int i = 0; i < N; ++i) {
    const TColorValue color =
        N == 1 ? fromRGB_
               : RGBColor(fromR + MulDiv(i, dR, N - 1), fromG + MulDiv(i, dG, N - 1),
                          fromB + MulDiv(i, dB, N - 1));
    if (diagonal) {
      const TLogPen previous = canvas.SelectPen(CreatePen(PenStyle, w, color));
      const int lines = MulDiv(i + 1, W + H, N) - MulDiv(i, W + H, N);
      for (int k = 0; k < lines; ++k) {
        if (orientation_ == fgdLeftBias) {
          if (P1.Y < B)
            P1.Y += w;
          else
            P1.X += w;
          if (P2.X < R)
            P2.X += w;
          else
            P2.Y += w;
        } else {
          if (P1.X > L)
            P1.X -= w;
          else
            P1.Y += w;
          if (P2.Y < B)
            P2.Y += w;
          else
            P2.X -= w;
        }
        canvas.MoveToEx(P1.X, P1.Y);
        canvas.LineTo(P2.X, P2.Y);
      }
      canvas.SelectPen(previous);
    } else {
      TRect band;
      switch (orientation_) {
        case fgdHorizontal: band = {L, T + MulDiv(i, H, N), R, T + MulDiv(i + 1, H, N)}; break;
        case fgdVertical: band = {L + MulDiv(i, W, N), T, L + MulDiv(i + 1, W, N), B}; break;
        default:
          band = {L + MulDiv(i, W2, N), T + MulDiv(i, H2, N), R - MulDiv(i, W2, N),
                  B - MulDiv(i, H2, N)};
          break;
      }
      // bsClear has no hatch (ordinal - 2 is -1): no brush, no fill.
      const std::optional<TLogBrush> brush =
          brushStyle_ == bsSolid ? CreateSolidBrush(color)
                                 : CreateBrushIndirect({BS_HATCHED, color, int(brushStyle_) - 2});
      canvas.FillRect(band, brush);
    }
    // Compared in extended precision: (3 / 5) * 100 comes out just above 60.
    const long double filled = static_cast<long double>(i) / static_cast<long double>(N) * 100.0L;
    if (static_cast<long double>(percentFilling_) < filled) break;
  }
  if (diagonal) canvas.SetClipRect(savedClip);
}

}  // namespace vizuvod

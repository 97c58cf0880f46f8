// The drawing layer over QImage. Rectangles, hatches, thin lines and raster
// copies are done pixel by pixel, so their edges are exactly the platform's;
// only text, wide pens and thin pens above ratio 1 go through QPainter, whose
// coordinates are logical through the image's device pixel ratio.
#include "Canvas.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

namespace vizuvod {

namespace {

QRgb ToQRgb(TColorValue c) { return qRgb(RedOf(c), GreenOf(c), BlueOf(c)); }
TColorValue FromQRgb(QRgb c) { return RGBColor(qRed(c), qGreen(c), qBlue(c)); }

// Monochrome surfaces hold only black and white; a colour becomes the
// nearer of the two by its brightness.
TColorValue ToMono(TColorValue c) {
  return RedOf(c) * 30 + GreenOf(c) * 59 + BlueOf(c) * 11 >= 128 * 100 ? 0xFFFFFF : 0;
}

// One line of text after prefix processing and breaking.
struct TextLine {
  QString text;
  std::vector<int> underlined;  // indices into text
  int width = 0;
};

// '&x' -> x underlined, '&&' -> '&'; a lone '&' at the end shows nothing.
void StripPrefixes(const QString& text, QString& shown, std::vector<int>& underlined) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text[i] == QLatin1Char('&')) {
      if (++i >= text.size()) break;
      if (text[i] != QLatin1Char('&')) underlined.push_back(int(shown.size()));
    }
    shown += text[i];
  }
}

TextLine MakeLine(const QString& shown, const std::vector<int>& underlined, qsizetype from,
                  qsizetype count, const QFontMetrics& fm) {
  TextLine line;
  line.text = shown.mid(from, count);
  for (int u : underlined)
    if (u >= from && u < from + count) line.underlined.push_back(int(u - from));
  line.width = fm.horizontalAdvance(line.text);
  return line;
}

// Breaks one paragraph between words so that each line fits maxWidth; a
// word wider than that stands alone on its line. The blanks at a break are
// dropped, blanks inside a line are kept as they are. Widths are measured
// at word ends only, which is where a line can end.
void BreakParagraph(const QString& shown, const std::vector<int>& underlined, qsizetype begin,
                    qsizetype end, int maxWidth, const QFontMetrics& fm,
                    std::vector<TextLine>& lines) {
  const auto isBlank = [&](qsizetype k) { return shown[k] == QLatin1Char(' '); };
  const auto fits = [&](qsizetype from, qsizetype to) {
    return fm.horizontalAdvance(shown.mid(from, to - from)) <= maxWidth;
  };
  qsizetype i = begin;
  if (i == end) {
    lines.push_back(MakeLine(shown, underlined, i, 0, fm));
    return;
  }
  while (i < end) {
    qsizetype lineEnd = -1;  // end of the last word that fits; the first always counts
    for (qsizetype k = i; k < end;) {
      qsizetype word = k;
      while (word < end && isBlank(word)) ++word;
      if (word == end) {  // only blanks are left
        if (lineEnd < 0 || fits(i, end)) lineEnd = end;
        break;
      }
      qsizetype wordEnd = word;
      while (wordEnd < end && !isBlank(wordEnd)) ++wordEnd;
      if (lineEnd >= 0 && !fits(i, wordEnd)) break;
      lineEnd = k = wordEnd;
    }
    qsizetype trimmed = lineEnd;
    if (lineEnd < end)
      while (trimmed > i && isBlank(trimmed - 1)) --trimmed;
    lines.push_back(MakeLine(shown, underlined, i, trimmed - i, fm));
    i = lineEnd;
    while (i < end && isBlank(i)) ++i;
  }
}

// The repeating on/off runs of the styled one-pixel pens.
const std::vector<int>& DashRuns(int style) {
  static const std::vector<int> dash{18, 6}, dot{3, 3}, dashDot{9, 6, 3, 6},
      dashDotDot{9, 3, 3, 3, 3, 3}, solid{};
  switch (style) {
    case PS_DASH: return dash;
    case PS_DOT: return dot;
    case PS_DASHDOT: return dashDot;
    case PS_DASHDOTDOT: return dashDotDot;
    default: return solid;
  }
}

bool DashOn(int style, int phase) {
  const std::vector<int>& runs = DashRuns(style);
  if (runs.empty()) return true;
  int period = 0;
  for (int r : runs) period += r;
  int p = phase % period;
  for (std::size_t k = 0; k < runs.size(); ++k) {
    if (p < runs[k]) return k % 2 == 0;
    p -= runs[k];
  }
  return true;
}

bool HatchBit(int hatch, int px, int py) {
  const bool horizontal = py == 0, vertical = px == 0;
  const bool forward = px == py, backward = px + py == 7;
  switch (hatch) {
    case HS_HORIZONTAL: return horizontal;
    case HS_VERTICAL: return vertical;
    case HS_FDIAGONAL: return forward;
    case HS_BDIAGONAL: return backward;
    case HS_CROSS: return horizontal || vertical;
    case HS_DIAGCROSS: return forward || backward;
    default: return false;
  }
}

// The logical pixel a device pixel belongs to: the x with
// ToDevice(x) <= device < ToDevice(x + 1).
int ToLogical(int device, qreal ratio) {
  if (ratio == 1) return device;
  return int(std::ceil((device + 0.5) / double(ratio))) - 1;
}

TColorValue ApplyRop(unsigned rop, TColorValue src, TColorValue dst) {
  switch (rop) {
    case SRCAND: return src & dst;
    case SRCPAINT: return src | dst;
    case NOTSRCCOPY: return ~src & 0xFFFFFF;
    case SRCCOPY:
    default: return src;
  }
}

}  // namespace

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  const std::int64_t product = std::int64_t(a) * b;
  const std::int64_t magnitude = (std::llabs(product) + std::llabs(c) / 2) / std::llabs(c);
  const std::int64_t result = ((product < 0) != (c < 0)) ? -magnitude : magnitude;
  if (result > std::numeric_limits<int>::max() || result < std::numeric_limits<int>::min())
    return -1;
  return int(result);
}

std::optional<TLogBrush> CreateSolidBrush(TColorValue color) {
  return TLogBrush{BS_SOLID, color, 0};
}

std::optional<TLogBrush> CreateBrushIndirect(const TLogBrush& record) {
  switch (record.Style) {
    case BS_SOLID:
    case BS_NULL: return record;
    case BS_HATCHED:
      if (record.Hatch >= HS_HORIZONTAL && record.Hatch <= HS_DIAGCROSS) return record;
      return std::nullopt;
    default: return std::nullopt;
  }
}

TLogPen CreatePen(int style, int width, TColorValue color) {
  if (width < 1) width = 1;
  if (width > 1 && style != PS_NULL && style != PS_INSIDEFRAME) style = PS_SOLID;
  return TLogPen{style, width, color};
}

TCanvas::TCanvas(int width, int height, int bitsPerPixel, qreal pixelRatio)
    : bitsPerPixel_(bitsPerPixel) {
  SetSize(width, height, pixelRatio);
  font_ = TFont().ToQFont();
}

void TCanvas::SetSize(int width, int height, qreal pixelRatio) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  ratio_ = pixelRatio > 0 ? pixelRatio : 1;
  image_ = QImage(ToDevice(width_), ToDevice(height_), QImage::Format_RGB32);
  image_.setDevicePixelRatio(ratio_);
  image_.fill(qRgb(255, 255, 255));
}

int TCanvas::ToDevice(int logical) const {
  if (ratio_ == 1) return logical;
  const double device = std::floor(logical * double(ratio_) + 0.5);
  return int(
      std::clamp<double>(device, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

TRect TCanvas::ToDevice(const TRect& r) const {
  return {ToDevice(r.Left), ToDevice(r.Top), ToDevice(r.Right), ToDevice(r.Bottom)};
}

int TCanvas::GetDeviceCaps(int cap) const {
  switch (cap) {
    case BITSPIXEL: return bitsPerPixel_;
    case PLANES: return 1;
    default: return 0;
  }
}

bool TCanvas::Visible(int x, int y) const {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return false;
  if (!clip_) return true;
  const TRect clip = ToDevice(*clip_);
  return x >= clip.Left && x < clip.Right && y >= clip.Top && y < clip.Bottom;
}

void TCanvas::Plot(int x, int y, TColorValue color) {
  if (!Visible(x, y)) return;
  if (bitsPerPixel_ == 1) color = ToMono(color);
  reinterpret_cast<QRgb*>(image_.scanLine(y))[x] = ToQRgb(color);
}

TColorValue TCanvas::DevicePixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return InvalidColor;
  return FromQRgb(reinterpret_cast<const QRgb*>(image_.constScanLine(y))[x]);
}

TColorValue TCanvas::GetPixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return InvalidColor;
  return DevicePixel(ToDevice(x), ToDevice(y));
}

void TCanvas::SetPixel(int x, int y, TColorValue color) {
  if (ratio_ == 1) return Plot(x, y, color);
  for (int dy = ToDevice(y); dy < ToDevice(y + 1); ++dy)
    for (int dx = ToDevice(x); dx < ToDevice(x + 1); ++dx) Plot(dx, dy, color);
}

TColorValue TCanvas::SetBkColor(TColorValue color) { return std::exchange(bkColor_, color); }
int TCanvas::SetBkMode(int mode) { return std::exchange(bkMode_, mode); }
TColorValue TCanvas::SetTextColor(TColorValue color) { return std::exchange(textColor_, color); }

void TCanvas::FillRect(const TRect& r, const std::optional<TLogBrush>& brush) {
  if (!brush || brush->Style == BS_NULL || r.IsEmpty()) return;
  const TRect d = ToDevice(r);
  int left = std::max(d.Left, 0), right = std::min(d.Right, image_.width());
  int top = std::max(d.Top, 0), bottom = std::min(d.Bottom, image_.height());
  if (brush->Style == BS_SOLID) {
    // Whole row spans at once: the common case of every band and background.
    if (clip_) {
      const TRect clip = ToDevice(*clip_);
      left = std::max(left, clip.Left), right = std::min(right, clip.Right);
      top = std::max(top, clip.Top), bottom = std::min(bottom, clip.Bottom);
    }
    const QRgb value = ToQRgb(bitsPerPixel_ == 1 ? ToMono(brush->Color) : brush->Color);
    for (int y = top; y < bottom && left < right; ++y) {
      QRgb* row = reinterpret_cast<QRgb*>(image_.scanLine(y));
      std::fill(row + left, row + right, value);
    }
    return;
  }
  // The hatch pattern is laid in logical pixels, each a block of device ones.
  for (int y = top; y < bottom; ++y) {
    const int py = (ToLogical(y, ratio_) - brushOrigin_.Y) & 7;
    for (int x = left; x < right; ++x) {
      if (HatchBit(brush->Hatch, (ToLogical(x, ratio_) - brushOrigin_.X) & 7, py)) {
        Plot(x, y, brush->Color);
      } else if (bkMode_ == OPAQUE) {
        Plot(x, y, bkColor_);
      }
    }
  }
}

TLogPen TCanvas::SelectPen(const TLogPen& pen) { return std::exchange(pen_, pen); }

void TCanvas::MoveToEx(int x, int y) {
  penPos_ = {x, y};
  dashPhase_ = 0;
}

void TCanvas::LineTo(int x, int y) {
  if (pen_.Style != PS_NULL) {
    if (pen_.Width <= 1 && ratio_ == 1) {
      PlotLine(penPos_.X, penPos_.Y, x, y);
    } else {
      QPainter painter(&image_);
      if (clip_)
        painter.setClipRect(QRect(clip_->Left, clip_->Top, clip_->Width(), clip_->Height()));
      painter.setRenderHint(QPainter::Antialiasing, false);
      QPen pen(QColor::fromRgb(ToQRgb(pen_.Color)), pen_.Width, Qt::SolidLine, Qt::RoundCap,
               Qt::RoundJoin);
      if (pen_.Width <= 1) {
        // A thin pen at the device's density: one logical pixel wide through
        // the pixels' centres, flat at the ends, its dashes running on.
        pen.setCapStyle(Qt::FlatCap);
        const std::vector<int>& runs = DashRuns(pen_.Style);
        if (!runs.empty()) {
          pen.setDashPattern(QList<qreal>(runs.begin(), runs.end()));
          pen.setDashOffset(dashPhase_);
        }
        dashPhase_ += std::max(std::abs(x - penPos_.X), std::abs(y - penPos_.Y));
        painter.translate(0.5, 0.5);
      }
      painter.setPen(pen);
      painter.drawLine(penPos_.X, penPos_.Y, x, y);
    }
  }
  penPos_ = {x, y};
}

// Bresenham from (x0, y0) towards (x1, y1), leaving out the end point; the
// dash pattern runs on from one LineTo to the next.
void TCanvas::PlotLine(int x0, int y0, int x1, int y1) {
  const int dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  const int steps = std::max(dx, dy);
  int x = x0, y = y0;
  int err = (dx > dy ? dx : -dy) / 2;
  for (int k = 0; k < steps; ++k) {
    if (DashOn(pen_.Style, dashPhase_++)) Plot(x, y, pen_.Color);
    const int e = err;
    if (e > -dx) {
      err -= dy;
      x += sx;
    }
    if (e < dy) {
      err += dx;
      y += sy;
    }
  }
}

void TCanvas::SelectFont(const TFont& font) {
  font_ = font.ToQFont();
  textColor_ = ColorToRGB(font.Color);
}

int TCanvas::TextHeight(const QString&) const { return QFontMetrics(font_).height(); }

int TCanvas::TextWidth(const QString& text) const {
  return QFontMetrics(font_).horizontalAdvance(text);
}

int TCanvas::DrawText(const QString& text, TRect& r, unsigned format) {
  const QFontMetrics fm(font_);
  QString shown;
  std::vector<int> underlined;
  if (format & DT_NOPREFIX)
    shown = text;
  else
    StripPrefixes(text, shown, underlined);

  std::vector<TextLine> lines;
  if (format & DT_SINGLELINE) {
    lines.push_back(MakeLine(shown, underlined, 0, shown.size(), fm));
  } else {
    qsizetype begin = 0;
    while (begin <= shown.size()) {
      qsizetype end = shown.indexOf(QLatin1Char('\n'), begin);
      if (end < 0) end = shown.size();
      const qsizetype stop = (end > begin && shown[end - 1] == QLatin1Char('\r')) ? end - 1 : end;
      if (format & DT_WORDBREAK)
        BreakParagraph(shown, underlined, begin, stop, r.Width(), fm, lines);
      else
        lines.push_back(MakeLine(shown, underlined, begin, stop - begin, fm));
      if (end == shown.size()) break;
      begin = end + 1;
    }
  }

  const int lineHeight = fm.height();
  const int height = lineHeight * int(lines.size());
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (const TextLine& line : lines) widest = std::max(widest, line.width);
    r.Right = r.Left + widest;
    r.Bottom = r.Top + height;
    return height;
  }

  int y = r.Top;
  if (format & DT_SINGLELINE) {
    if (format & DT_VCENTER)
      y = r.Top + (r.Height() - lineHeight) / 2;
    else if (format & DT_BOTTOM)
      y = r.Bottom - lineHeight;
  }

  QPainter painter(&image_);
  QRect clip(0, 0, width_, height_);
  if (clip_) clip &= QRect(clip_->Left, clip_->Top, clip_->Width(), clip_->Height());
  if (!(format & DT_NOCLIP)) clip &= QRect(r.Left, r.Top, r.Width(), r.Height());
  painter.setClipRect(clip);
  painter.setFont(font_);
  const QColor ink = QColor::fromRgb(ToQRgb(textColor_));
  for (const TextLine& line : lines) {
    int x = r.Left;
    if (format & DT_CENTER)
      x = r.Left + (r.Width() - line.width) / 2;
    else if (format & DT_RIGHT)
      x = r.Right - line.width;
    if (bkMode_ == OPAQUE)
      painter.fillRect(QRect(x, y, line.width, lineHeight), QColor::fromRgb(ToQRgb(bkColor_)));
    painter.setPen(ink);
    painter.drawText(QPoint(x, y + fm.ascent()), line.text);
    for (int u : line.underlined) {
      const int from = x + fm.horizontalAdvance(line.text.left(u));
      const int width = fm.horizontalAdvance(line.text.mid(u, 1));
      const int thickness = std::max(1, fm.lineWidth());
      painter.fillRect(QRect(from, y + fm.ascent() + 1, width, thickness), ink);
    }
    y += lineHeight;
  }
  return height;
}

bool TCanvas::DrawEdge(TRect& r, unsigned edge, unsigned sides) {
  // Outer border first, then the inner one just inside it.
  struct Pass {
    unsigned raised, sunken;
    int raisedTopLeft, raisedBottomRight, sunkenTopLeft, sunkenBottomRight;
  };
  const Pass passes[2] = {
      {BDR_RAISEDOUTER, BDR_SUNKENOUTER, COLOR_3DLIGHT, COLOR_3DDKSHADOW, COLOR_BTNSHADOW,
       COLOR_BTNHIGHLIGHT},
      {BDR_RAISEDINNER, BDR_SUNKENINNER, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW, COLOR_3DDKSHADOW,
       COLOR_3DLIGHT},
  };
  TRect inner = r;
  for (const Pass& pass : passes) {
    int topLeft, bottomRight;
    if (edge & pass.raised) {
      topLeft = pass.raisedTopLeft;
      bottomRight = pass.raisedBottomRight;
    } else if (edge & pass.sunken) {
      topLeft = pass.sunkenTopLeft;
      bottomRight = pass.sunkenBottomRight;
    } else {
      continue;
    }
    const TColorValue light = GetSysColor(topLeft), dark = GetSysColor(bottomRight);
    if (inner.IsEmpty()) break;
    if (sides & BF_BOTTOM) {
      FillRect({inner.Left, inner.Bottom - 1, inner.Right, inner.Bottom}, CreateSolidBrush(dark));
      --inner.Bottom;
    }
    if (sides & BF_RIGHT) {
      FillRect({inner.Right - 1, inner.Top, inner.Right, inner.Bottom}, CreateSolidBrush(dark));
      --inner.Right;
    }
    if (sides & BF_TOP) {
      FillRect({inner.Left, inner.Top, inner.Right, inner.Top + 1}, CreateSolidBrush(light));
      ++inner.Top;
    }
    if (sides & BF_LEFT) {
      FillRect({inner.Left, inner.Top, inner.Left + 1, inner.Bottom}, CreateSolidBrush(light));
      ++inner.Left;
    }
  }
  if (sides & BF_ADJUST) r = inner;
  return true;
}

void TCanvas::BitBlt(int x, int y, int w, int h, const TCanvas& source, int sx, int sy,
                     unsigned rop) {
  // A copy within one surface reads the pixels as they were before it.
  const TCanvas* from = &source;
  TCanvas snapshot(0, 0);
  if (from == this) {
    snapshot = *this;
    from = &snapshot;
  }
  const bool toMono = bitsPerPixel_ == 1 && from->bitsPerPixel_ != 1;
  const bool fromMono = from->bitsPerPixel_ == 1 && bitsPerPixel_ != 1;
  const TRect d = ToDevice(TRect{x, y, x + w, y + h});
  const int sdx = from->ToDevice(sx), sdy = from->ToDevice(sy);
  for (int j = 0; j < d.Height(); ++j) {
    for (int i = 0; i < d.Width(); ++i) {
      const int dx = d.Left + i, dy = d.Top + j;
      if (!Visible(dx, dy)) continue;
      TColorValue s = from->DevicePixel(sdx + i, sdy + j);
      if (s == InvalidColor) continue;
      if (toMono)
        s = (s == from->bkColor_) ? 0xFFFFFF : 0;
      else if (fromMono)
        s = (s == 0) ? textColor_ : bkColor_;
      Plot(dx, dy, ApplyRop(rop, s, GetPixel(dx, dy)));
    }
  }
}

void TCanvas::Draw(int x, int y, const TBitmap& picture) {
  for (int j = 0; j < picture.Height(); ++j)
    for (int i = 0; i < picture.Width(); ++i) SetPixel(x + i, y + j, picture.Pixel(i, j));
}

void TCanvas::DrawTransparent(int x, int y, const TBitmap& picture, TColorValue transparent) {
  const int w = picture.Width(), h = picture.Height();
  if (w <= 0 || h <= 0) return;
  // Scaled with premultiplied alpha, so the left-out colour does not bleed
  // into the edges of what is kept.
  QImage keyed(w, h, QImage::Format_ARGB32);
  for (int j = 0; j < h; ++j)
    for (int i = 0; i < w; ++i) {
      const TColorValue c = picture.Pixel(i, j);
      keyed.setPixel(i, j, c == transparent ? 0u : ToQRgb(c));
    }
  const TRect d = ToDevice(TRect{x, y, x + w, y + h});
  if (d.IsEmpty()) return;
  const QImage scaled =
      keyed.convertToFormat(QImage::Format_ARGB32_Premultiplied)
          .scaled(d.Width(), d.Height(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
          .convertToFormat(QImage::Format_ARGB32_Premultiplied);
  for (int j = 0; j < d.Height(); ++j) {
    const QRgb* row = reinterpret_cast<const QRgb*>(scaled.constScanLine(j));
    for (int i = 0; i < d.Width(); ++i) {
      const QRgb s = row[i];
      const int a = qAlpha(s);
      const int dx = d.Left + i, dy = d.Top + j;
      if (a == 0 || !Visible(dx, dy)) continue;
      const TColorValue under = DevicePixel(dx, dy);
      const auto blend = [a](int src, int dst) { return src + (dst * (255 - a) + 127) / 255; };
      Plot(dx, dy,
           RGBColor(blend(qRed(s), RedOf(under)), blend(qGreen(s), GreenOf(under)),
                    blend(qBlue(s), BlueOf(under))));
    }
  }
}

}  // namespace vizuvod

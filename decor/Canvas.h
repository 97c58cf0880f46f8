// The drawing layer: the platform's device drawing calls, kept to their
// exact pixel semantics, over a QImage surface.
//
// The header and the gradient are written in these terms (FillRect with
// right and bottom edges excluded, LineTo leaving out its end point, DrawText
// with its word breaking and '&' prefixes, DrawEdge, BitBlt with raster
// operations), so they give the same pixels on screen and in tests. Every
// surface stores 32-bit pixels; the colour depth it reports (GetDeviceCaps)
// is declared when it is made, so a 256-colour display can be stood in for.
//
// A surface has a pixel ratio: all its calls take logical coordinates, and a
// logical edge x falls on the device pixel edge round(x * ratio). At ratio 1
// the two are the same; above it, rectangles, edges and text are drawn at
// the device's own density with the same layout in logical pixels.
#pragma once

#include <QFont>
#include <QImage>
#include <QString>
#include <optional>

#include "Colors.h"
#include "Fonts.h"
#include "Geometry.h"
#include "core/Bitmap.h"

namespace vizuvod {

// a * b / c in 64 bits, rounded to nearest with halves away from zero; -1
// when c is 0 or the result does not fit in 32 bits, as the platform does.
int MulDiv(int a, int b, int c);

// The platform's constants, by its own names and values, a few to a line.
// clang-format off
enum TDeviceCap : int { BITSPIXEL = 12, PLANES = 14 };
enum TBkMode : int { TRANSPARENT = 1, OPAQUE = 2 };
enum TPenStyleCode : int {
  PS_SOLID = 0, PS_DASH = 1, PS_DOT = 2, PS_DASHDOT = 3, PS_DASHDOTDOT = 4, PS_NULL = 5,
  PS_INSIDEFRAME = 6
};
enum THatchStyle : int {
  HS_HORIZONTAL = 0, HS_VERTICAL = 1, HS_FDIAGONAL = 2, HS_BDIAGONAL = 3, HS_CROSS = 4,
  HS_DIAGCROSS = 5
};
enum TBrushKind : unsigned { BS_SOLID = 0, BS_NULL = 1, BS_HATCHED = 2 };

enum TDrawTextFlag : unsigned {
  DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4, DT_BOTTOM = 0x8,
  DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_NOCLIP = 0x100, DT_CALCRECT = 0x400,
  DT_NOPREFIX = 0x800
};

enum TEdgeBorder : unsigned {
  BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4, BDR_SUNKENINNER = 0x8,
  EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER, EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
  EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER, EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER
};
enum TEdgeSide : unsigned {
  BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8,
  BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM, BF_ADJUST = 0x2000
};

enum TRasterOp : unsigned {
  SRCCOPY = 0x00CC0020, SRCAND = 0x008800C6, SRCPAINT = 0x00EE0086, NOTSRCCOPY = 0x00330008
};
// clang-format on

// A brush as the platform's brush record gives it.
struct TLogBrush {
  unsigned Style = BS_SOLID;
  TColorValue Color = 0;
  int Hatch = 0;
};

// CreateSolidBrush / CreateBrushIndirect: no brush (nullopt) for a record the
// platform refuses, such as a hatch index outside 0..5.
std::optional<TLogBrush> CreateSolidBrush(TColorValue color);
std::optional<TLogBrush> CreateBrushIndirect(const TLogBrush& record);

struct TLogPen {
  int Style = PS_SOLID;
  int Width = 1;
  TColorValue Color = 0;
};

// CreatePen: like the platform, styles other than solid, null and
// inside-frame are drawn solid when the width is above 1; width 0 is 1.
TLogPen CreatePen(int style, int width, TColorValue color);

class TCanvas {
 public:
  // A surface of the given logical size, white, reporting the given colour
  // depth (1 makes a monochrome surface that holds only black and white).
  TCanvas(int width, int height, int bitsPerPixel = 32, qreal pixelRatio = 1);

  int Width() const { return width_; }
  int Height() const { return height_; }
  qreal PixelRatio() const { return ratio_; }
  // The device pixels, carrying the pixel ratio.
  const QImage& Image() const { return image_; }
  // Resizes the surface, keeping its ratio; pixels are not kept.
  void SetSize(int width, int height) { SetSize(width, height, ratio_); }
  void SetSize(int width, int height, qreal pixelRatio);
  // The device pixel edge of a logical edge.
  int ToDevice(int logical) const;

  int GetDeviceCaps(int cap) const;

  // Pixel access in 0x00BBGGRR; InvalidColor (the engine's) outside the
  // surface. Above ratio 1 a logical pixel reads its top-left device pixel
  // and is written whole.
  TColorValue GetPixel(int x, int y) const;
  void SetPixel(int x, int y, TColorValue color);

  // Background used by hatch gaps and opaque text, and by colour <->
  // monochrome copies; defaults white, opaque. Each returns the previous.
  TColorValue SetBkColor(TColorValue color);
  int SetBkMode(int mode);
  TColorValue SetTextColor(TColorValue color);
  TColorValue BkColor() const { return bkColor_; }
  int BkMode() const { return bkMode_; }
  TColorValue TextColor() const { return textColor_; }
  // Where the 8 x 8 hatch patterns are anchored, in surface coordinates.
  void SetBrushOrigin(TPoint origin) { brushOrigin_ = origin; }
  TPoint BrushOrigin() const { return brushOrigin_; }
  // Limits all drawing to a rectangle; nullopt lifts the limit.
  void SetClipRect(std::optional<TRect> clip) { clip_ = clip; }
  std::optional<TRect> ClipRect() const { return clip_; }

  // Fills left/top edges included, right/bottom excluded; no brush, no fill.
  void FillRect(const TRect& r, const std::optional<TLogBrush>& brush);

  TLogPen SelectPen(const TLogPen& pen);
  void MoveToEx(int x, int y);
  // A line from the current position to (x, y), the end point left out;
  // (x, y) becomes the current position.
  void LineTo(int x, int y);

  // The selected font draws text in its own colour (the text colour).
  void SelectFont(const TFont& font);
  const QFont& SelectedFont() const { return font_; }
  int TextHeight(const QString& text) const;
  int TextWidth(const QString& text) const;
  // DrawText: '&' underlines the next character and '&&' shows one (unless
  // DT_NOPREFIX); DT_WORDBREAK breaks lines between words within r's width;
  // DT_CALCRECT only measures, moving r's right and bottom edges. Returns
  // the height of the text.
  int DrawText(const QString& text, TRect& r, unsigned format);

  // DrawEdge: the 3-D border lines in the system colours; BF_ADJUST shrinks
  // r past them.
  bool DrawEdge(TRect& r, unsigned edge, unsigned sides);

  // BitBlt from (sx, sy) of source to (x, y) here, w x h pixels. Colour to
  // monochrome: the source's background colour becomes white, all else
  // black; monochrome to colour: black takes this surface's text colour,
  // white its background colour. Above ratio 1 the device pixels of the
  // destination are copied one for one from the source's, which is meant to
  // have the same ratio.
  void BitBlt(int x, int y, int w, int h, const TCanvas& source, int sx, int sy, unsigned rop);

  // Copies a picture's pixels with their top-left corner at (x, y).
  void Draw(int x, int y, const TBitmap& picture);

  // The picture at its own logical size with its top-left corner at (x, y),
  // smoothly scaled to the device pixels; its pixels of the transparent
  // colour leave this surface as it was, and the scaled edges between them
  // and the others blend.
  void DrawTransparent(int x, int y, const TBitmap& picture, TColorValue transparent);

 private:
  TRect ToDevice(const TRect& r) const;
  bool Visible(int x, int y) const;  // device pixels from here on
  void Plot(int x, int y, TColorValue color);
  TColorValue DevicePixel(int x, int y) const;
  void PlotLine(int x0, int y0, int x1, int y1);

  QImage image_;
  int width_ = 0, height_ = 0;
  qreal ratio_ = 1;
  int bitsPerPixel_;
  TColorValue bkColor_ = 0xFFFFFF;
  int bkMode_ = OPAQUE;
  TColorValue textColor_ = 0;
  TPoint brushOrigin_;
  std::optional<TRect> clip_;
  TLogPen pen_;
  TPoint penPos_;
  int dashPhase_ = 0;
  QFont font_;
};

}  // namespace vizuvod

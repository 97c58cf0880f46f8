// TglWizardHeader: the banner across the top of each wizard page - caption,
// word-wrapped comment, a picture (or a symbol box) at the right end, an
// etched bottom edge and a gradient strip along the bottom.
//
// It paints into a drawing surface of its own (Canvas()) in the platform's
// drawing terms, at the screen's device pixel ratio, and the widget shows
// that surface; so a test reads the very
// pixels the screen gets, and a paint can run before the header is shown.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <exception>
#include <memory>

#include "Canvas.h"
#include "Fonts.h"
#include "Gradient.h"
#include "core/Bitmap.h"
#include "core/Errors.h"

namespace vizuvod {

// The string list's index error.
class EStringListError : public Exception {
 public:
  explicit EStringListError(int index)
      : Exception("List index out of bounds (" + std::to_string(index) + ")") {}
};

enum TAlign { alNone, alTop };

class TglWizardHeader : public QWidget {
  Q_OBJECT

 public:
  explicit TglWizardHeader(QWidget* parent = nullptr);
  ~TglWizardHeader() override;

  const QStringList& Comments() const { return comments_; }
  void SetComments(const QStringList& value);
  const QStringList& Captions() const { return captions_; }
  void SetCaptions(const QStringList& value);

  int PageNo() const { return pageNo_; }
  // Paints at once, changed or not; a negative value fails here with
  // EStringListError, the header's pixels untouched.
  void SetPageNo(int value);

  const TFont& CommentFont() const { return commentFont_; }
  void SetCommentFont(const TFont& value);
  // The control's own font, made bold at construction.
  const TFont& CaptionFont() const { return captionFont_; }
  void SetCaptionFont(const TFont& value);
  const TFont& SymbolFont() const { return symbolFont_; }
  void SetSymbolFont(const TFont& value);

  const QString& Symbol() const { return symbol_; }
  void SetSymbol(const QString& value);

  // Settings copied in; the header never listens to its gradient, so a
  // change made through Gradient() shows at the next paint.
  TGradient& Gradient() { return gradient_; }
  void SetGradient(const TGradient& value);

  // Reading makes an empty picture when there is none; writing copies the
  // picture and does not repaint.
  TBitmap& Glyph();
  void SetGlyph(const TBitmap& value);
  bool HasGlyph() const { return glyph_ != nullptr; }

  bool BufferedDraw() const { return bufferedDraw_; }
  void SetBufferedDraw(bool value) { bufferedDraw_ = value; }

  TAlign Align() const { return align_; }
  void SetAlign(TAlign value);

  // The surface the header paints and the screen shows.
  TCanvas& Canvas() { return canvas_; }
  const TCanvas& Canvas() const { return canvas_; }

  // Draws the whole header on Canvas() at the widget's device pixel ratio.
  // Fails with EStringListError for a negative PageNo before anything is
  // drawn.
  void Paint() { PaintAt(devicePixelRatioF()); }
  // The same at a given ratio: the layout stays in logical pixels, lines,
  // text and the strip are drawn at the device's density and the picture is
  // scaled smoothly.
  void PaintAt(qreal pixelRatio);

 signals:
  // A paint from the framework failed: the text for the application's error
  // report, which the window connects. Unconnected, it is written as a warning.
  void PaintFailed(const QString& message);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FollowParent();
  void DrawTransparentGlyph(TCanvas& target, int x, int y) const;

  QStringList comments_;
  QStringList captions_;
  int pageNo_ = 0;
  TFont commentFont_;
  TFont captionFont_;
  TFont symbolFont_;
  QString symbol_;
  TGradient gradient_;
  std::unique_ptr<TBitmap> glyph_;
  bool bufferedDraw_ = false;
  TAlign align_ = alTop;
  TCanvas canvas_;
  bool showOnly_ = false;  // the surface is already painted; just show it
};

}  // namespace vizuvod

// The wizard header's properties and its paint, step by step as the page
// banner is built: background, caption, centred comment, picture or symbol,
// etched edge, gradient strip.
#include "glWizardHeader.h"

#include <QEvent>
#include <QMetaMethod>
#include <QPainter>
#include <QtGlobal>
#include <algorithm>
#include <optional>

namespace vizuvod {

namespace {

// The line PageNo selects, the last one past the end, the placeholder for
// an empty list; a negative index is the list's own index error.
QString LineFor(const QStringList& lines, int pageNo, const char* placeholder) {
  if (lines.isEmpty()) return QString::fromLatin1(placeholder);
  const int index = std::min<qsizetype>(pageNo, lines.size() - 1);
  if (index < 0) throw EStringListError(index);
  return lines[index];
}

}  // namespace

TglWizardHeader::TglWizardHeader(QWidget* parent) : QWidget(parent), canvas_(0, 0) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::NoFocus);
  gradient_.SetActive(true);
  gradient_.SetFromColor(clHighlight);
  gradient_.SetToColor(clWindow);
  gradient_.SetOrientation(fgdVertical);
  captionFont_.Style |= fsBold;
  symbolFont_.Name = QStringLiteral("Wingdings");
  symbolFont_.SetSize(26);
  symbolFont_.Color = clHighlightText;
  symbolFont_.Style |= fsBold;
  resize(parent ? parent->width() : width(), 60);
  SetAlign(alTop);
}

TglWizardHeader::~TglWizardHeader() = default;

void TglWizardHeader::SetComments(const QStringList& value) {
  comments_ = value;
  update();
}

void TglWizardHeader::SetCaptions(const QStringList& value) {
  captions_ = value;
  update();
}

void TglWizardHeader::SetPageNo(int value) {
  pageNo_ = value;
  Paint();
  if (isVisible()) {
    showOnly_ = true;
    repaint();
    showOnly_ = false;
  }
}

void TglWizardHeader::SetCommentFont(const TFont& value) {
  commentFont_.Assign(value);
  update();
}

void TglWizardHeader::SetCaptionFont(const TFont& value) {
  captionFont_.Assign(value);
  update();
}

void TglWizardHeader::SetSymbolFont(const TFont& value) {
  symbolFont_.Assign(value);
  update();
}

void TglWizardHeader::SetSymbol(const QString& value) {
  symbol_ = value;
  update();
}

void TglWizardHeader::SetGradient(const TGradient& value) { gradient_.Assign(value); }

TBitmap& TglWizardHeader::Glyph() {
  if (!glyph_) glyph_ = std::make_unique<TBitmap>();
  return *glyph_;
}

void TglWizardHeader::SetGlyph(const TBitmap& value) { Glyph().Assign(value); }

void TglWizardHeader::SetAlign(TAlign value) {
  align_ = value;
  if (parentWidget()) {
    parentWidget()->removeEventFilter(this);
    if (align_ == alTop) parentWidget()->installEventFilter(this);
  }
  FollowParent();
}

// Docked to the top: the parent's full width, the header's own height.
void TglWizardHeader::FollowParent() {
  if (align_ == alTop && parentWidget()) setGeometry(0, 0, parentWidget()->width(), height());
}

bool TglWizardHeader::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) FollowParent();
  return QWidget::eventFilter(watched, event);
}

void TglWizardHeader::resizeEvent(QResizeEvent* event) {
  if (canvas_.Width() != width() || canvas_.Height() != height())
    canvas_.SetSize(width(), height());
  QWidget::resizeEvent(event);
}

void TglWizardHeader::paintEvent(QPaintEvent*) {
  if (!showOnly_) {
    // Exceptions must not cross the event loop; they go to the report.
    try {
      Paint();
    } catch (const std::exception& error) {
      if (isSignalConnected(QMetaMethod::fromSignal(&TglWizardHeader::PaintFailed)))
        emit PaintFailed(QString::fromUtf8(error.what()));
      else
        qWarning("%s", error.what());
    }
  }
  QPainter painter(this);
  painter.drawImage(0, 0, canvas_.Image());
}

void TglWizardHeader::PaintAt(qreal pixelRatio) {
  // A longer symbol is cut for good to its first character (a surrogate
  // pair counts as one).
  if (symbol_.size() > 1) {
    const qsizetype first = symbol_[0].isHighSurrogate() && symbol_.size() > 1 ? 2 : 1;
    symbol_.truncate(first);
  }

  const QString caption = LineFor(captions_, pageNo_, "Caption");
  const QString comment = LineFor(comments_, pageNo_, "Some comment text");

  const int W = width(), H = height();
  if (canvas_.Width() != W || canvas_.Height() != H || canvas_.PixelRatio() != pixelRatio)
    canvas_.SetSize(W, H, pixelRatio);
  std::optional<TCanvas> buffer;
  if (bufferedDraw_) buffer.emplace(W, H, canvas_.GetDeviceCaps(BITSPIXEL), pixelRatio);
  TCanvas& c = buffer ? *buffer : canvas_;

  const TColorValue window = ColorToRGB(clWindow);
  c.FillRect({0, 0, W, H}, CreateSolidBrush(window));
  c.SetBkColor(window);
  c.SetBkMode(OPAQUE);

  TRect R{20, 8, W - 60, H - 5};
  c.SelectFont(captionFont_);
  c.DrawText(caption, R, DT_SINGLELINE);

  R.Top += c.TextHeight(QStringLiteral("Hy"));
  R.Left += 20;
  c.SelectFont(commentFont_);
  TRect R2 = R;
  c.DrawText(comment, R2, DT_CALCRECT | DT_WORDBREAK);
  OffsetRect(R2, 0, (R.Bottom - R2.Bottom) / 2);
  c.DrawText(comment, R2, DT_WORDBREAK);

  if (glyph_ && glyph_->Width() > 0) {
    const int m = (H - glyph_->Height()) / 2;
    DrawTransparentGlyph(c, W - glyph_->Width() - m, m);
  } else if (!symbol_.isEmpty()) {
    TRect box{W - 50, 5, W - 5, H - 5};
    if (gradient_.Active()) box.Bottom -= 3;
    const TColorValue highlight = ColorToRGB(clHighlight);
    c.FillRect(box, CreateSolidBrush(highlight));
    c.SetBkColor(highlight);
    c.SelectFont(symbolFont_);
    c.SetBkMode(TRANSPARENT);
    c.DrawText(symbol_, box, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  }

  TRect client{0, 0, W, H};
  c.DrawEdge(client, EDGE_ETCHED, BF_BOTTOM);

  if (gradient_.Active()) gradient_.Draw(c, {0, H - 5, W, H - 1}, PS_DASH, 1);

  if (buffer) canvas_.BitBlt(0, 0, W, H, *buffer, 0, 0, SRCCOPY);
}

// The glyph is composited off-screen through a monochrome mask keyed on
// its bottom-left pixel and reaches the target in one copy: pixels of that
// colour leave the target as it was, all others replace it. Above ratio 1
// the picture is scaled smoothly instead, keyed on the same colour.
void TglWizardHeader::DrawTransparentGlyph(TCanvas& target, int x, int y) const {
  const int w = glyph_->Width(), h = glyph_->Height();
  const TColorValue transparent = glyph_->Pixel(0, h - 1);
  if (target.PixelRatio() != 1) return target.DrawTransparent(x, y, *glyph_, transparent);
  const int depth = target.GetDeviceCaps(BITSPIXEL);

  TCanvas work(w, h, depth);
  work.Draw(0, 0, *glyph_);

  TCanvas mask(w, h, 1);
  const TColorValue workBk = work.SetBkColor(transparent);
  mask.BitBlt(0, 0, w, h, work, 0, 0, SRCCOPY);
  work.SetBkColor(workBk);

  TCanvas save(w, h, depth);
  save.BitBlt(0, 0, w, h, target, x, y, SRCCOPY);
  save.BitBlt(0, 0, w, h, mask, 0, 0, SRCAND);

  mask.BitBlt(0, 0, w, h, mask, 0, 0, NOTSRCCOPY);
  work.BitBlt(0, 0, w, h, mask, 0, 0, SRCAND);
  work.BitBlt(0, 0, w, h, save, 0, 0, SRCPAINT);

  target.BitBlt(x, y, w, h, work, 0, 0, SRCCOPY);
}

}  // namespace vizuvod

// The classic group box look: frame from half the caption's height down,
// highlight line under the shadow line, caption on the window colour.
#include "GroupBox.h"

#include <QPainter>
#include <QStyle>

namespace vizuvod {

void TGroupBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QFontMetrics metrics(font());
  const int textHeight = metrics.height();

  QRect frame(0, textHeight / 2 - 1, width(), height() - (textHeight / 2 - 1));
  painter.setPen(palette().color(QPalette::Light));
  painter.drawRect(frame.adjusted(1, 1, -1, -1));
  painter.setPen(palette().color(QPalette::Dark));
  painter.drawRect(frame.adjusted(0, 0, -2, -2));

  if (title().isEmpty()) return;
  const QRect text(8, 0, metrics.horizontalAdvance(title()), textHeight);
  painter.fillRect(text, palette().color(QPalette::Window));
  style()->drawItemText(&painter, text, Qt::AlignLeft | Qt::AlignTop | Qt::TextShowMnemonic,
                        palette(), isEnabled(), title(), QPalette::WindowText);
}

}  // namespace vizuvod

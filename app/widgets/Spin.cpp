// The numeric spin field, its arrow pair and the repeating arrow.
//
// The field's text is the only store of the number; everything else (the
// range rule, stepping with 32-bit wrap, the character filter, the clamp on
// leaving the field) works from the text at the moment it is needed.
#include "Spin.h"

#include <algorithm>

#include <qdrawutil.h>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QTimer>

#include "WidgetsPlatform.h"

// Outside any namespace, as the resource initialiser requires.
static void InitWidgetsResources() { Q_INIT_RESOURCE(widgets); }

namespace vizuvod {

// ---- Number text ----------------------------------------------------------

namespace {
int HexDigit(QChar c) {
  const char16_t u = c.unicode();
  if (u >= '0' && u <= '9') return u - '0';
  if (u >= 'a' && u <= 'f') return u - 'a' + 10;
  if (u >= 'A' && u <= 'F') return u - 'A' + 10;
  return -1;
}
}  // namespace

bool TryStrToInt32(const QString& text, std::int32_t& value) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  while (i < n && text[i] == u' ') ++i;
  if (i == n) return false;

  bool hex = false;
  bool negative = false;
  if (text[i] == u'$' || text[i] == u'x' || text[i] == u'X') {
    hex = true;
    ++i;
  } else if (text[i] == u'0' && i + 1 < n && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
    hex = true;
    i += 2;
  } else if (text[i] == u'+' || text[i] == u'-') {
    negative = text[i] == u'-';
    ++i;
  }
  if (i == n) return false;

  // Accumulated in 64 bits and checked after every digit, so long runs of
  // leading zeros are fine and nothing overflows.
  std::uint64_t magnitude = 0;
  if (hex) {
    for (; i < n; ++i) {
      const int d = HexDigit(text[i]);
      if (d < 0) return false;
      magnitude = magnitude * 16 + std::uint64_t(d);
      if (magnitude > 0xFFFFFFFFull) return false;
    }
    value = std::int32_t(std::uint32_t(magnitude));
    return true;
  }
  const std::uint64_t limit = negative ? 2147483648ull : 2147483647ull;
  for (; i < n; ++i) {
    const char16_t u = text[i].unicode();
    if (u < '0' || u > '9') return false;
    magnitude = magnitude * 10 + std::uint64_t(u - '0');
    if (magnitude > limit) return false;
  }
  value = negative ? std::int32_t(std::uint32_t(0) - std::uint32_t(magnitude))
                   : std::int32_t(magnitude);
  return true;
}

std::int32_t ClampToRange(std::int32_t value, std::int32_t minValue, std::int32_t maxValue) {
  if (minValue == maxValue) return value;
  if (value < minValue) return minValue;
  if (value > maxValue) return maxValue;
  return value;
}

// ---- Repeat timer ----------------------------------------------------------

namespace {
// A precise single-shot QTimer run on a schedule: each tick is due a whole
// interval after the previous tick's due time, not after the moment it ran,
// so a late tick (a busy machine) does not push back the ones after it. A
// coarse timer may fire 5 % early or late, enough to gain or lose a step.
class TQtRepeatTimer : public TRepeatTimer {
 public:
  TQtRepeatTimer() {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
    clock_.start();
  }
  void Start(int intervalMs) override {
    interval_ = intervalMs;
    active_ = true;
    ScheduleAt(clock_.elapsed() + intervalMs);
  }
  void SetInterval(int intervalMs) override {
    interval_ = intervalMs;
    // Inside a tick "now" is that tick's due time.
    if (active_) ScheduleAt((inTick_ ? tickDue_ : clock_.elapsed()) + intervalMs);
  }
  void Stop() override {
    active_ = false;
    timer_.stop();
  }
  bool IsActive() const override { return active_; }
  int Interval() const override { return interval_; }

 private:
  void ScheduleAt(qint64 due) {
    due_ = due;
    ++schedules_;
    timer_.start(int(std::max<qint64>(0, due - clock_.elapsed())));
  }
  void Tick() {
    tickDue_ = due_;
    const unsigned schedules = schedules_;
    inTick_ = true;
    struct Leave {
      bool& flag;
      ~Leave() { flag = false; }
    } leave{inTick_};
    if (OnTimer) OnTimer();
    // Not restarted or stopped by the handler: the next tick on schedule.
    if (active_ && schedules_ == schedules) ScheduleAt(tickDue_ + interval_);
  }

  QTimer timer_;
  QElapsedTimer clock_;
  qint64 due_ = 0;
  qint64 tickDue_ = 0;
  unsigned schedules_ = 0;
  int interval_ = 0;
  bool active_ = false;
  bool inTick_ = false;
};

std::unique_ptr<TRepeatTimer> MakeRepeatTimer() {
  if (RepeatTimerHook()) return RepeatTimerHook()();
  return std::make_unique<TQtRepeatTimer>();
}

constexpr int FirstRepeatDelayMs = 400;
constexpr int RepeatIntervalMs = 100;
constexpr int MinArrowPairWidth = 15;
}  // namespace

TRepeatTimerFactory& RepeatTimerHook() {
  static TRepeatTimerFactory factory;
  return factory;
}

// ---- Glyphs --------------------------------------------------------------------

QImage BuiltinSpinUpGlyph() {
  InitWidgetsResources();
  return QImage(QStringLiteral(":/SPINUP"));
}

QImage BuiltinSpinDownGlyph() {
  InitWidgetsResources();
  return QImage(QStringLiteral(":/SPINDOWN"));
}

namespace {
// One image of a glyph strip with its transparent colour taken out.
QImage GlyphImage(const QImage& strip, int numGlyphs, int index) {
  if (strip.isNull()) return {};
  const int w = strip.width() / numGlyphs;
  QImage img = strip.copy(index * w, 0, w, strip.height()).convertToFormat(QImage::Format_ARGB32);
  const QRgb transparent = strip.pixel(0, strip.height() - 1) | 0xFF000000u;
  for (int y = 0; y < img.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x)
      if ((row[x] | 0xFF000000u) == transparent) row[x] = 0;
  }
  return img;
}

// The glyph's shape in one colour, for the greyed look.
QImage Silhouette(const QImage& glyph, QColor colour) {
  QImage img = glyph;
  for (int y = 0; y < img.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(img.scanLine(y));
    for (int x = 0; x < img.width(); ++x)
      if (qAlpha(row[x]) != 0) row[x] = colour.rgba();
  }
  return img;
}
}  // namespace

// ---- One arrow ---------------------------------------------------------------

TTimerSpeedButton::TTimerSpeedButton(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

TTimerSpeedButton::~TTimerSpeedButton() = default;

void TTimerSpeedButton::IncludeState(TTimeBtnState s) {
  state_ = std::uint8_t(state_ | std::uint8_t(s));
  update();
}

void TTimerSpeedButton::ExcludeState(TTimeBtnState s) {
  state_ = std::uint8_t(state_ & ~std::uint8_t(s));
  update();
}

void TTimerSpeedButton::SetGlyph(const QImage& glyph) {
  glyph_ = glyph;
  if (!glyph_.isNull() && glyph_.width() % glyph_.height() == 0) {
    const int n = glyph_.width() / glyph_.height();
    SetNumGlyphs(n > 4 ? 1 : n);
  }
  update();
}

void TTimerSpeedButton::SetNumGlyphs(int n) {
  numGlyphs_ = std::clamp(n, 1, 4);
  update();
}

void TTimerSpeedButton::SetDown(bool down) {
  if (down_ == down) return;
  down_ = down;
  update();
}

void TTimerSpeedButton::Click() {
  if (OnClick) OnClick(this);
}

void TTimerSpeedButton::TimerExpired() {
  // A modal window that came up meanwhile owns the mouse now; the release
  // will never reach this arrow.
  const QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal != window() && !modal->isAncestorOf(this)) {
    MouseCaptureLost();
    return;
  }
  timer_->SetInterval(RepeatIntervalMs);
  if (down_ && captured_) {
    try {
      Click();
    } catch (...) {
      timer_->Stop();
      throw;
    }
  }
}

void TTimerSpeedButton::MouseCaptureLost() {
  captured_ = false;
  dragging_ = false;
  SetDown(false);
  if (timer_) timer_->Stop();
}

void TTimerSpeedButton::mousePressEvent(QMouseEvent* e) {
  if (OnPress) OnPress(this, e->button());
  captured_ = true;
  if (e->button() == Qt::LeftButton) {
    dragging_ = true;
    SetDown(true);
  }
  if (HasState(TTimeBtnState::tbAutoRepeat)) {
    if (!timer_) {
      timer_ = MakeRepeatTimer();
      timer_->OnTimer = [this] { TimerExpired(); };
    }
    timer_->Start(FirstRepeatDelayMs);
  }
  e->accept();
}

void TTimerSpeedButton::mouseMoveEvent(QMouseEvent* e) {
  if (dragging_) SetDown(rect().contains(e->position().toPoint()));
}

void TTimerSpeedButton::mouseReleaseEvent(QMouseEvent* e) {
  captured_ = false;
  // Stopped before the click, so a failing click cannot leave it running.
  if (timer_) timer_->Stop();
  if (e->button() == Qt::LeftButton && dragging_) {
    dragging_ = false;
    SetDown(false);
    if (rect().contains(e->position().toPoint())) Click();
  }
}

void TTimerSpeedButton::changeEvent(QEvent* e) {
  if (e->type() == QEvent::EnabledChange && !isEnabled()) MouseCaptureLost();
  QWidget::changeEvent(e);
}

void TTimerSpeedButton::hideEvent(QHideEvent* e) {
  MouseCaptureLost();
  QWidget::hideEvent(e);
}

void TTimerSpeedButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QPalette& pal = palette();
  const QRect r = rect();
  p.fillRect(r, pal.color(QPalette::Button));

  if (down_) {
    // Pressed: one ring, shade above and left, light below and right.
    const int x0 = r.left(), y0 = r.top(), x1 = r.right(), y1 = r.bottom();
    p.setPen(pal.color(QPalette::Dark));
    p.drawPolyline(QPolygon({{x0, y1 - 1}, {x0, y0}, {x1 - 1, y0}}));
    p.setPen(pal.color(QPalette::Light));
    p.drawPolyline(QPolygon({{x0, y1}, {x1, y1}, {x1, y0}}));
  } else {
    qDrawWinPanel(&p, r, pal, false);
  }

  const int shift = down_ ? 1 : 0;
  const bool enabled = isEnabled();
  int index = 0;
  if (!enabled && numGlyphs_ > 1)
    index = 1;
  else if (down_ && numGlyphs_ > 2)
    index = 2;
  const QImage img = GlyphImage(glyph_, numGlyphs_, index);
  if (!img.isNull()) {
    const QPoint at((r.width() - img.width()) / 2 + shift, (r.height() - img.height()) / 2 + shift);
    if (!enabled && numGlyphs_ < 2) {
      p.drawImage(at + QPoint(1, 1), Silhouette(img, pal.color(QPalette::Light)));
      p.drawImage(at, Silhouette(img, pal.color(QPalette::Dark)));
    } else {
      p.drawImage(at, img);
    }
  }

  if (HasState(TTimeBtnState::tbFocusMark)) {
    QRect f = r.adjusted(3, 3, -3, -3).translated(shift, shift);
    p.setPen(QPen(pal.color(QPalette::WindowText), 1, Qt::DotLine));
    p.setBrush(Qt::NoBrush);
    p.drawRect(f.adjusted(0, 0, -1, -1));
  }
}

// ---- The arrow pair ------------------------------------------------------------

TSpinButton::TSpinButton(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::NoFocus);
  auto make = [this] {
    auto* b = new TTimerSpeedButton(this);
    b->IncludeState(TTimeBtnState::tbAutoRepeat);
    b->OnClick = [this](TTimerSpeedButton* btn) {
      if (btn == upButton_) {
        if (OnUpClick) OnUpClick(this);
      } else if (OnDownClick) {
        OnDownClick(this);
      }
    };
    b->OnPress = [this](TTimerSpeedButton* btn, Qt::MouseButton button) {
      BtnMouseDown(btn, button);
    };
    b->show();
    return b;
  };
  upButton_ = make();
  downButton_ = make();
  SetUpGlyph(QImage());
  SetDownGlyph(QImage());
  resize(20, 25);
  AdjustSize();
  focusedButton_ = upButton_;
}

namespace {
// A null glyph puts the built-in arrow back, as a single image.
void AssignGlyph(TTimerSpeedButton* button, const QImage& glyph, QImage (*builtin)()) {
  if (glyph.isNull()) {
    button->SetGlyph(builtin());
    button->SetNumGlyphs(1);
  } else {
    button->SetGlyph(glyph);
  }
}
}  // namespace

void TSpinButton::SetUpGlyph(const QImage& glyph) {
  AssignGlyph(upButton_, glyph, BuiltinSpinUpGlyph);
}

void TSpinButton::SetDownGlyph(const QImage& glyph) {
  AssignGlyph(downButton_, glyph, BuiltinSpinDownGlyph);
}

void TSpinButton::SetTabStop(bool value) { setFocusPolicy(value ? Qt::StrongFocus : Qt::NoFocus); }

bool TSpinButton::CanTakeFocus(const QWidget* w) const {
  return w->isVisible() && w->isEnabled() && w->window()->isVisible();
}

void TSpinButton::SetFocusBtn(TTimerSpeedButton* btn) {
  if (!TabStop() || !CanTakeFocus(this) || btn == focusedButton_) return;
  focusedButton_->ExcludeState(TTimeBtnState::tbFocusMark);
  focusedButton_ = btn;
  if (hasFocus()) focusedButton_->IncludeState(TTimeBtnState::tbFocusMark);
}

void TSpinButton::BtnMouseDown(TTimerSpeedButton* btn, Qt::MouseButton button) {
  if (button == Qt::LeftButton) {
    if (TabStop() && CanTakeFocus(this)) SetFocusBtn(btn);
    QWidget* fc = focusControl_;
    if (fc && (fc->focusPolicy() & Qt::TabFocus) && CanTakeFocus(fc) && !fc->hasFocus())
      fc->setFocus(Qt::OtherFocusReason);
    else if (TabStop() && !hasFocus() && CanTakeFocus(this))
      setFocus(Qt::OtherFocusReason);
  }
  emit ArrowPressed();
}

void TSpinButton::AdjustSize() {
  if (width() < MinArrowPairWidth) resize(MinArrowPairWidth, height());
  const int w = width();
  const int h = height();
  const int upHeight = h / 2;
  upButton_->setGeometry(0, 0, w, upHeight);
  // The two arrows share one pixel row.
  downButton_->setGeometry(0, upHeight - 1, w, h - upHeight + 1);
}

void TSpinButton::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  AdjustSize();
}

void TSpinButton::focusInEvent(QFocusEvent* e) {
  focusedButton_->IncludeState(TTimeBtnState::tbFocusMark);
  QWidget::focusInEvent(e);
}

void TSpinButton::focusOutEvent(QFocusEvent* e) {
  focusedButton_->ExcludeState(TTimeBtnState::tbFocusMark);
  QWidget::focusOutEvent(e);
}

void TSpinButton::keyPressEvent(QKeyEvent* e) {
  switch (e->key()) {
    case Qt::Key_Space: focusedButton_->Click(); break;
    case Qt::Key_Up:
      SetFocusBtn(upButton_);
      upButton_->Click();
      break;
    case Qt::Key_Down:
      SetFocusBtn(downButton_);
      downButton_->Click();
      break;
    default: QWidget::keyPressEvent(e);
  }
}

// ---- The field -------------------------------------------------------------------

TSpinEdit::TSpinEdit(QWidget* parent) : QLineEdit(parent) {
  // Typed text must pass the character filter, which an input method's
  // commit would go around.
  setAttribute(Qt::WA_InputMethodEnabled, false);
  setFrame(false);  // the sunken border is drawn here, at the classic widths
  const int b = ClientOrigin().x();
  setContentsMargins(b, b, b, b);
  setText(QStringLiteral("0"));

  button_ = new TSpinButton(this);
  button_->resize(15, 17);
  button_->AdjustSize();
  button_->SetFocusControl(this);
  // Bound through virtual calls so a derived field's stepping drives the arrows too.
  button_->OnUpClick = [this](TSpinButton*) { StepUp(); };
  button_->OnDownClick = [this](TSpinButton*) { StepDown(); };
  button_->show();
  connect(button_, &TSpinButton::ArrowPressed, this, &TSpinEdit::ArrowPressed);
  connect(this, &QLineEdit::textChanged, this, &TSpinEdit::Change);
  SetEditRect();
}

TSpinEdit::~TSpinEdit() = default;

void TSpinEdit::SetEditorEnabled(bool v) {
  editorEnabled_ = v;
  setAcceptDrops(Editable());
}

void TSpinEdit::SetReadOnly(bool v) {
  setReadOnly(v);
  setAcceptDrops(Editable());
}

void TSpinEdit::SetCtl3D(bool v) {
  if (ctl3D_ == v) return;
  ctl3D_ = v;
  const int b = ClientOrigin().x();
  setContentsMargins(b, b, b, b);
  PlaceButton();
  update();
}

std::int32_t TSpinEdit::Value() const {
  std::int32_t v;
  return TryStrToInt32(text(), v) ? v : minValue_;
}

void TSpinEdit::SetValue(std::int32_t value) {
  // An equal text is left alone: setText would still drop the selection,
  // the caret position and the undo history.
  const QString text = QString::number(CheckValue(value));
  if (text != this->text()) setText(text);
}

void TSpinEdit::StepUp() {
  if (isReadOnly()) {
    DefaultBeep();
    return;
  }
  SetValue(std::int32_t(std::uint32_t(Value()) + std::uint32_t(increment_)));
}

void TSpinEdit::StepDown() {
  if (isReadOnly()) {
    DefaultBeep();
    return;
  }
  SetValue(std::int32_t(std::uint32_t(Value()) - std::uint32_t(increment_)));
}

bool TSpinEdit::AcceptsChar(QChar c) const {
  const char16_t u = c.unicode();
  if (!editorEnabled_ && (u >= 32 || u == 8)) return false;
  if (u >= '0' && u <= '9') return true;
  if (u == '+' || u == '-') return true;
  const QString sep = QLocale().decimalPoint();
  if (c == (sep.isEmpty() ? QChar(u'.') : sep[0])) return true;
  return u < 32 && u != 13;
}

void TSpinEdit::keyPressEvent(QKeyEvent* e) {
  // Up and Down step and still go on to the edit; the keyboard's own
  // auto-repeat steps again with every repeated key-down.
  if (e->key() == Qt::Key_Up)
    StepUp();
  else if (e->key() == Qt::Key_Down)
    StepDown();

  if (e->matches(QKeySequence::Paste) || e->matches(QKeySequence::Cut)) {
    if (Editable())
      QLineEdit::keyPressEvent(e);
    else
      e->accept();
    return;
  }

  // Delete carries a character on some platforms but is a key, not typing.
  const QString text = e->key() == Qt::Key_Delete ? QString() : e->text();
  if (!text.isEmpty()) {
    QString kept;
    for (QChar c : text) {
      if (AcceptsChar(c))
        kept += c;
      else
        DefaultBeep();
    }
    if (kept.isEmpty()) {
      e->accept();
      return;
    }
    if (kept != text) {
      QKeyEvent filtered(e->type(), e->key(), e->modifiers(), kept, e->isAutoRepeat(),
                         ushort(e->count()));
      QLineEdit::keyPressEvent(&filtered);
      e->setAccepted(filtered.isAccepted());
      return;
    }
  }
  QLineEdit::keyPressEvent(e);
}

void TSpinEdit::focusInEvent(QFocusEvent* e) {
  QLineEdit::focusInEvent(e);
  mouseFocusPending_ = false;
  const Qt::FocusReason reason = e->reason();
  if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return;
  if (!autoSelect_) {
    // QLineEdit selects on Tab by itself; without AutoSelect the caret stays.
    if (hasSelectedText()) setCursorPosition(cursorPosition());
    return;
  }
  // A mouse press gives the focus before it reaches its target, so whether it
  // landed on the text (caret) or on an arrow (select) is settled by the press.
  if (reason == Qt::MouseFocusReason)
    mouseFocusPending_ = true;
  else
    selectAll();
}

void TSpinEdit::ArrowPressed() {
  if (!mouseFocusPending_) return;
  mouseFocusPending_ = false;
  selectAll();
}

void TSpinEdit::mousePressEvent(QMouseEvent* e) {
  if (mouseFocusPending_) {
    mouseFocusPending_ = false;
    if (e->button() != Qt::LeftButton) selectAll();
  }
  QLineEdit::mousePressEvent(e);
}

void TSpinEdit::focusOutEvent(QFocusEvent* e) {
  QLineEdit::focusOutEvent(e);
  mouseFocusPending_ = false;
  // Switching windows or opening the context menu is not leaving the field.
  if (e->reason() == Qt::ActiveWindowFocusReason || e->reason() == Qt::PopupFocusReason) return;
  const std::int32_t v = Value();
  if (CheckValue(v) != v) SetValue(v);
}

void TSpinEdit::mouseReleaseEvent(QMouseEvent* e) {
  // The middle button pastes the X11 selection.
  if (e->button() == Qt::MiddleButton && !Editable()) {
    e->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(e);
}

void TSpinEdit::contextMenuEvent(QContextMenuEvent* e) {
  // Our own menu, so that paste and cut follow EditorEnabled as well as
  // ReadOnly (Qt's standard menu only knows ReadOnly).
  // Made at each use, so it speaks the window's language of the moment.
  auto* menu = new QMenu(this);
  menu->setAttribute(Qt::WA_DeleteOnClose);
  const bool writable = !isReadOnly();
  const bool selected = hasSelectedText();
  auto add = [&](const char* name, const QString& text, QKeySequence::StandardKey key, bool enabled,
                 auto slot) {
    QAction* a = menu->addAction(text, this, slot);
    a->setObjectName(QLatin1String(name));
    a->setShortcut(key);
    a->setEnabled(enabled);
  };
  add("edit-undo", tr("&Отменить"), QKeySequence::Undo, writable && isUndoAvailable(),
      &QLineEdit::undo);
  menu->addSeparator();
  add("edit-cut", tr("&Вырезать"), QKeySequence::Cut, Editable() && selected, &QLineEdit::cut);
  add("edit-copy", tr("&Копировать"), QKeySequence::Copy, selected, &QLineEdit::copy);
  add("edit-paste", tr("Вст&авить"), QKeySequence::Paste,
      Editable() && !QGuiApplication::clipboard()->text().isEmpty(), &QLineEdit::paste);
  add("edit-delete", tr("&Удалить"), QKeySequence::Delete, writable && selected, &QLineEdit::del);
  menu->addSeparator();
  add("select-all", tr("Выделить &все"), QKeySequence::SelectAll,
      !text().isEmpty() && selectedText() != text(), &QLineEdit::selectAll);
  menu->popup(e->globalPos());
}

void TSpinEdit::dragEnterEvent(QDragEnterEvent* e) {
  if (!Editable()) {
    e->ignore();
    return;
  }
  QLineEdit::dragEnterEvent(e);
}

void TSpinEdit::dropEvent(QDropEvent* e) {
  if (!Editable()) {
    e->ignore();
    return;
  }
  QLineEdit::dropEvent(e);
}

QPoint TSpinEdit::ClientOrigin() const {
  const int b = ctl3D_ ? 2 : 1;
  return {b, b};
}

QSize TSpinEdit::ClientSize() const {
  const int b = ClientOrigin().x();
  return {std::max(0, width() - 2 * b), std::max(0, height() - 2 * b)};
}

QRect TSpinEdit::ButtonClientRect() const {
  return button_->geometry().translated(-ClientOrigin());
}

int TSpinEdit::MinHeight() const {
  const int fontHeight = QFontMetrics(font()).height();
  const int systemHeight =
      QFontMetrics(QFontDatabase::systemFont(QFontDatabase::GeneralFont)).height();
  constexpr int border = 1;  // a thin window border
  return fontHeight + std::min(systemHeight, fontHeight) / 4 + 4 * border + 2;
}

void TSpinEdit::resizeEvent(QResizeEvent* e) {
  QLineEdit::resizeEvent(e);
  const int minHeight = MinHeight();
  if (height() < minHeight) {
    resize(width(), minHeight);
    return;
  }
  PlaceButton();
}

void TSpinEdit::PlaceButton() {
  const int w = button_->width();
  const QPoint origin = ClientOrigin();
  const QRect client =
      ctl3D_ ? QRect(width() - w - 5, 0, w, height() - 5) : QRect(width() - w, 1, w, height() - 3);
  button_->setGeometry(client.translated(origin));
  button_->AdjustSize();
  SetEditRect();
}

void TSpinEdit::changeEvent(QEvent* e) {
  QLineEdit::changeEvent(e);
  if (e->type() == QEvent::FontChange && height() < MinHeight()) resize(width(), MinHeight());
}

void TSpinEdit::SetEditRect() {
  const int w = button_->width();
  const QSize client = ClientSize();
  editRect_ = QRect(0, 0, client.width() - w - 2, client.height() + 1);
  // The contents margins already take the border; the rest keeps the text
  // clear of the arrows.
  setTextMargins(0, 0, w + 2, 0);
}

QSize TSpinEdit::sizeHint() const { return {QLineEdit::sizeHint().width(), MinHeight()}; }

QSize TSpinEdit::minimumSizeHint() const {
  return {QLineEdit::minimumSizeHint().width(), MinHeight()};
}

void TSpinEdit::paintEvent(QPaintEvent* e) {
  QLineEdit::paintEvent(e);
  QPainter p(this);
  const QPalette& pal = palette();
  const int x1 = width() - 1, y1 = height() - 1;
  if (!ctl3D_) {
    p.setPen(pal.color(QPalette::Shadow));
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, x1, y1);
    return;
  }
  // The sunken client edge: shade above and left, light below and right.
  qDrawWinPanel(&p, rect(), pal, true);
}

}  // namespace vizuvod

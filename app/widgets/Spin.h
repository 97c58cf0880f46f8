// TSpinEdit: a one-line field for a whole number with a pair of small arrows
// inside its right edge. The text is the only store of the number: Value is
// parsed from it at every read and written back as text at every assignment.
// TSpinButton is the arrow pair, TTimerSpeedButton one arrow that repeats its
// click while held. Qt's own spin box and auto-repeat buttons differ in the
// parsing, the range rule, the repeat timings and the click on release, so
// the three are built here on QLineEdit and QWidget.
#pragma once

#include <QImage>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>

namespace vizuvod {

// ---- Number text ----------------------------------------------------------

// Converts a field text: leading blanks, then a signed decimal, or an unsigned
// 32-bit hexadecimal pattern introduced by '$', 'x', 'X', "0x" or "0X" and
// read as signed. Anything else, or a value out of range, fails.
bool TryStrToInt32(const QString& text, std::int32_t& value);

// The range rule: equal bounds mean no range; the lower bound is tested first.
std::int32_t ClampToRange(std::int32_t value, std::int32_t minValue, std::int32_t maxValue);

// ---- Repeat timer ----------------------------------------------------------

// The arrow's repeat timer. The real one is a QTimer; tests put in a timer
// they fire by hand through RepeatTimerHook (see TestSeams.h).
class TRepeatTimer {
 public:
  virtual ~TRepeatTimer() = default;
  // Starts, or restarts, with the interval in milliseconds.
  virtual void Start(int intervalMs) = 0;
  // Changes the interval; a running timer counts the new interval from now.
  virtual void SetInterval(int intervalMs) = 0;
  virtual void Stop() = 0;
  virtual bool IsActive() const = 0;
  virtual int Interval() const = 0;

  std::function<void()> OnTimer;
};

using TRepeatTimerFactory = std::function<std::unique_ptr<TRepeatTimer>()>;
// The maker of repeat timers; empty means QTimer.
TRepeatTimerFactory& RepeatTimerHook();

// ---- One arrow ---------------------------------------------------------------

enum class TTimeBtnState : std::uint8_t { tbFocusMark = 1, tbAutoRepeat = 2 };

class TTimerSpeedButton : public QWidget {
  Q_OBJECT
 public:
  explicit TTimerSpeedButton(QWidget* parent = nullptr);
  ~TTimerSpeedButton() override;

  bool HasState(TTimeBtnState s) const { return (state_ & std::uint8_t(s)) != 0; }
  void IncludeState(TTimeBtnState s);
  void ExcludeState(TTimeBtnState s);

  // The glyph bitmap holds NumGlyphs images side by side: normal, disabled,
  // pressed, held down. Its bottom-left pixel's colour is drawn transparent.
  const QImage& Glyph() const { return glyph_; }
  void SetGlyph(const QImage& glyph);
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int n);

  // Drawn pressed: the left button went down on the arrow and the pointer is
  // over it.
  bool IsDown() const { return down_; }
  // Between a press and the release of the buttons the arrow holds the mouse.
  bool HasMouseCapture() const { return captured_; }
  // The capture went elsewhere (hidden, disabled, a window came up): no more
  // repeated clicks and no click on release.
  void MouseCaptureLost();

  // The repeat timer, once the first press made it; none before.
  TRepeatTimer* RepeatTimer() const { return timer_.get(); }
  // One tick of the repeat timer.
  void TimerExpired();

  void Click();

  // Runs first on every press, before the arrow reacts.
  std::function<void(TTimerSpeedButton*, Qt::MouseButton)> OnPress;
  std::function<void(TTimerSpeedButton*)> OnClick;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void changeEvent(QEvent*) override;
  void hideEvent(QHideEvent*) override;

 private:
  void SetDown(bool down);

  std::uint8_t state_ = 0;
  QImage glyph_;
  int numGlyphs_ = 1;
  bool down_ = false;
  bool dragging_ = false;  // the left button went down on this arrow
  bool captured_ = false;
  std::unique_ptr<TRepeatTimer> timer_;
};

// ---- The arrow pair ------------------------------------------------------------

class TSpinButton : public QWidget {
  Q_OBJECT
 public:
  explicit TSpinButton(QWidget* parent = nullptr);

  TTimerSpeedButton* UpButton() const { return upButton_; }
  TTimerSpeedButton* DownButton() const { return downButton_; }
  TTimerSpeedButton* FocusedButton() const { return focusedButton_; }
  void SetFocusBtn(TTimerSpeedButton* btn);

  // Assigning a null image loads the built-in arrow ("SPINUP" / "SPINDOWN").
  QImage UpGlyph() const { return upButton_->Glyph(); }
  void SetUpGlyph(const QImage& glyph);
  QImage DownGlyph() const { return downButton_->Glyph(); }
  void SetDownGlyph(const QImage& glyph);
  int UpNumGlyphs() const { return upButton_->NumGlyphs(); }
  void SetUpNumGlyphs(int n) { upButton_->SetNumGlyphs(n); }
  int DownNumGlyphs() const { return downButton_->NumGlyphs(); }
  void SetDownNumGlyphs(int n) { downButton_->SetNumGlyphs(n); }

  QWidget* FocusControl() const { return focusControl_; }
  void SetFocusControl(QWidget* control) { focusControl_ = control; }

  bool TabStop() const { return focusPolicy() != Qt::NoFocus; }
  void SetTabStop(bool value);

  std::function<void(TSpinButton*)> OnUpClick;
  std::function<void(TSpinButton*)> OnDownClick;

  // Fits the two arrows to the pair's size.
  void AdjustSize();

 signals:
  // A press on an arrow (any button), after the focus rules ran.
  void ArrowPressed();

 protected:
  void resizeEvent(QResizeEvent*) override;
  void focusInEvent(QFocusEvent*) override;
  void focusOutEvent(QFocusEvent*) override;
  void keyPressEvent(QKeyEvent*) override;

 private:
  void BtnMouseDown(TTimerSpeedButton* btn, Qt::MouseButton button);
  bool CanTakeFocus(const QWidget* w) const;

  TTimerSpeedButton* upButton_ = nullptr;
  TTimerSpeedButton* downButton_ = nullptr;
  TTimerSpeedButton* focusedButton_ = nullptr;
  QPointer<QWidget> focusControl_;
};

// The built-in arrow glyphs, 9 x 6 on the transparent olive background.
QImage BuiltinSpinUpGlyph();
QImage BuiltinSpinDownGlyph();

// ---- The field -------------------------------------------------------------------

class TSpinEdit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TSpinEdit(QWidget* parent = nullptr);
  ~TSpinEdit() override;

  std::int32_t MinValue() const { return minValue_; }
  void SetMinValue(std::int32_t v) { minValue_ = v; }
  std::int32_t MaxValue() const { return maxValue_; }
  void SetMaxValue(std::int32_t v) { maxValue_ = v; }
  std::int32_t Increment() const { return increment_; }
  void SetIncrement(std::int32_t v) { increment_ = v; }
  bool EditorEnabled() const { return editorEnabled_; }
  void SetEditorEnabled(bool v);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool v) { autoSelect_ = v; }
  // The sunken three-dimensional border look (on by default).
  bool Ctl3D() const { return ctl3D_; }
  void SetCtl3D(bool v);
  void SetReadOnly(bool v);

  // Parsed from the text at every read; MinValue when it does not convert.
  std::int32_t Value() const;
  // Through the range rule, written as plain decimal text.
  void SetValue(std::int32_t value);
  std::int32_t CheckValue(std::int32_t value) const {
    return ClampToRange(value, minValue_, maxValue_);
  }

  virtual bool AcceptsChar(QChar c) const;
  virtual void StepUp();
  virtual void StepDown();

  TSpinButton* Button() const { return button_; }
  // Where the client area starts inside the outer bounds (the border width).
  QPoint ClientOrigin() const;
  QSize ClientSize() const;
  // The arrow pair's bounds in client coordinates.
  QRect ButtonClientRect() const;
  // The text area in client coordinates: the arrows stay outside it.
  QRect EditRect() const { return editRect_; }
  // Font line height + min(system, font) div 4 + four border widths + 2.
  int MinHeight() const;

 signals:
  // The text really changed (typing, stepping, assigning Value).
  void Change();

 protected:
  void keyPressEvent(QKeyEvent*) override;
  void focusInEvent(QFocusEvent*) override;
  void focusOutEvent(QFocusEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void contextMenuEvent(QContextMenuEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dropEvent(QDropEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void changeEvent(QEvent*) override;
  void paintEvent(QPaintEvent*) override;

 public:
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 private:
  bool Editable() const { return editorEnabled_ && !isReadOnly(); }
  void ArrowPressed();
  void PlaceButton();
  void SetEditRect();

  std::int32_t minValue_ = 0;
  std::int32_t maxValue_ = 0;
  std::int32_t increment_ = 1;
  TSpinButton* button_ = nullptr;
  bool editorEnabled_ = true;
  bool autoSelect_ = true;
  bool ctl3D_ = true;
  // Focus came from a left press that may land on an arrow rather than the
  // text; the arrow's press decides whether the text gets selected.
  bool mouseFocusPending_ = false;
  QRect editRect_;
};

}  // namespace vizuvod

// The few platform services the widgets need beyond Qt's own: the default
// beep, the screen and its work area, and the application's main window.
// Each goes through a replaceable hook so tests can count beeps and fix the
// screen size without a display.
#pragma once

#include <QRect>
#include <functional>

class QWidget;

// A rectangle by its edges, right and bottom exclusive, as the placement
// rules reckon them.
struct TEdgeRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool operator==(const TEdgeRect&) const = default;
  static TEdgeRect FromQRect(const QRect& r) {
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
  }
};

using TBeepHook = std::function<void()>;
using TRectHook = std::function<TEdgeRect()>;

// The system's default beep (QApplication::beep unless a hook is set).
void DefaultBeep();
// Replaces the beep; an empty hook restores the real one. Returns the old hook.
TBeepHook SetBeepHook(TBeepHook hook);

// The primary screen from (0, 0) to its width and height, and its work area
// (without panels and task bars).
TEdgeRect ScreenRect();
TEdgeRect ScreenWorkArea();
// Replace the two screen queries (empty hooks restore the real ones).
void SetScreenHooks(TRectHook screen, TRectHook workArea);

// The application's main window: the one registered here, else none.
QWidget* ApplicationMainForm();
void SetApplicationMainForm(QWidget* form);

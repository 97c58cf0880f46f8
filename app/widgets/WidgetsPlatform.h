// The few platform services the widgets need beyond Qt's own: the default
// beep, the screen and its work area, and the application's main window.
// Each goes through a seam (see TestSeams.h) so tests can count beeps and fix
// the screen size without a display.
#pragma once

#include <functional>

#include "Geometry.h"  // TRect

class QWidget;

namespace vizuvod {

using TBeepHook = std::function<void()>;
using TRectHook = std::function<TRect()>;

// The system's default beep (QApplication::beep unless a hook is set).
void DefaultBeep();
// The beep; empty means the real one.
TBeepHook& BeepHook();

// The primary screen from (0, 0) to its width and height, and its work area
// (without panels and task bars).
TRect ScreenRect();
TRect ScreenWorkArea();
// The two screen queries; empty means the real ones.
TRectHook& ScreenHook();
TRectHook& WorkAreaHook();

// The application's main window: the one registered here, else none.
QWidget* ApplicationMainForm();
void SetApplicationMainForm(QWidget* form);

}  // namespace vizuvod

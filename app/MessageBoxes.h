// The window's two message boxes: the modal warning for the expected
// conditions (no photos, a percentage of 100, a value of 0 or less) and the
// application's default error box for an exception that ends a handler.
// Both pass through one hook, so tests answer them without a modal loop.
#pragma once

#include <QString>
#include <exception>
#include <functional>
#include <new>
#include <utility>

class QMessageBox;
class QWidget;

namespace vizuvod {

// Receives the fully set up box instead of its modal run; unset (the
// default) means the box is shown and waited for. A seam (see TestSeams.h).
using TMessageBoxHook = std::function<void(QMessageBox& box)>;
TMessageBoxHook& MessageBoxHook();

// Runs a box that is set up (or hands it to the hook); returns when it is closed.
void RunMessageBox(QMessageBox& box);

// "Warning", the warning icon, one "OK"; returns when the box is closed.
void ShowWarning(QWidget* parent, const QString& text);

// The error box: the error icon, ApplicationTitle() as caption and the
// failure's text with a full stop appended when its last character sorts
// after '.'.
void ShowError(QWidget* parent, const QString& message);

// The title the task bar and the error box show: the program file's name
// without its folder, cut at its first '.', every letter after the first in
// lower case ("/opt/x/PROJECT1.EXE" gives "Project1").
QString TitleFromProgramPath(const QString& programPath);
QString ApplicationTitle();

// Runs one handler; a failure that leaves it goes to the error box and the
// window stays as the handler left it. Qt cannot carry exceptions through
// its event loop, so every handler is entered through here.
template <class Handler>
void RunHandler(QWidget* parent, Handler&& handler) {
  try {
    std::forward<Handler>(handler)();
  } catch (const std::bad_alloc&) {
    ShowError(parent, QStringLiteral("Out of memory"));
  } catch (const std::exception& error) {
    ShowError(parent, QString::fromUtf8(error.what()));
  }
}

}  // namespace vizuvod

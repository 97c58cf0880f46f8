// Default beep, screen geometry and main-window lookup for the widgets.
#include "WidgetsPlatform.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace vizuvod {

TBeepHook& BeepHook() {
  static TBeepHook hook;
  return hook;
}
TRectHook& ScreenHook() {
  static TRectHook hook;
  return hook;
}
TRectHook& WorkAreaHook() {
  static TRectHook hook;
  return hook;
}

namespace {
QPointer<QWidget>& MainForm() {
  static QPointer<QWidget> form;
  return form;
}
}  // namespace

void DefaultBeep() {
  if (BeepHook())
    BeepHook()();
  else
    QApplication::beep();
}

TRect ScreenRect() {
  if (ScreenHook()) return ScreenHook()();
  const QScreen* s = QGuiApplication::primaryScreen();
  if (!s) return {};
  return {0, 0, s->geometry().width(), s->geometry().height()};
}

TRect ScreenWorkArea() {
  if (WorkAreaHook()) return WorkAreaHook()();
  const QScreen* s = QGuiApplication::primaryScreen();
  if (!s) return {};
  return TRect::FromQRect(s->availableGeometry());
}

QWidget* ApplicationMainForm() { return MainForm(); }

void SetApplicationMainForm(QWidget* form) { MainForm() = form; }

}  // namespace vizuvod

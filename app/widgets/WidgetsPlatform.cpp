// Default beep, screen geometry and main-window lookup for the widgets.
#include "WidgetsPlatform.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace {
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

TBeepHook SetBeepHook(TBeepHook hook) {
  TBeepHook old = std::move(BeepHook());
  BeepHook() = std::move(hook);
  return old;
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

void SetScreenHooks(TRectHook screen, TRectHook workArea) {
  ScreenHook() = std::move(screen);
  WorkAreaHook() = std::move(workArea);
}

QWidget* ApplicationMainForm() { return MainForm(); }

void SetApplicationMainForm(QWidget* form) { MainForm() = form; }

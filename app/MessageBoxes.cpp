// The warning and error boxes, the application's title, and the hook that
// lets tests take a box instead of running it.
#include "MessageBoxes.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMessageBox>

#include "photo/BatchRun.h"

namespace vizuvod {

TMessageBoxHook& MessageBoxHook() {
  static TMessageBoxHook hook;
  return hook;
}

void RunMessageBox(QMessageBox& box) {
  if (const TMessageBoxHook& hook = MessageBoxHook())
    hook(box);
  else
    box.exec();
}

void ShowWarning(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, QMessageBox::Ok, parent);
  RunMessageBox(box);
}

void ShowError(QWidget* parent, const QString& message) {
  const QString text = QString::fromStdString(ErrorBoxText(message.toStdString()));
  QMessageBox box(QMessageBox::Critical, ApplicationTitle(), text, QMessageBox::Ok, parent);
  RunMessageBox(box);
}

QString TitleFromProgramPath(const QString& programPath) {
  // Only '/' separates folders here; a name with no '.' is kept whole.
  QString title = programPath.mid(programPath.lastIndexOf(QLatin1Char('/')) + 1);
  const qsizetype dot = title.indexOf(QLatin1Char('.'));
  if (dot >= 0) title.truncate(dot);
  if (title.size() > 1) title = title.left(1) + title.mid(1).toLower();
  return title;
}

QString ApplicationTitle() { return TitleFromProgramPath(QCoreApplication::applicationFilePath()); }

}  // namespace vizuvod

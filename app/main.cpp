// vizuvod: starts the application, creates the wizard window and runs the
// message loop until the window is closed. Nothing is read or saved.
#include <QApplication>
#include <QIcon>
#include <QLineEdit>

#include "Bitmap.h"
#include "DesktopFolders.h"
#include "MessageBoxes.h"
#include "Unit2.h"

int main(int argc, char* argv[]) {
  using namespace vizuvod;
  MapLargeBlocks();
  QApplication application(argc, argv);
  QApplication::setApplicationName(ApplicationTitle());
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/MAINICON")));
  QApplication::setApplicationVersion(QStringLiteral(VIZUVOD_VERSION));
  QGuiApplication::setDesktopFileName(QStringLiteral(VIZUVOD_APP_ID));
  // "Open with" from a file manager names the folder.
  const std::optional<QString> folder = FolderArgument(QApplication::arguments());

  TForm2 Form2;
  if (folder) Form2.Edit1->setText(*folder);
  Form2.show();
  return QApplication::exec();
}

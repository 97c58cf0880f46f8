// vizuvod: starts the application, creates the wizard window and runs the
// message loop until the window is closed. The settings kept between runs
// are the window's language (Language.h) and the options of the "Параметры"
// menu (RunOptions.h).
#include <QApplication>
#include <QIcon>
#include <QLineEdit>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "DesktopFolders.h"
#include "MessageBoxes.h"
#include "Unit2.h"
#include "core/Bitmap.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// Options answered without a window, so without a display.
bool AsksOnlyForText(int argc, char* argv[]) {
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i)
    for (const char* option : {"-h", "--help", "--help-all", "-?", "-v", "--version"})
      if (std::strcmp(argv[i], option) == 0) return true;
  return false;
}

// A platform named (QT_QPA_PLATFORM, -platform) or a display to open.
bool HasDisplay(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
      return true;
  return Set("QT_QPA_PLATFORM") || Set("DISPLAY") || Set("WAYLAND_DISPLAY");
}

void SetIdentity() {
  QCoreApplication::setApplicationName(vizuvod::ApplicationTitle());
  QCoreApplication::setApplicationVersion(QStringLiteral(VIZUVOD_VERSION));
}

}  // namespace

int main(int argc, char* argv[]) {
  using namespace vizuvod;
  // --help and --version print and exit before any platform plugin loads:
  // they work over SSH and on a server.
  if (AsksOnlyForText(argc, argv)) {
    QCoreApplication core(argc, argv);
    SetIdentity();
    FolderArgument(QCoreApplication::arguments());  // exits
    return 0;
  }
  if (!HasDisplay(argc, argv)) {
    std::fputs(
        "vizuvod: no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY "
        "is set); vizuvod-batch resizes a folder without one\n",
        stderr);
    return 1;
  }
  MapLargeBlocks();
  QApplication application(argc, argv);
  SetIdentity();
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/MAINICON")));
  QGuiApplication::setDesktopFileName(QStringLiteral(VIZUVOD_APP_ID));
  // "Open with" from a file manager names the folder.
  const std::optional<QString> folder = FolderArgument(QApplication::arguments());

  TForm2 Form2;
  if (folder) Form2.Edit1->setText(*folder);
  Form2.show();
  return QApplication::exec();
}

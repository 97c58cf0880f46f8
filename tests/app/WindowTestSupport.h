// Helpers the window tests share: photos written at Qt paths, and a new
// window on screen.
#pragma once

#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "RunOptions.h"
#include "TestSupport.h"
#include "Unit2.h"
#include "photo/PhotoScan.h"

namespace vizuvod {

inline void WritePhoto(const QString& path, int width, int height, int seed,
                       bool progressive = false) {
  WritePhoto(path.toStdString(), width, height, seed, progressive);
}

// The window keeps its language and options in the user's settings: a test
// program keeps them in a scratch folder of its own, empty at its start.
inline void UseScratchSettings() {
  static QTemporaryDir dir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
}

// A window shown with the empty photo list a new process starts with, and
// with no options chosen unless those of the last window are kept.
inline std::unique_ptr<TForm2> ShowNewWindow(bool keepOptions = false) {
  UseScratchSettings();
  if (!keepOptions) WindowSettings()->remove(QStringLiteral("Options"));
  PhotoFiles.clear();
  PhotoCount = 0;
  auto form = std::make_unique<TForm2>();
  form->show();
  return form;
}

}  // namespace vizuvod

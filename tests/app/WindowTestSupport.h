// Helpers the window tests share: photos written at Qt paths, and a new
// window on screen.
#pragma once

#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <memory>

#include "PhotoScan.h"
#include "RunOptions.h"
#include "TestSupport.h"
#include "Unit2.h"

namespace vizuvod {

inline void WritePhoto(const QString& path, int width, int height, int seed,
                       bool progressive = false) {
  WritePhoto(path.toStdString(), width, height, seed, progressive);
}

// A window shown with the empty photo list a new process starts with, and
// with no options chosen unless those of the last window are kept. The
// options live in a scratch folder of the test process, never the user's.
inline std::unique_ptr<TForm2> ShowNewWindow(bool keepOptions = false) {
  static QTemporaryDir config;
  static const bool scratch = qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
  (void)scratch;
  if (!keepOptions) OptionsSettings()->clear();
  PhotoFiles.clear();
  PhotoCount = 0;
  auto form = std::make_unique<TForm2>();
  form->show();
  return form;
}

}  // namespace vizuvod

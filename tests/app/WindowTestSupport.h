// Helpers the window tests share: photos written at Qt paths, and a new
// window on screen.
#pragma once

#include <QString>
#include <memory>

#include "PhotoScan.h"
#include "TestSupport.h"
#include "Unit2.h"

namespace vizuvod {

inline void WritePhoto(const QString& path, int width, int height, int seed,
                       bool progressive = false) {
  WritePhoto(path.toStdString(), width, height, seed, progressive);
}

// A window shown with the empty photo list a new process starts with.
inline std::unique_ptr<TForm2> ShowNewWindow() {
  PhotoFiles.clear();
  PhotoCount = 0;
  auto form = std::make_unique<TForm2>();
  form->show();
  return form;
}

}  // namespace vizuvod

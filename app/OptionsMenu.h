// The "Параметры" menu of the window: vizuvod-batch's options for the
// window's runs, its two small number dialogs, and the line on page 3 that
// names the options that are on. The values live in TRunOptions; the texts
// are all set by TForm2::RetranslateOptions.
#pragma once

#include <QString>
#include <QStringList>

#include "RunOptions.h"

class QAction;
class QLabel;
class QMenu;
class QWidget;

namespace vizuvod {

class TBrowseDlg;

struct TOptionsMenu {
  QMenu* menu = nullptr;  // "Параметры"
  QAction* keepMetadata = nullptr;
  QAction* noLocation = nullptr;
  QAction* autoOrient = nullptr;
  QAction* besidePhotos = nullptr;
  QAction* resultFolder = nullptr;  // opens folderDialog
  QAction* moreFormats = nullptr;
  QMenu* formatMenu = nullptr;
  QAction* formats[3] = {};  // JPEG, WebP, AVIF (null when not offered)
  QAction* quality = nullptr;
  QAction* sizeLimit = nullptr;
  QLabel* line = nullptr;  // on page 3
  TBrowseDlg* folderDialog = nullptr;

  TRunOptions values;
  // The warnings of the run in progress, shown when it ends.
  QStringList warnings;
  bool running = false;

  // The dialogs' texts, set with the rest.
  struct {
    QString qualityTitle, qualityLabel, limitTitle, limitLabel, ok, cancel, warningsHead,
        warningsMore;
  } texts;
};

// A small modal dialog in the window's look asking for a number from min to
// max: true with `value` set when confirmed.
bool AskNumber(QWidget* parent, const QString& title, const QString& label, int min, int max,
               int& value, const QString& ok, const QString& cancel);

}  // namespace vizuvod

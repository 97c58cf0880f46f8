// The "Параметры" menu of the window: vizuvod-batch's options for the
// window's runs, its two small number dialogs, and the line on page 3 that
// names the options that are on. The values live in TRunOptions; the texts
// are all set by TForm2::RetranslateOptions.
#pragma once

#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "RunOptions.h"

class QAction;
class QFontMetrics;
class QLabel;
class QMenu;
class QWidget;

namespace vizuvod {

class TBrowseDlg;

// What a run under options did, for its end: one line per failed photo and
// per photo and kind of warning, every text in full for the details.
struct TRunReport {
  static constexpr int Failure = -1;  // a line's kind when the photo failed
  struct TLine {
    QString photo;       // the file's name
    int kind = Failure;  // else a TWarningKind
    QString text;        // the first text of that kind
    int more = 0;        // further warnings of that kind
  };
  bool active = false;  // the run had options
  int written = 0;      // results written
  int failed = 0;       // photos that failed
  QString folder;       // where the results go
  QList<TLine> lines;
  QStringList details;
  QString stoppedBy;  // the text of the failure that ended the run
};

struct TOptionsMenu {
  QMenu* menu = nullptr;  // "Параметры"
  QAction* keepMetadata = nullptr;
  QAction* noLocation = nullptr;
  QAction* toSrgb = nullptr;
  QAction* autoOrient = nullptr;
  QAction* longEdge = nullptr;
  QAction* besidePhotos = nullptr;
  QAction* resultFolder = nullptr;  // opens folderDialog
  QAction* moreFormats = nullptr;
  QMenu* formatMenu = nullptr;
  // One item a result format offered, in the rows' order.
  std::vector<std::pair<TResultFormat, QAction*>> formats;
  QAction* quality = nullptr;
  QAction* sizeLimit = nullptr;
  QAction* keepGoing = nullptr;
  QLabel* line = nullptr;      // on page 3: the options that are on
  QLabel* sizeLine = nullptr;  // on page 3: the size page 2 asks for
  QLabel* report = nullptr;    // in page 3's report: what the last run wrote
  TBrowseDlg* folderDialog = nullptr;

  TRunOptions values;
  // What the run in progress did, shown when it ends.
  TRunReport run;
  bool running = false;

  // The dialogs' texts, set with the rest.
  struct {
    QString qualityTitle, qualityLabel, limitTitle, limitLabel, ok, cancel, noLimit;
  } texts;
};

// The lines of the box at the end of a run: the first `shown` lines of the
// report, each cut to `width` pixels of `metrics`, then how many more.
QStringList ReportLines(const TRunReport& report, const QFontMetrics& metrics, int width,
                        int shown);

// Whole items, joined by ", ", in at most `lines` lines of `width` pixels;
// the items that do not fit are counted by `more` (with %1) on the last line.
QString WrapItems(const QStringList& items, const QFontMetrics& metrics, int width, int lines,
                  const QString& more);

// A small modal dialog in the window's look asking for a number from min to
// max: true with `value` set when confirmed (by its button or Enter). Given
// `off`, a third button of that text answers with `value` 0.
bool AskNumber(QWidget* parent, const QString& title, const QString& label, int min, int max,
               int& value, const QString& ok, const QString& cancel, const QString& off = {});

}  // namespace vizuvod

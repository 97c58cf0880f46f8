// The "Параметры" menu: built beside the designed menu, its handlers, the
// line on page 3, and the run's warnings. Every text is set in
// RetranslateOptions, so it can run again whenever the language changes.
#include "OptionsMenu.h"

#include <algorithm>

#include <QActionGroup>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QSpacerItem>
#include <QUrl>
#include <QWidget>
#include <string_view>

#include "BrowseDlg.h"
#include "MessageBoxes.h"
#include "Spin.h"
#include "Unit2.h"
#include "formats/Formats.h"
#include "glWizardHeader.h"
#include "photo/BatchRun.h"

namespace vizuvod {

namespace {

// The most lines the box at the end of a run lists; the rest are counted,
// and every text is in its details.
constexpr int ShownLines = 12;

// The third fit side, offered with its option, in the engine's words.
constexpr const char* LongEdgeSide = QT_TRANSLATE_NOOP("vizuvod::TForm2", "По длинной стороне");
static_assert(std::string_view(LongEdgeSide) == LongEdgeItem);

// What each kind of line of the report says before its text.
const char* const KindNames[] = {
    QT_TRANSLATE_NOOP("vizuvod::TForm2", "данные повреждены и дополнены"),
    QT_TRANSLATE_NOOP("vizuvod::TForm2", "метаданные"),
    QT_TRANSLATE_NOOP("vizuvod::TForm2", "взят первый кадр"),
};
static_assert(int(TWarningKind::wkDamaged) == 0 && int(TWarningKind::wkMetadata) == 1 &&
              int(TWarningKind::wkFrames) == 2);

QString KindName(int kind) {
  if (kind == TRunReport::Failure) return TForm2::tr("не обработана");
  return TForm2::tr(KindNames[kind]);
}

QString FileName(const std::string& path) {
  return QFileInfo(QString::fromStdString(path)).fileName();
}

// A result format's label in its row: "WebP".
QString ResultLabel(TResultFormat format) {
  for (const TFormatRow& row : FormatRows())
    if (row.resultExtension && row.result == format) return QString::fromLatin1(row.label);
  return QString();
}

QAction* NewItem(QMenu* menu, const char* name, bool checkable) {
  QAction* item = menu->addAction(QString());
  item->setObjectName(QLatin1String(name));
  item->setCheckable(checkable);
  return item;
}

// The item, chosen, runs handler through RunHandler: a failure goes to the error box.
template <class Handler>
void OnChosen(TForm2* form, QAction* item, Handler handler) {
  QObject::connect(item, &QAction::triggered, form, [form, handler] { RunHandler(form, handler); });
}

}  // namespace

// Enter in the number field is the dialog's OK, as in any dialog; the
// field itself refuses it with a beep.
class TEnterConfirms : public QObject {
 public:
  explicit TEnterConfirms(QPushButton* confirm) : QObject(confirm), confirm_(confirm) {}
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
    confirm_->click();
    return true;
  }

 private:
  QPushButton* confirm_;
};

bool AskNumber(QWidget* parent, const QString& title, const QString& label, int min, int max,
               int& value, const QString& ok, const QString& cancel, const QString& off) {
  QDialog dialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                             Qt::MSWindowsFixedSizeDialogHint);
  dialog.setObjectName(QStringLiteral("NumberDialog"));
  dialog.setWindowTitle(title);
  dialog.setFont(parent->font());
  const int width = off.isEmpty() ? 256 : 368;
  dialog.setFixedSize(width, 96);
  auto* text = new QLabel(label, &dialog);
  text->move(8, 12);
  text->adjustSize();
  auto* spin = new TSpinEdit(&dialog);
  spin->setObjectName(QStringLiteral("NumberField"));
  spin->SetMaxValue(max);
  spin->SetMinValue(min);
  spin->SetValue(value);
  spin->setGeometry(8, 32, 81, 22);
  auto* confirm = new QPushButton(ok, &dialog);
  confirm->setGeometry(width - 168, 64, 75, 25);
  confirm->setDefault(true);
  auto* refuse = new QPushButton(cancel, &dialog);
  refuse->setGeometry(width - 84, 64, 75, 25);
  QObject::connect(confirm, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(refuse, &QPushButton::clicked, &dialog, &QDialog::reject);
  bool turnedOff = false;
  if (!off.isEmpty()) {
    auto* none = new QPushButton(off, &dialog);
    none->setObjectName(QStringLiteral("NoLimitButton"));
    none->setGeometry(width - 288, 64, 111, 25);
    QObject::connect(none, &QPushButton::clicked, &dialog, [&] {
      turnedOff = true;
      dialog.accept();
    });
  }
  spin->installEventFilter(new TEnterConfirms(confirm));
  spin->setFocus();
  spin->selectAll();
  if (dialog.exec() != QDialog::Accepted) return false;
  value = turnedOff ? 0 : spin->CheckValue(spin->Value());
  return true;
}

QStringList ReportLines(const TRunReport& report, const QFontMetrics& metrics, int width,
                        int shown) {
  QStringList lines;
  for (const TRunReport::TLine& l : report.lines.mid(0, shown)) {
    QString line = QStringLiteral("%1 — %2: %3").arg(l.photo, KindName(l.kind), l.text);
    const QString more = l.more > 0 ? QStringLiteral(" (+%1)").arg(l.more) : QString();
    lines << metrics.elidedText(line, Qt::ElideRight, width - metrics.horizontalAdvance(more)) +
                 more;
  }
  if (report.lines.size() > shown)
    lines << TForm2::tr("…и ещё %1, все — в подробностях").arg(report.lines.size() - shown);
  return lines;
}

QString WrapItems(const QStringList& items, const QFontMetrics& metrics, int width, int lines,
                  const QString& more) {
  QStringList done;
  QString line;
  for (int i = 0; i < items.size(); ++i) {
    const QString separator = i + 1 < items.size() ? QStringLiteral(",") : QString();
    const QString next = line.isEmpty() ? items[i] + separator : line + ' ' + items[i] + separator;
    if (line.isEmpty() || metrics.horizontalAdvance(next) <= width) {
      line = next;
      continue;
    }
    if (done.size() + 1 < lines) {
      done << line;
      line = items[i] + separator;
      continue;
    }
    // The last line: as many whole items as leave room for the count.
    for (int left = items.size() - i;; ++left) {
      const QString tail = ' ' + more.arg(left);
      if (metrics.horizontalAdvance(line + tail) <= width || !line.contains(' ')) {
        line += tail;
        break;
      }
      line.truncate(line.lastIndexOf(' '));  // one whole item fewer
    }
    break;
  }
  done << line;
  return done.join('\n');
}

const TRunOptions& TForm2::RunOptions() const { return Options->values; }

void TForm2::CreateOptions() {
  Options = std::make_unique<TOptionsMenu>();
  TOptionsMenu& o = *Options;
  o.values = LoadRunOptions(*WindowSettings());
  if (!TRunOptions::Offered(o.values.format)) o.values.format = TResultFormat::rfJpeg;
  CreateOptionsMenu();
  CreateOptionsLines();
  ShowOptions();
  ConnectOptionToggles();
  ConnectOptionChoices();
}

void TForm2::CreateOptionsMenu() {
  TOptionsMenu& o = *Options;
  // Between "Файл" and the hidden "Вид", so it stands before "Помощь".
  o.menu = new QMenu(this);
  o.menu->setObjectName(QStringLiteral("OptionsMenu"));
  menuBar()->insertMenu(N6->menuAction(), o.menu);
  o.keepMetadata = NewItem(o.menu, "KeepMetadataItem", true);
  o.noLocation = NewItem(o.menu, "NoLocationItem", true);
  o.toSrgb = NewItem(o.menu, "ToSrgbItem", true);
  o.autoOrient = NewItem(o.menu, "AutoOrientItem", true);
  o.longEdge = NewItem(o.menu, "LongEdgeItem", true);
  o.menu->addSeparator();
  auto* place = new QActionGroup(o.menu);
  o.besidePhotos = place->addAction(NewItem(o.menu, "BesidePhotosItem", true));
  o.resultFolder = place->addAction(NewItem(o.menu, "ResultFolderItem", true));
  o.menu->addSeparator();
  o.moreFormats = NewItem(o.menu, "MoreFormatsItem", true);
  o.formatMenu = o.menu->addMenu(QString());
  o.formatMenu->setObjectName(QStringLiteral("FormatMenu"));
  auto* formats = new QActionGroup(o.formatMenu);
  // One item a result format, named after its row: "JpegItem", "WebpItem".
  for (const TFormatRow& row : FormatRows()) {
    if (!row.resultExtension || !TRunOptions::Offered(row.result)) continue;
    std::string name = std::string(row.name) + "Item";
    name[0] = char(name[0] - 'a' + 'A');
    o.formats.emplace_back(row.result,
                           formats->addAction(NewItem(o.formatMenu, name.c_str(), true)));
  }
  o.quality = NewItem(o.menu, "QualityItem", false);
  o.sizeLimit = NewItem(o.menu, "SizeLimitItem", true);
  o.menu->addSeparator();
  o.keepGoing = NewItem(o.menu, "KeepGoingItem", true);
}

void TForm2::CreateOptionsLines() {
  TOptionsMenu& o = *Options;
  // Beside the count and the start button, where page 3 is empty.
  o.sizeLine = new QLabel(TabSheet3);
  o.sizeLine->setObjectName(QStringLiteral("SizeLine"));
  o.sizeLine->setGeometry(208, 104, 443, o.sizeLine->fontMetrics().height());
  o.line = new QLabel(TabSheet3);
  o.line->setObjectName(QStringLiteral("OptionsLine"));
  o.line->setGeometry(208, 128, 443, 2 * o.line->fontMetrics().lineSpacing() + 4);
  o.line->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // The report's right half: what the last run under options wrote.
  o.report = new QLabel(GroupBox1);
  o.report->setObjectName(QStringLiteral("RunReport"));
  o.report->setGeometry(232, 16, 377, 2 * o.report->fontMetrics().lineSpacing() + 4);
  o.report->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  o.report->hide();
  o.folderDialog = new TBrowseDlg(this);
  o.folderDialog->setObjectName(QStringLiteral("ResultFolderDlg"));
  // A path may be typed, and a new folder made; a typed path that is no
  // folder keeps the chooser open.
  o.folderDialog->SetOptions({doReturnFileSysDirs, doShowPath, doAllowEdit});
  o.folderDialog->SetNewFolderButton(true);
  o.folderDialog->OnValidate = [](QObject*, const QString&, bool& keepOpen) { keepOpen = true; };
}

void TForm2::ConnectOptionToggles() {
  const auto toggle = [this](QAction* item, bool TRunOptions::*field) {
    OnChosen(this, item, [this, item, field] {
      TRunOptions changed = Options->values;
      changed.*field = item->isChecked();
      SetOptions(changed);
    });
  };
  TOptionsMenu& o = *Options;
  toggle(o.keepMetadata, &TRunOptions::keepMetadata);
  toggle(o.noLocation, &TRunOptions::stripLocation);
  toggle(o.autoOrient, &TRunOptions::autoOrient);
  toggle(o.moreFormats, &TRunOptions::moreFormats);
  toggle(o.toSrgb, &TRunOptions::toSrgb);
  toggle(o.longEdge, &TRunOptions::longEdge);
  toggle(o.keepGoing, &TRunOptions::keepGoing);
}

void TForm2::ConnectOptionChoices() {
  TOptionsMenu& o = *Options;
  OnChosen(this, o.besidePhotos, [this] {
    TRunOptions changed = Options->values;
    changed.resultFolder.clear();
    SetOptions(changed);
  });
  OnChosen(this, o.resultFolder, [this] {
    TRunOptions changed = Options->values;
    if (!changed.resultFolder.isEmpty())
      Options->folderDialog->SetSelectedFolder(changed.resultFolder);
    if (Options->folderDialog->Browse())
      changed.resultFolder = Options->folderDialog->SelectedFolder();
    SetOptions(changed);  // a cancelled choice puts the checks back as they were
  });
  for (const auto& choice : o.formats)
    OnChosen(this, choice.second, [this, format = choice.first] {
      TRunOptions changed = Options->values;
      changed.format = format;
      SetOptions(changed);
    });
  OnChosen(this, o.quality, [this] {
    TRunOptions changed = Options->values;
    if (AskNumber(this, Options->texts.qualityTitle, Options->texts.qualityLabel, 1, 100,
                  changed.quality, Options->texts.ok, Options->texts.cancel))
      SetOptions(changed);
  });
  OnChosen(this, o.sizeLimit, [this] {
    TRunOptions changed = Options->values;
    int limit = changed.maxKilobytes > 0 ? changed.maxKilobytes : 500;
    // A click on the checked limit changes it; its dialog can turn it off.
    if (AskNumber(this, Options->texts.limitTitle, Options->texts.limitLabel, 1,
                  TRunOptions::MaxKilobytes, limit, Options->texts.ok, Options->texts.cancel,
                  changed.maxKilobytes > 0 ? Options->texts.noLimit : QString()))
      changed.maxKilobytes = limit;
    SetOptions(changed);  // a cancelled choice puts the check back as it was
  });
}

void TForm2::SetOptions(const TRunOptions& options) {
  if (!(options == Options->values)) {
    Options->values = options;
    SaveRunOptions(*WindowSettings(), options);
  }
  ShowOptions();
  RetranslateOptions();
}

void TForm2::ShowOptions() {
  TOptionsMenu& o = *Options;
  const TRunOptions& v = o.values;
  o.keepMetadata->setChecked(v.keepMetadata);
  o.noLocation->setChecked(v.stripLocation);
  o.noLocation->setEnabled(v.keepMetadata);
  o.autoOrient->setChecked(v.autoOrient);
  o.besidePhotos->setChecked(v.resultFolder.isEmpty());
  o.resultFolder->setChecked(!v.resultFolder.isEmpty());
  o.moreFormats->setChecked(v.moreFormats);
  for (const auto& [format, item] : o.formats) item->setChecked(v.format == format);
  o.sizeLimit->setChecked(v.maxKilobytes > 0);
  o.toSrgb->setChecked(v.toSrgb);
  o.longEdge->setChecked(v.longEdge);
  o.keepGoing->setChecked(v.keepGoing);
  // The long edge is a third side to keep the proportions by; chosen at
  // once when none is.
  if (v.longEdge && ComboBox1->count() == 2) {
    ComboBox1->addItem(tr(LongEdgeSide));
    if (ComboBox1->currentText().isEmpty()) ComboBox1->setCurrentIndex(2);
  } else if (!v.longEdge && ComboBox1->count() > 2) {
    const QString side = ComboBox1->currentText();
    ComboBox1->removeItem(2);
    ComboBox1->setEditText(side);  // as typed: page 2 refuses it now
  }
  // Options are read as a run starts: they stay as they are until it ends.
  o.menu->setEnabled(!o.running);
}

void TForm2::RetranslateOptions() {
  if (!Options) return;  // the window's own texts come first, before the options exist
  RetranslateOptionsMenu();
  RetranslateOptionDialogs();
  ShowOptionsLine();
  ShowReport();
}

void TForm2::RetranslateOptionsMenu() {
  TOptionsMenu& o = *Options;
  const TRunOptions& v = o.values;
  o.menu->setTitle(tr("Параметры"));
  // Page 1 says which photos it takes.
  glWizardHeader1->SetCaptions(
      {v.moreFormats ? tr("Укажите папку с фотографиями (JPG, HEIC, AVIF, PNG или WebP)")
                     : tr("Укажите папку с фотографиями (поддерживается только формат JPG)")});
  o.keepMetadata->setText(tr("Сохранять дату, камеру и цветовой профиль"));
  o.noLocation->setText(tr("Без геоданных"));
  o.toSrgb->setText(tr("Цвета в sRGB"));
  o.autoOrient->setText(tr("Поворачивать снимки по EXIF"));
  o.longEdge->setText(tr("Размер по длинной стороне"));
  o.keepGoing->setText(tr("Не останавливаться на ошибках"));
  if (ComboBox1->count() > 2) {
    const bool chosen = ComboBox1->currentText() == ComboBox1->itemText(2);
    ComboBox1->setItemText(2, tr(LongEdgeSide));
    if (chosen) ComboBox1->setEditText(ComboBox1->itemText(2));
  }
  o.besidePhotos->setText(tr("Рядом с фотографиями"));
  o.resultFolder->setText(tr("Папка для результатов…"));
  o.resultFolder->setToolTip(v.resultFolder);
  o.moreFormats->setText(tr("Также HEIC, AVIF, PNG и WebP"));
  o.formatMenu->setTitle(tr("Формат результата"));
  for (const auto& [format, item] : o.formats) item->setText(ResultLabel(format));
  o.quality->setText(v.quality == TRunOptions::DefaultQuality ? tr("Качество…")
                                                              : tr("Качество: %1…").arg(v.quality));
  o.sizeLimit->setText(v.maxKilobytes > 0 ? tr("Не больше %1 КБ").arg(v.maxKilobytes)
                                          : tr("Не больше … КБ"));
}

void TForm2::RetranslateOptionDialogs() {
  TOptionsMenu& o = *Options;
  o.folderDialog->SetCaption(tr("Папка для результатов:"));
  o.texts.qualityTitle = tr("Качество");
  o.texts.qualityLabel = tr("Качество результатов, от 1 до 100:");
  o.texts.limitTitle = tr("Размер файла");
  o.texts.limitLabel = tr("Не больше стольких КБ на результат:");
  o.texts.ok = tr("OK");
  o.texts.cancel = tr("Отмена");
  o.texts.noLimit = tr("Без ограничения");
}

// The options that are on, as the line on page 3 names them.
QStringList TForm2::OptionsOn() const {
  const TRunOptions& v = Options->values;
  QStringList on;
  if (v.keepMetadata) on << tr("дата и камера");
  if (v.StripsLocation()) on << tr("без геоданных");
  if (v.autoOrient) on << tr("поворот по EXIF");
  if (v.moreFormats) on << tr("также HEIC, AVIF, PNG и WebP");
  if (v.format != TResultFormat::rfJpeg) on << tr("результаты в %1").arg(ResultLabel(v.format));
  if (v.quality != TRunOptions::DefaultQuality) on << tr("качество %1").arg(v.quality);
  if (v.maxKilobytes > 0) on << tr("не больше %1 КБ").arg(v.maxKilobytes);
  if (v.toSrgb) on << tr("цвета в sRGB");
  if (v.longEdge) on << tr("по длинной стороне");
  if (v.keepGoing) on << tr("не останавливаться на ошибках");
  return on;
}

void TForm2::ShowOptionsLine() {
  TOptionsMenu& o = *Options;
  const TRunOptions& v = o.values;
  QStringList on = OptionsOn();
  // The folder last, its path cut in its middle when long.
  const QFontMetrics metrics = o.line->fontMetrics();
  QStringList shown = on;
  if (!v.resultFolder.isEmpty()) {
    on << tr("в папку %1").arg(v.resultFolder);
    shown << tr("в папку %1")
                 .arg(metrics.elidedText(v.resultFolder, Qt::ElideMiddle, o.line->width() / 2));
  }
  const QString line = tr("Параметры: %1").arg(on.join(QStringLiteral(", ")));
  if (!shown.isEmpty()) shown[0] = tr("Параметры: %1").arg(shown[0]);
  // Whole items in two lines; those that do not fit are one hover away.
  o.line->setText(WrapItems(shown, metrics, o.line->width(), 2, tr("и ещё %1…")));
  o.line->setToolTip(line);
  o.line->setVisible(!on.isEmpty());
  o.sizeLine->setText(SizeText());
  o.sizeLine->setVisible(!on.isEmpty() && !o.sizeLine->text().isEmpty());
}

QString TForm2::SizeText() const {
  if (RadioButton1->isChecked()) return tr("Размер: %1% от оригинала").arg(SpinEdit1->Value());
  const QString side = ComboBox1->currentText();
  for (int i = 0; i < ComboBox1->count(); ++i)
    if (!side.isEmpty() && side == ComboBox1->itemText(i))
      return tr("Размер: %1, %2 пкс.").arg(side.toLower()).arg(SpinEdit2->Value());
  return {};
}

void TForm2::ShowReport() {
  const TRunReport& r = Options->run;
  QLabel* report = Options->report;
  if (!r.active) {
    report->hide();
    return;
  }
  const QFontMetrics metrics = report->fontMetrics();
  QString written = tr("Записано результатов: %1, в папку %2").arg(r.written).arg(r.folder);
  report->setToolTip(written);
  written = metrics.elidedText(written, Qt::ElideMiddle, report->width());
  report->setText(r.failed == 0 ? written
                                : written + '\n' + tr("Не удалось обработать: %1").arg(r.failed));
  report->show();
}

void TForm2::BeginOptionsRun() {
  Options->running = true;
  TRunReport& r = Options->run;
  r = TRunReport{};
  r.active = RunOptions().EngineOptions() != TWindowOptions{} && PhotoCount > 0;
  if (r.active)
    r.folder = !RunOptions().resultFolder.isEmpty()
                   ? RunOptions().resultFolder
                   : QFileInfo(QString::fromStdString(PhotoFiles[0])).path();
  ShowOptions();
}

void TForm2::EndOptionsRun(TRunResult result) {
  Options->running = false;
  ShowOptions();
  TRunReport& r = Options->run;
  // A run refused before its first photo has nothing to report.
  if (result == TRunResult::rrRefused || result == TRunResult::rrEmpty) r = TRunReport{};
  ShowReport();
  // A window closed during the run ends the program: no box then.
  if (!r.active || !isVisible()) return;
  // A failure that ended the run: the design's error box, naming the photo.
  if (result == TRunResult::rrFailed && !r.stoppedBy.isEmpty()) {
    ShowError(this, r.stoppedBy);
    r.lines.removeIf([](const TRunReport::TLine& l) { return l.kind == TRunReport::Failure; });
  }
  if (r.lines.isEmpty()) return;

  QMessageBox box(QMessageBox::Warning, tr("Итоги авторесайза"), QString(), QMessageBox::Ok, this);
  const QFontMetrics metrics(box.font());
  // A message box is as wide as its text up to a limit of the screen's
  // width, and wraps at half the screen: a strut makes it as wide as the
  // lines, each cut to stay one line.
  const int screen = box.screen()->availableGeometry().width();
  const int width =
      std::clamp((screen <= 1024 ? screen : std::min(screen - 480, 1000)) - 160, 300, 600);
  QStringList head{
      tr("Записано результатов: %1, в папку:").arg(r.written),
      metrics.elidedText(r.folder, Qt::ElideMiddle, width),
  };
  if (r.failed > 0) head << tr("Не удалось обработать фотографий: %1.").arg(r.failed);
  box.setText(head.join('\n') + QStringLiteral("\n\n") +
              ReportLines(r, metrics, width, ShownLines).join('\n'));
  box.setDetailedText(r.details.join('\n'));
  QPushButton* open = box.addButton(tr("Открыть папку"), QMessageBox::ActionRole);
  // After the details: the box lays itself out anew when they are set.
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(width + 80, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Ok);
  RunMessageBox(box);
  if (box.clickedButton() == open) QDesktopServices::openUrl(QUrl::fromLocalFile(r.folder));
}

void TForm2::NotePhoto(const std::string& photo, const TPhotoOutcome& outcome) {
  TRunReport& r = Options->run;
  r.written += int(outcome.results.size());
  const QString name = FileName(photo);
  const qsizetype first = r.lines.size();  // this photo's lines, one per kind
  for (const TPhotoWarning& w : outcome.warnings) {
    const QString text = QString::fromStdString(w.text);
    r.details << name + QStringLiteral(": ") + text;
    qsizetype same = first;
    while (same < r.lines.size() && r.lines[same].kind != int(w.kind)) ++same;
    if (same < r.lines.size())
      ++r.lines[same].more;
    else
      r.lines << TRunReport::TLine{name, int(w.kind), text};
  }
}

void TForm2::NoteFailure(const std::string& photo, const std::string& error) {
  TRunReport& r = Options->run;
  ++r.failed;
  const QString name = FileName(photo), text = QString::fromStdString(error);
  r.details << name + QStringLiteral(": ") + text;
  r.lines << TRunReport::TLine{name, TRunReport::Failure, text};
  r.stoppedBy = name + QStringLiteral(": ") + text;
}

}  // namespace vizuvod

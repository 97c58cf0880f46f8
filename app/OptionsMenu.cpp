// The "Параметры" menu: built beside the designed menu, its handlers, the
// line on page 3, and the run's warnings. Every text is set in
// RetranslateOptions, so it can run again whenever the language changes.
#include "OptionsMenu.h"

#include <QActionGroup>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QWidget>

#include "BatchRun.h"
#include "BrowseDlg.h"
#include "MessageBoxes.h"
#include "Spin.h"
#include "Unit2.h"

namespace vizuvod {

namespace {

// The most warning lines the box lists; the rest are counted.
constexpr int ShownWarnings = 10;

QAction* NewItem(QMenu* menu, const char* name, bool checkable) {
  QAction* item = menu->addAction(QString());
  item->setObjectName(QLatin1String(name));
  item->setCheckable(checkable);
  return item;
}

}  // namespace

bool AskNumber(QWidget* parent, const QString& title, const QString& label, int min, int max,
               int& value, const QString& ok, const QString& cancel) {
  QDialog dialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                             Qt::MSWindowsFixedSizeDialogHint);
  dialog.setObjectName(QStringLiteral("NumberDialog"));
  dialog.setWindowTitle(title);
  dialog.setFont(parent->font());
  dialog.setFixedSize(256, 96);
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
  confirm->setGeometry(88, 64, 75, 25);
  confirm->setDefault(true);
  auto* refuse = new QPushButton(cancel, &dialog);
  refuse->setGeometry(172, 64, 75, 25);
  QObject::connect(confirm, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(refuse, &QPushButton::clicked, &dialog, &QDialog::reject);
  spin->setFocus();
  spin->selectAll();
  if (dialog.exec() != QDialog::Accepted) return false;
  value = spin->CheckValue(spin->Value());
  return true;
}

const TRunOptions& TForm2::RunOptions() const { return Options->values; }

void TForm2::CreateOptions() {
  Options = std::make_unique<TOptionsMenu>();
  TOptionsMenu& o = *Options;
  o.values = LoadRunOptions(*WindowSettings());
  if (!TRunOptions::Offered(o.values.format)) o.values.format = TResultFormat::Jpeg;

  // Between "Файл" and the hidden "Вид", so it stands before "Помощь".
  o.menu = new QMenu(this);
  o.menu->setObjectName(QStringLiteral("OptionsMenu"));
  menuBar()->insertMenu(N6->menuAction(), o.menu);
  o.keepMetadata = NewItem(o.menu, "KeepMetadataItem", true);
  o.noLocation = NewItem(o.menu, "NoLocationItem", true);
  o.autoOrient = NewItem(o.menu, "AutoOrientItem", true);
  o.menu->addSeparator();
  auto* place = new QActionGroup(o.menu);
  o.besidePhotos = place->addAction(NewItem(o.menu, "BesidePhotosItem", true));
  o.resultFolder = place->addAction(NewItem(o.menu, "ResultFolderItem", true));
  o.menu->addSeparator();
  o.moreFormats = NewItem(o.menu, "MoreFormatsItem", true);
  o.formatMenu = o.menu->addMenu(QString());
  o.formatMenu->setObjectName(QStringLiteral("FormatMenu"));
  auto* formats = new QActionGroup(o.formatMenu);
  const char* const formatNames[3] = {"JpegItem", "WebpItem", "AvifItem"};
  for (int i = 0; i < 3; ++i)
    if (TRunOptions::Offered(TResultFormat(i)))
      o.formats[i] = formats->addAction(NewItem(o.formatMenu, formatNames[i], true));
  o.quality = NewItem(o.menu, "QualityItem", false);
  o.sizeLimit = NewItem(o.menu, "SizeLimitItem", true);

  o.line = new QLabel(TabSheet3);
  o.line->setObjectName(QStringLiteral("OptionsLine"));
  // Beside the start button, where page 3 is empty.
  o.line->setGeometry(208, 134, 443, o.line->fontMetrics().height());
  o.folderDialog = new TBrowseDlg(this);
  o.folderDialog->setObjectName(QStringLiteral("ResultFolderDlg"));

  ShowOptions();
  const auto on = [this](QAction* item, auto handler) {
    connect(item, &QAction::triggered, this, [this, handler] { RunHandler(this, handler); });
  };
  const auto toggle = [this, on](QAction* item, bool TRunOptions::*field) {
    on(item, [this, item, field] {
      TRunOptions changed = Options->values;
      changed.*field = item->isChecked();
      SetOptions(changed);
    });
  };
  toggle(o.keepMetadata, &TRunOptions::keepMetadata);
  toggle(o.noLocation, &TRunOptions::stripLocation);
  toggle(o.autoOrient, &TRunOptions::autoOrient);
  toggle(o.moreFormats, &TRunOptions::moreFormats);
  on(o.besidePhotos, [this] {
    TRunOptions changed = Options->values;
    changed.resultFolder.clear();
    SetOptions(changed);
  });
  on(o.resultFolder, [this] {
    TRunOptions changed = Options->values;
    if (!changed.resultFolder.isEmpty())
      Options->folderDialog->SetSelectedFolder(changed.resultFolder);
    if (Options->folderDialog->Browse())
      changed.resultFolder = Options->folderDialog->SelectedFolder();
    SetOptions(changed);  // a cancelled choice puts the checks back as they were
  });
  for (int i = 0; i < 3; ++i)
    if (o.formats[i])
      on(o.formats[i], [this, i] {
        TRunOptions changed = Options->values;
        changed.format = TResultFormat(i);
        SetOptions(changed);
      });
  on(o.quality, [this] {
    TRunOptions changed = Options->values;
    if (AskNumber(this, Options->texts.qualityTitle, Options->texts.qualityLabel, 1, 100,
                  changed.quality, Options->texts.ok, Options->texts.cancel))
      SetOptions(changed);
  });
  on(o.sizeLimit, [this] {
    TRunOptions changed = Options->values;
    int limit = changed.maxKilobytes > 0 ? changed.maxKilobytes : 500;
    if (changed.maxKilobytes > 0)
      changed.maxKilobytes = 0;  // a click on the checked limit turns it off
    else if (AskNumber(this, Options->texts.limitTitle, Options->texts.limitLabel, 1,
                       TRunOptions::MaxKilobytes, limit, Options->texts.ok, Options->texts.cancel))
      changed.maxKilobytes = limit;
    SetOptions(changed);
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
  for (int i = 0; i < 3; ++i)
    if (o.formats[i]) o.formats[i]->setChecked(int(v.format) == i);
  o.sizeLimit->setChecked(v.maxKilobytes > 0);
  // Options are read as a run starts: they stay as they are until it ends.
  o.menu->setEnabled(!o.running);
}

void TForm2::RetranslateOptions() {
  if (!Options) return;  // the window's own texts come first, before the options exist
  TOptionsMenu& o = *Options;
  const TRunOptions& v = o.values;
  o.menu->setTitle(tr("Параметры"));
  o.keepMetadata->setText(tr("Сохранять дату, камеру и цветовой профиль"));
  o.noLocation->setText(tr("Без геоданных"));
  o.autoOrient->setText(tr("Поворачивать снимки по EXIF"));
  o.besidePhotos->setText(tr("Рядом с фотографиями"));
  o.resultFolder->setText(tr("Папка для результатов…"));
  o.resultFolder->setToolTip(v.resultFolder);
  o.moreFormats->setText(tr("Также HEIC, AVIF, PNG и WebP"));
  o.formatMenu->setTitle(tr("Формат результата"));
  const QString formatNames[3] = {QStringLiteral("JPEG"), QStringLiteral("WebP"),
                                  QStringLiteral("AVIF")};
  for (int i = 0; i < 3; ++i)
    if (o.formats[i]) o.formats[i]->setText(formatNames[i]);
  o.quality->setText(v.quality == TRunOptions::DefaultQuality ? tr("Качество…")
                                                              : tr("Качество: %1…").arg(v.quality));
  o.sizeLimit->setText(v.maxKilobytes > 0 ? tr("Не больше %1 КБ").arg(v.maxKilobytes)
                                          : tr("Не больше … КБ"));
  o.folderDialog->SetCaption(tr("Папка для результатов:"));
  o.texts.qualityTitle = tr("Качество");
  o.texts.qualityLabel = tr("Качество результатов, от 1 до 100:");
  o.texts.limitTitle = tr("Размер файла");
  o.texts.limitLabel = tr("Не больше стольких КБ на результат:");
  o.texts.ok = tr("OK");
  o.texts.cancel = tr("Отмена");
  o.texts.warningsHead = tr("Не всё удалось перенести в результаты:");
  o.texts.warningsMore = tr("…и ещё %1");

  // The line on page 3: the options that are on.
  QStringList on;
  if (v.keepMetadata) on << tr("дата и камера");
  if (v.StripsLocation()) on << tr("без геоданных");
  if (v.autoOrient) on << tr("поворот по EXIF");
  if (v.moreFormats) on << tr("также HEIC, AVIF, PNG и WebP");
  if (v.format != TResultFormat::Jpeg) on << formatNames[int(v.format)];
  if (v.quality != TRunOptions::DefaultQuality) on << tr("качество %1").arg(v.quality);
  if (v.maxKilobytes > 0) on << tr("не больше %1 КБ").arg(v.maxKilobytes);
  // The folder last: a long one is cut in its middle, the rest stays whole.
  if (!v.resultFolder.isEmpty()) on << tr("в папку %1").arg(v.resultFolder);
  const QString line = tr("Параметры: %1").arg(on.join(QStringLiteral(", ")));
  o.line->setText(o.line->fontMetrics().elidedText(line, Qt::ElideMiddle, o.line->width()));
  o.line->setToolTip(line);
  o.line->setVisible(!on.isEmpty());
}

void TForm2::BeginOptionsRun() {
  Options->running = true;
  Options->warnings.clear();
  ShowOptions();
}

void TForm2::EndOptionsRun() {
  Options->running = false;
  ShowOptions();
  // A window closed during the run ends the program: no box then.
  if (Options->warnings.isEmpty() || !isVisible()) return;
  QStringList lines = Options->warnings.mid(0, ShownWarnings);
  if (Options->warnings.size() > ShownWarnings)
    lines << Options->texts.warningsMore.arg(Options->warnings.size() - ShownWarnings);
  Options->warnings.clear();
  ShowWarning(this,
              Options->texts.warningsHead + QLatin1Char('\n') + lines.join(QLatin1Char('\n')));
}

void TForm2::NoteWarnings(const std::string& photo, const std::vector<TPhotoWarning>& warnings) {
  for (const TPhotoWarning& w : warnings)
    Options->warnings << QString::fromStdString(photo + ": " + w.text);
}

}  // namespace vizuvod

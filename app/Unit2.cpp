// The wizard window: its designed layout, built in code, and its handlers.
// Everything runs on the one window thread; the batch run pumps messages, so
// every handler here may also run in the middle of a run.
#include "Unit2.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <string_view>
#include <thread>

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include "BrowseDlg.h"
#include "DesktopFolders.h"
#include "Fonts.h"
#include "GroupBox.h"
#include "Language.h"
#include "MessageBoxes.h"
#include "OptionsMenu.h"
#include "Spin.h"
#include "StoredPicture.h"
#include "WidgetsPlatform.h"
#include "core/Warnings.h"
#include "glWizardHeader.h"
#include "photo/BatchRun.h"
#include "photo/PhotoScan.h"

// The site's address has its one default in app/CMakeLists.txt.
#ifndef VIZUVOD_SITE_URL
#error "VIZUVOD_SITE_URL comes from app/CMakeLists.txt"
#endif

namespace vizuvod {

namespace {

// The three headers share fonts, gradient and picture; only their lines differ.
const struct {
  const char* caption;
  const char* comment;
} HeaderLines[3] = {
    {QT_TRANSLATE_NOOP("vizuvod::TForm2",
                       "Укажите папку с фотографиями (поддерживается только формат JPG)"),
     QT_TRANSLATE_NOOP(
         "vizuvod::TForm2",
         "В указанной папке должны лежать только те фотографии размер которых нужно изменить")},
    {QT_TRANSLATE_NOOP("vizuvod::TForm2", "Настройка"),
     QT_TRANSLATE_NOOP("vizuvod::TForm2", "Для продолжения работы необходимо задать настройки")},
    {QT_TRANSLATE_NOOP("vizuvod::TForm2", "Авторесайз"),
     QT_TRANSLATE_NOOP("vizuvod::TForm2",
                       "В зависимости от выбранного количества фотографий, процесс авторесайза "
                       "может занять от      нескольких минут, до нескольких часов")},
};

// The fit-side items as lupdate reads them, held to the engine's own words.
constexpr const char* FitSideItems[2] = {QT_TRANSLATE_NOOP("vizuvod::TForm2", "По ширине"),
                                         QT_TRANSLATE_NOOP("vizuvod::TForm2", "По высоте")};
static_assert(std::string_view(FitSideItems[0]) == FitWidthItem);
static_assert(std::string_view(FitSideItems[1]) == FitHeightItem);

// How long the current-photo bar may stand still before it shows it is busy.
constexpr int BusyAfterMs = 400;

// What the batch run reads from and shows on the window.
class TWindowBatch : public TBatchWindow {
 public:
  explicit TWindowBatch(TForm2& form) : form_(form) {}

  TResizeMode Mode() const override {
    return form_.RadioButton1->isChecked() ? TResizeMode::rmPercent : TResizeMode::rmPixels;
  }
  int P() const override { return form_.SpinEdit1->Value(); }
  int N() const override { return form_.SpinEdit2->Value(); }
  std::string FitSideText() const override { return form_.ComboBox1->currentText().toStdString(); }
  std::string FitSideItem(int index) const override {
    return form_.ComboBox1->itemText(index).toStdString();
  }
  void SetOverallProgress(int position) override { form_.ProgressBar1->setValue(position); }
  void SetProcessedCount(const std::string& text) override {
    form_.Label12->setText(QString::fromStdString(text));
    form_.Label12->adjustSize();
  }
  void SetPhotoProgress(int position) override { form_.ProgressBar2->setValue(position); }
  void ProcessMessages() override { QCoreApplication::processEvents(); }
  std::unique_ptr<TOptionedRun> OptionsRun(const std::vector<std::string>& photos) override {
    const TWindowOptions options = form_.RunOptions().EngineOptions();
    if (options == TWindowOptions{}) return nullptr;
    return std::make_unique<TOptionsRun>(options, photos);
  }
  void PhotoDone(const std::string& photo, const TPhotoOutcome& outcome) override {
    form_.NotePhoto(photo, outcome);
  }
  void PhotoFailed(const std::string& photo, const std::string& error) override {
    form_.NoteFailure(photo, error);
  }
  // A photo under options works on a thread of its own while this one keeps
  // the window alive: the bar follows the photo's rows, and shows that it is
  // busy while none come (a decode, colours, the encodings for a size limit).
  void RunPhoto(const std::function<void(const TRowHooks&)>& work) override {
    std::atomic<int> position{-1};
    std::atomic<bool> done{false};
    std::exception_ptr failure;
    QObject waker;
    std::thread worker([&] {
      try {
        work(TRowHooks{[&position](int p) { position = p; }, {}});
      } catch (...) {
        failure = std::current_exception();
      }
      done = true;
      QMetaObject::invokeMethod(
          &waker, [] {}, Qt::QueuedConnection);
    });
    QProgressBar* bar = form_.ProgressBar2;
    QTimer tick;  // wakes the loop below to look at the bar
    tick.start(50);
    QElapsedTimer still;
    still.start();
    int shown = -1;
    while (!done) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      if (const int now = position; now != shown) {
        shown = now;
        still.restart();
        bar->setRange(0, 100);
        bar->setValue(now);
      } else if (still.elapsed() >= BusyAfterMs && bar->maximum() != 0) {
        bar->setRange(0, 0);  // busy
      }
    }
    worker.join();
    bar->setRange(0, 100);
    if (position >= 0) bar->setValue(position);
    if (failure) std::rethrow_exception(failure);
  }

 private:
  TForm2& form_;
};

// The designer's name, so a control can be found by name as there.
template <class T>
T* Named(T* object, const char* name) {
  object->setObjectName(QLatin1String(name));
  return object;
}

TglWizardHeader* NewHeader(QWidget* page) {
  auto* header = new TglWizardHeader(page);
  // Docked to the top (its own alignment): the page's full width, 81 high.
  header->setGeometry(0, 0, 659, 81);
  header->SetCaptionFont(TFont{.Name = QStringLiteral("MS Sans Serif"),
                               .Height = -11,
                               .Color = clWindowText,
                               .Style = fsBold});
  header->SetCommentFont(TFont{
      .Name = QStringLiteral("MS Sans Serif"), .Height = -11, .Color = clWindowText, .Style = 0});
  header->SetSymbolFont(TFont{.Name = QStringLiteral("Wingdings"),
                              .Height = -35,
                              .Color = clHighlightText,
                              .Style = fsBold});
  header->SetBufferedDraw(false);
  header->SetGlyph(HeaderPicture());
  header->SetPageNo(0);
  return header;
}

// Its text, as every text that is translated, comes from TForm2::Retranslate.
QPushButton* NewButton(QWidget* parent, int left, int top, int width, int height) {
  auto* button = new QPushButton(parent);
  button->setGeometry(left, top, width, height);
  return button;
}

// A bevel drawn as its top edge only: a sunken line along the top of its bounds.
QFrame* NewTopLine(QWidget* parent, int left, int top, int width) {
  auto* line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  line->setGeometry(left, top, width, 2);
  return line;
}

QProgressBar* NewProgressBar(QWidget* parent, int left, int top, int width, int height) {
  auto* bar = new QProgressBar(parent);
  bar->setRange(0, 100);
  bar->setValue(0);
  bar->setTextVisible(false);
  bar->setGeometry(left, top, width, height);
  return bar;
}

TSpinEdit* NewSpinEdit(QWidget* parent, int left, int top, int width, int height) {
  auto* spin = new TSpinEdit(parent);
  // The stored order: MaxValue, MinValue, then Value (which the bounds already govern).
  spin->SetMaxValue(0);
  spin->SetMinValue(0);
  spin->SetValue(0);
  spin->setGeometry(left, top, width, height);
  return spin;
}

}  // namespace

TForm2::TForm2(QWidget* parent) : QMainWindow(parent) {
  ApplyLanguage(StoredLanguage());
  CreateControls();
  CreateOptions();
  RetranslateOptions();
  ConnectHandlers();
  SetApplicationMainForm(this);
  RunHandler(this, [this] { FormCreate(this); });
}

TForm2::~TForm2() {
  if (ApplicationMainForm() == this) SetApplicationMainForm(nullptr);
}

QString TForm2::DeveloperSiteUrl() { return QStringLiteral(VIZUVOD_SITE_URL); }

// ---------------------------------------------------------------------------
// Layout

void TForm2::CreateControls() {
  setWindowTitle(QStringLiteral("Fotrix Vizuvod 1.0 Beta"));
  // Sizeable, with the system menu, minimise and close, but no maximise.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);
  setFont(DefaultUiFont());
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, palette.color(QPalette::Button));
  setPalette(palette);

  setObjectName(QStringLiteral("Form2"));
  CreateMenu();

  PageControl1 = Named(new QTabWidget(this), "PageControl1");
  setCentralWidget(PageControl1);
  TabSheet1 = Named(new QWidget, "TabSheet1");
  TabSheet2 = Named(new QWidget, "TabSheet2");
  TabSheet3 = Named(new QWidget, "TabSheet3");
  for (QWidget* page : {TabSheet1, TabSheet2, TabSheet3}) PageControl1->addTab(page, QString());
  for (QWidget* page : {TabSheet1, TabSheet2, TabSheet3}) page->setAutoFillBackground(true);
  // The classic page sits 4 pixels inside each side edge of the page control,
  // whatever frame the style draws: 659 wide in a 667-wide control.
  if (auto* stack = PageControl1->findChild<QStackedWidget*>()) stack->installEventFilter(this);
  CreatePage1();
  CreatePage2();
  CreatePage3();

  BrowseDlg1 = Named(new TBrowseDlg(this), "BrowseDlg1");

  setAcceptDrops(true);
  // The edits take dropped text themselves; a dropped folder is the window's.
  for (QLineEdit* edit : findChildren<QLineEdit*>()) edit->installEventFilter(this);

  Retranslate();

  // Outer bounds 219, 183 with a client area of 667 x 459 below the menu.
  resize(667, 459 + menuBar()->sizeHint().height());
  move(WindowPlacement(size(), ScreenWorkArea()));
}

QPoint WindowPlacement(const QSize& size, const TRect& workArea) {
  // Along each axis: the designed place when the window fits there, else as
  // near to it as the work area allows, its top left corner always inside.
  const auto place = [](int designed, int extent, int low, int high) {
    if (high <= low) return designed;  // no screen known
    return std::max(low, std::min(designed, high - extent));
  };
  return {place(219, size.width(), workArea.Left, workArea.Right),
          place(183, size.height(), workArea.Top, workArea.Bottom)};
}

QLabel* TForm2::NewLabel(QWidget* parent, const QString& text, int left, int top) {
  auto* label = new QLabel(text, parent);
  label->move(left, top);
  label->adjustSize();
  return label;
}

void TForm2::SetLabelText(QLabel* label, const QString& text) {
  label->setText(text);
  label->adjustSize();
}

void TForm2::CreatePage1() {
  QWidget* page = TabSheet1;
  glWizardHeader1 = Named(NewHeader(page), "glWizardHeader1");
  Label1 = Named(NewLabel(page, QString(), 16, 96), "Label1");
  Edit1 = Named(new QLineEdit(page), "Edit1");
  Edit1->setGeometry(24, 120, 529, 21);
  Button4 = Named(NewButton(page, 568, 118, 83, 25), "Button4");
  Bevel1 = Named(NewTopLine(page, 8, 384, 641), "Bevel1");
  Button1 = Named(NewButton(page, 576, 400, 75, 25), "Button1");

  QWidget::setTabOrder(Button1, Edit1);
  QWidget::setTabOrder(Edit1, Button4);
}

void TForm2::CreatePage2() {
  QWidget* page = TabSheet2;
  glWizardHeader3 = Named(NewHeader(page), "glWizardHeader3");
  RadioButton1 = Named(new QRadioButton(page), "RadioButton1");
  RadioButton1->setGeometry(32, 104, 153, 17);
  RadioButton1->setChecked(true);
  SpinEdit1 = Named(NewSpinEdit(page, 190, 102, 51, 22), "SpinEdit1");
  Label3 = Named(NewLabel(page, QStringLiteral("%"), 256, 104), "Label3");
  RadioButton2 = Named(new QRadioButton(page), "RadioButton2");
  RadioButton2->setGeometry(32, 136, 145, 17);
  Label8 = Named(NewLabel(page, QString(), 56, 160), "Label8");
  ComboBox1 = Named(new QComboBox(page), "ComboBox1");
  ComboBox1->setEditable(true);
  // The text is the user's; typing never adds an item of its own.
  ComboBox1->setInsertPolicy(QComboBox::NoInsert);
  ComboBox1->addItems({QString(), QString()});
  ComboBox1->setCurrentIndex(-1);
  ComboBox1->setEditText(QString());
  ComboBox1->setGeometry(192, 158, 145, 21);
  Label13 = Named(NewLabel(page, QString(), 144, 184), "Label13");
  SpinEdit2 = Named(NewSpinEdit(page, 192, 182, 57, 22), "SpinEdit2");
  Label14 = Named(NewLabel(page, QString(), 256, 184), "Label14");
  Bevel2 = Named(NewTopLine(page, 8, 384, 641), "Bevel2");
  Button7 = Named(NewButton(page, 488, 400, 75, 25), "Button7");
  Button2 = Named(NewButton(page, 576, 400, 75, 25), "Button2");

  QWidget::setTabOrder(Button2, Button7);
  QWidget::setTabOrder(Button7, RadioButton1);
  QWidget::setTabOrder(RadioButton1, RadioButton2);
  QWidget::setTabOrder(RadioButton2, SpinEdit1);
  QWidget::setTabOrder(SpinEdit1, SpinEdit2);
  QWidget::setTabOrder(SpinEdit2, ComboBox1);
}

void TForm2::CreatePage3() {
  QWidget* page = TabSheet3;
  glWizardHeader2 = Named(NewHeader(page), "glWizardHeader2");
  Label2 = Named(NewLabel(page, QString(), 16, 104), "Label2");
  Label4 = Named(NewLabel(page, QStringLiteral("Label4"), 80, 104), "Label4");
  Label5 = Named(NewLabel(page, QString(), 128, 104), "Label5");
  Button5 = Named(NewButton(page, 16, 128, 177, 25), "Button5");
  Label6 = Named(NewLabel(page, QString(), 16, 168), "Label6");
  ProgressBar1 = Named(NewProgressBar(page, 24, 184, 601, 17), "ProgressBar1");
  Label7 = Named(NewLabel(page, QString(), 16, 216), "Label7");
  ProgressBar2 = Named(NewProgressBar(page, 24, 232, 601, 17), "ProgressBar2");
  Button6 = Named(NewButton(page, 256, 264, 153, 25), "Button6");
  GroupBox1 = Named(new TGroupBox(page), "GroupBox1");
  GroupBox1->setGeometry(16, 312, 617, 57);
  Label10 = Named(NewLabel(GroupBox1, QString(), 8, 16), "Label10");
  Label9 = Named(NewLabel(GroupBox1, QStringLiteral("0"), 112, 16), "Label9");
  Label11 = Named(NewLabel(GroupBox1, QString(), 8, 34), "Label11");
  Label12 = Named(NewLabel(GroupBox1, QStringLiteral("0"), 144, 34), "Label12");
  Button8 = Named(NewButton(page, 576, 400, 75, 25), "Button8");

  QWidget::setTabOrder(Button5, Button6);
  QWidget::setTabOrder(Button6, Button8);
}

void TForm2::CreateMenu() {
  QMenuBar* bar = menuBar();
  N1 = Named(bar->addMenu(QString()), "N1");
  N2 = Named(N1->addAction(QString()), "N2");

  N6 = Named(bar->addMenu(QString()), "N6");
  N7 = Named(N6->addMenu(QString()), "N7");
  // Each language by its English name, whichever is in use; one is checked.
  N8 = Named(N7->addAction(QStringLiteral("Russian")), "N8");
  N9 = Named(N7->addAction(QStringLiteral("English")), "N9");
  auto* languages = new QActionGroup(N7);
  for (QAction* language : {N8, N9}) {
    language->setCheckable(true);
    languages->addAction(language);
  }

  N3 = Named(bar->addMenu(QString()), "N3");
  N4 = Named(N3->addAction(QString()), "N4");
  N5 = Named(N3->addAction(QString()), "N5");
  N5->setVisible(false);
}

void TForm2::ConnectHandlers() {
  // Every handler is entered through RunHandler, which shows a failure in the error box.
  auto bind = [this](auto* sender, auto signal, void (TForm2::*handler)(QObject*)) {
    connect(sender, signal, this,
            [this, sender, handler] { RunHandler(this, [&] { (this->*handler)(sender); }); });
  };
  bind(Button1, &QPushButton::clicked, &TForm2::Button1Click);
  bind(Button4, &QPushButton::clicked, &TForm2::Button4Click);
  // A radio button's handler runs whenever it becomes checked: by the mouse,
  // the keyboard or an accessibility action, which may check it without a
  // click. A click on the checked one runs it too. It only sets enable
  // states, so running twice for one click is harmless.
  bind(RadioButton1, &QRadioButton::clicked, &TForm2::RadioButton1Click);
  bind(RadioButton2, &QRadioButton::clicked, &TForm2::RadioButton2Click);
  auto bindChecked = [this](QRadioButton* sender, void (TForm2::*handler)(QObject*)) {
    connect(sender, &QRadioButton::toggled, this, [this, sender, handler](bool checked) {
      if (checked) RunHandler(this, [&] { (this->*handler)(sender); });
    });
  };
  bindChecked(RadioButton1, &TForm2::RadioButton1Click);
  bindChecked(RadioButton2, &TForm2::RadioButton2Click);
  bind(Button7, &QPushButton::clicked, &TForm2::Button7Click);
  bind(Button2, &QPushButton::clicked, &TForm2::Button2Click);
  bind(Button5, &QPushButton::clicked, &TForm2::Button5Click);
  bind(Button6, &QPushButton::clicked, &TForm2::Button6Click);
  bind(Button8, &QPushButton::clicked, &TForm2::Button8Click);
  bind(N4, &QAction::triggered, &TForm2::N4Click);
  bind(N8, &QAction::triggered, &TForm2::N8Click);
  bind(N9, &QAction::triggered, &TForm2::N9Click);
  // A failure while a header paints reaches the same error box as one in a handler.
  for (TglWizardHeader* header : {glWizardHeader1, glWizardHeader3, glWizardHeader2})
    connect(header, &TglWizardHeader::PaintFailed, this,
            [this](const QString& message) { ShowError(this, message); });
  bind(N2, &QAction::triggered, &TForm2::N2Click);
}

// ---------------------------------------------------------------------------
// Texts

void TForm2::Retranslate() {
  N1->setTitle(tr("Файл"));
  N2->setText(tr("Выход"));
  N6->setTitle(tr("Вид"));
  N7->setTitle(tr("Язык интерфейса"));
  N8->setChecked(CurrentLanguage() == TLanguage::lgRussian);
  N9->setChecked(CurrentLanguage() == TLanguage::lgEnglish);
  N3->setTitle(tr("Помощь"));
  N4->setText(tr("Сайт разработчика"));
  N5->setText(tr("О программе"));

  PageControl1->setTabText(0, tr("Шаг 1"));
  PageControl1->setTabText(1, tr("Шаг 2"));
  PageControl1->setTabText(2, tr("Шаг 3"));
  TglWizardHeader* const headers[3] = {glWizardHeader1, glWizardHeader3, glWizardHeader2};
  for (int i = 0; i < 3; ++i) {
    headers[i]->SetCaptions({tr(HeaderLines[i].caption)});
    headers[i]->SetComments({tr(HeaderLines[i].comment)});
  }

  SetLabelText(Label1, tr("Путь к папке с фотографиями:"));
  Button4->setText(tr("Выбрать"));
  Button1->setText(tr("Дальше >>"));

  RadioButton1->setText(tr("Процент от оригинала:"));
  RadioButton2->setText(tr("Размер в пикселях:"));
  SetLabelText(Label8, tr("Сохранять пропорции по:"));
  // A side chosen (or typed as one of the items) stays chosen, in the new words.
  const QString side = ComboBox1->currentText();
  const int chosen = side.isEmpty() ? -1 : ComboBox1->findText(side);
  for (int i = 0; i < 2; ++i) ComboBox1->setItemText(i, tr(FitSideItems[i]));
  if (chosen >= 0) ComboBox1->setEditText(ComboBox1->itemText(chosen));
  SetLabelText(Label13, tr("размер:"));
  SetLabelText(Label14, tr("пкс."));
  Button7->setText(tr("<< Назад"));
  Button2->setText(tr("Дальше >>"));

  SetLabelText(Label2, tr("Выбрано:"));
  SetLabelText(Label5, tr("фотографий."));
  Button5->setText(tr("Начать процесс авторесайза"));
  SetLabelText(Label6, tr("Общий прогресс:"));
  SetLabelText(Label7, tr("Текущая фотография:"));
  Button6->setText(tr("Отменить процесс"));
  GroupBox1->setTitle(tr(" Отчет "));
  SetLabelText(Label10, tr("Всего фотографий:"));
  SetLabelText(Label11, tr("Обработано фотографий:"));
  Button8->setText(tr("<< Назад"));

  RetranslateOptions();
}

void TForm2::ChooseLanguage(TLanguage language) {
  StoreLanguage(language);
  ApplyLanguage(language);
  // At once, not only when the posted LanguageChange arrives.
  Retranslate();
}

void TForm2::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange) Retranslate();
  QMainWindow::changeEvent(event);
}

void TForm2::closeEvent(QCloseEvent* event) {
  // Closing during a run stops it after the photo in progress; the program
  // ends once the run has returned to the message loop.
  if (BatchRunActive()) CancelRequested = true;
  QMainWindow::closeEvent(event);
}

void TForm2::dragEnterEvent(QDragEnterEvent* event) {
  if (DroppedFolder(event->mimeData())) event->acceptProposedAction();
}

void TForm2::dropEvent(QDropEvent* event) {
  const std::optional<QString> folder = DroppedFolder(event->mimeData());
  if (!folder) return;
  Edit1->setText(*folder);
  event->acceptProposedAction();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Resize:
      if (auto* stack = qobject_cast<QStackedWidget*>(watched)) {
        const int extra = stack->width() - 2 * stack->frameWidth() - (PageControl1->width() - 8);
        const int left = std::max(0, extra / 2);
        stack->setContentsMargins(left, 0, std::max(0, extra - left), 0);
      }
      break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop: {
      auto* drag = static_cast<QDropEvent*>(event);
      if (!DroppedFolder(drag->mimeData())) break;
      if (event->type() == QEvent::Drop)
        dropEvent(drag);
      else
        drag->acceptProposedAction();
      return true;
    }
    default: break;
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Handlers

void TForm2::SetPagesVisible(bool page1, bool page2, bool page3) {
  const bool visible[3] = {page1, page2, page3};
  for (int i = 0; i < 3; ++i) PageControl1->setTabVisible(i, visible[i]);
  for (int i = 0; i < 3; ++i)
    if (visible[i]) PageControl1->setCurrentIndex(i);
}

void TForm2::ApplyModeStates(bool percentMode) {
  SpinEdit1->setEnabled(percentMode);
  Label3->setEnabled(percentMode);
  for (QWidget* control : {static_cast<QWidget*>(Label8), static_cast<QWidget*>(ComboBox1),
                           static_cast<QWidget*>(Label13), static_cast<QWidget*>(SpinEdit2),
                           static_cast<QWidget*>(Label14)})
    control->setEnabled(!percentMode);
}

void TForm2::FormCreate(QObject*) {
  PageControl1->setCurrentWidget(TabSheet1);
  SetPagesVisible(true, false, false);
}

void TForm2::Button1Click(QObject*) {
  if (ScanPhotoFolder(Edit1->text().toStdString(), RunOptions().ScanFormats(),
                      RunOptions().EngineOptions().Checked()) <= 0) {
    ShowWarning(this, WarningText(NoPhotosWarning));
    return;
  }
  SetPagesVisible(false, true, false);
  const QString count = QString::number(PhotoCount);
  SetLabelText(Label4, count);
  SetLabelText(Label9, count);
  // Under options, the new list starts with its own counters.
  if (!BatchRunActive() && !(RunOptions() == TRunOptions{})) {
    SetLabelText(Label12, QStringLiteral("0"));
    ProgressBar1->setValue(0);
    ProgressBar2->setValue(0);
    Options->run = TRunReport{};
    ShowReport();
  }
  // The percentage states, whichever radio button is checked.
  ApplyModeStates(true);
}

void TForm2::Button4Click(QObject*) {
  if (BrowseDlg1->Browse()) Edit1->setText(BrowseDlg1->SelectedFolder());
}

void TForm2::RadioButton1Click(QObject*) { ApplyModeStates(true); }

void TForm2::RadioButton2Click(QObject*) { ApplyModeStates(false); }

void TForm2::Button7Click(QObject*) { SetPagesVisible(true, false, false); }

void TForm2::Button2Click(QObject*) {
  // The long edge, when offered, is a side as good as the other two.
  const bool longEdge = RadioButton2->isChecked() && ComboBox1->count() > 2 &&
                        ComboBox1->currentText() == ComboBox1->itemText(2);
  if (const auto warning = SettingsPageWarning(TWindowBatch(*this)); warning && !longEdge) {
    ShowWarning(this, WarningText(warning->c_str()));
    return;
  }
  SetPagesVisible(false, false, true);
  RetranslateOptions();  // page 3 names the size
}

void TForm2::Button5Click(QObject*) {
  TWindowBatch window(*this);
  const bool starts = !BatchRunActive();
  if (starts) BeginOptionsRun();
  TRunResult result;
  try {
    // Values of 0 or less are refused before any photo is touched; a second
    // click while a run pumps messages is ignored by the run itself.
    result = BatchResizeRun(window);
  } catch (...) {
    if (starts) EndOptionsRun(TRunResult::rrEmpty);  // no photo was started
    throw;
  }
  if (starts) EndOptionsRun(result);
  if (result == TRunResult::rrRefused) {
    if (const auto warning = RunSettingsWarning(window))
      ShowWarning(this, WarningText(warning->c_str()));
  }
}

void TForm2::Button6Click(QObject*) { CancelRequested = true; }

void TForm2::Button8Click(QObject*) { SetPagesVisible(false, true, false); }

void TForm2::N4Click(QObject*) { QDesktopServices::openUrl(QUrl(DeveloperSiteUrl())); }

void TForm2::N2Click(QObject*) {
  // Left open by the design; users expect "Выход" to end the program.
  close();
}

void TForm2::N8Click(QObject*) { ChooseLanguage(TLanguage::lgRussian); }

void TForm2::N9Click(QObject*) { ChooseLanguage(TLanguage::lgEnglish); }

}  // namespace vizuvod

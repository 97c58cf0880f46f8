// End-to-end tests of the wizard window: a real TForm2, driven with mouse and
// keyboard the way a user would, headless. Message boxes are taken through
// the hook instead of being run, and the folder chooser is a stand-in, so
// nothing waits for a person.
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <cmath>
#include <exiv2/exiv2.hpp>
#include <memory>
#include <thread>
#include <vector>

#include "BrowseDlg.h"
#include "DesktopFolders.h"
#include "MessageBoxes.h"
#include "OptionsMenu.h"
#include "Spin.h"
#include "Unit2.h"
#include "WindowTestSupport.h"
#include "core/TestSeams.h"
#include "core/Warnings.h"
#include "files/SafeFiles.h"
#include "glWizardHeader.h"
#include "photo/BatchRun.h"

using namespace vizuvod;

namespace {

// What a message box showed.
struct TShownBox {
  QMessageBox::Icon icon;
  QString caption;
  QString text;
  QMessageBox::StandardButtons buttons;
};

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Types any text, Cyrillic included, one key event per character (the test
// library's keyClicks takes Latin-1 only).
void TypeText(QWidget* widget, const QString& text) {
  for (const QChar c : text) {
    QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
  }
}

QStringList ResizedFiles(const QString& folder) {
  return QDir(folder).entryList({QStringLiteral("Resize of *")}, QDir::Files, QDir::Name);
}

// A folder chooser that answers without a dialog.
class TFakeBrowser : public TFolderBrowser {
 public:
  std::optional<TBrowseItem> answer;
  int calls = 0;
  std::optional<TBrowseItem> BrowseForFolder(const TBrowseRequest&) override {
    ++calls;
    return answer;
  }
};

}  // namespace

class TWindowTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TForm2> form;
  std::vector<TShownBox> boxes;
  // Runs after a box was recorded (the screenshots grab it there).
  std::function<void(QMessageBox&)> onBox;
  // Every box shown while the test case runs is recorded instead of run.
  TScopedHook<TMessageBoxHook> boxHook{
      MessageBoxHook(), [this](QMessageBox& box) {
        boxes.push_back({box.icon(), box.windowTitle(), box.text(), box.standardButtons()});
        if (onBox) onBox(box);
      }};

  QString FolderOf(const QTemporaryDir& dir) { return dir.path(); }

  // Types the folder on page 1 and presses "Дальше >>".
  void ScanFolder(const QString& folder) {
    form->Edit1->selectAll();
    TypeText(form->Edit1, folder);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
  }

  // Replaces a spin field's text by typing.
  void TypeNumber(TSpinEdit* spin, int value) {
    spin->setFocus();
    spin->selectAll();
    QTest::keyClick(spin, Qt::Key_Delete);
    QTest::keyClicks(spin, QString::number(value));
  }

  // Picks the settings on page 2 as a user does and presses "Дальше >>".
  void ChooseSettings(const QString& mode, int value) {
    if (mode == QLatin1String("percent")) {
      QTest::mouseClick(form->RadioButton1, Qt::LeftButton, {}, QPoint(5, 8));
      TypeNumber(form->SpinEdit1, value);
    } else {
      QTest::mouseClick(form->RadioButton2, Qt::LeftButton, {}, QPoint(5, 8));
      form->ComboBox1->setFocus();
      form->ComboBox1->lineEdit()->selectAll();
      TypeText(form->ComboBox1->lineEdit(), mode == QLatin1String("width")
                                                ? QStringLiteral("По ширине")
                                                : QStringLiteral("По высоте"));
      TypeNumber(form->SpinEdit2, value);
    }
    QTest::mouseClick(form->Button2, Qt::LeftButton);
  }

  // Chooses options from "Параметры" as a user does: "Name" clicks an item,
  // "Name=N" answers the dialog it opens with N, "ResultFolderItem=path"
  // answers the folder chooser.
  void ChooseOptions(const QStringList& items) {
    TFakeBrowser browser;
    form->Options->folderDialog->SetFolderBrowser(&browser);
    for (const QString& item : items) {
      const QString name = item.section('=', 0, 0), answer = item.section('=', 1);
      if (name == QLatin1String("ResultFolderItem"))
        browser.answer = TBrowseItem{answer, answer};
      else if (!answer.isEmpty())
        QTimer::singleShot(0, [answer] {
          auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
          QVERIFY(dialog);
          if (answer == "off")
            return QTest::mouseClick(dialog->findChild<QPushButton*>("NoLimitButton"),
                                     Qt::LeftButton);
          auto* field = dialog->findChild<TSpinEdit*>();
          field->selectAll();
          QTest::keyClicks(field, answer);
          QTest::keyClick(field, Qt::Key_Return);  // Enter is the dialog's OK
          if (dialog->isVisible()) {
            dialog->reject();
            QFAIL("Enter did not confirm");
          }
        });
      auto* action = form->Options->menu->findChild<QAction*>(name);
      if (!action) action = form->Options->formatMenu->findChild<QAction*>(name);
      QVERIFY2(action && action->isEnabled(), qPrintable(name));
      action->trigger();
    }
    form->Options->folderDialog->SetFolderBrowser(nullptr);
  }

  QList<int> VisibleTabs() const {
    QList<int> tabs;
    for (int i = 0; i < form->PageControl1->count(); ++i)
      if (form->PageControl1->isTabVisible(i)) tabs << i;
    return tabs;
  }

  void ExpectPage(int index) {
    QCOMPARE(VisibleTabs(), QList<int>{index});
    QCOMPARE(form->PageControl1->currentIndex(), index);
  }

  // The page-2 states of the percentage mode (true) or the pixel mode.
  void ExpectModeStates(bool percentMode) {
    QCOMPARE(form->SpinEdit1->isEnabled(), percentMode);
    QCOMPARE(form->Label3->isEnabled(), percentMode);
    for (QWidget* w : {static_cast<QWidget*>(form->Label8), static_cast<QWidget*>(form->ComboBox1),
                       static_cast<QWidget*>(form->Label13), static_cast<QWidget*>(form->SpinEdit2),
                       static_cast<QWidget*>(form->Label14)})
      QCOMPARE(w->isEnabled(), !percentMode);
  }

 private slots:
  void init() {
    boxes.clear();
    onBox = nullptr;
    form = ShowNewWindow();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
  }

  void cleanup() { form.reset(); }

  // ---- Start-up and layout -------------------------------------------------

  void startState() {
    QCOMPARE(form->windowTitle(), QStringLiteral("Fotrix Vizuvod 1.0 Beta"));
    ExpectPage(0);
    QVERIFY(form->Edit1->text().isEmpty());
    QCOMPARE(form->PageControl1->tabText(0), QStringLiteral("Шаг 1"));
    QCOMPARE(form->PageControl1->tabText(1), QStringLiteral("Шаг 2"));
    QCOMPARE(form->PageControl1->tabText(2), QStringLiteral("Шаг 3"));
    QVERIFY(form->RadioButton1->isChecked());
    QVERIFY(!form->RadioButton2->isChecked());
    QCOMPARE(form->SpinEdit1->text(), QStringLiteral("0"));
    QCOMPARE(form->SpinEdit2->text(), QStringLiteral("0"));
    QCOMPARE(form->ComboBox1->currentIndex(), -1);
    QVERIFY(form->ComboBox1->currentText().isEmpty());
    QCOMPARE(form->ComboBox1->count(), 2);
    QCOMPARE(form->ComboBox1->itemText(0), QStringLiteral("По ширине"));
    QCOMPARE(form->ComboBox1->itemText(1), QStringLiteral("По высоте"));
    // At load nothing on page 2 is disabled.
    for (QWidget* w : form->TabSheet2->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
      QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    QCOMPARE(form->Label4->text(), QStringLiteral("Label4"));
    QCOMPARE(form->Label9->text(), QStringLiteral("0"));
    QCOMPARE(form->Label12->text(), QStringLiteral("0"));
    QCOMPARE(form->GroupBox1->title(), QStringLiteral(" Отчет "));
    for (QProgressBar* bar : {form->ProgressBar1, form->ProgressBar2}) {
      QCOMPARE(bar->minimum(), 0);
      QCOMPARE(bar->maximum(), 100);
      QCOMPARE(bar->value(), 0);
    }
    // No maximise button; minimise and the system menu are there.
    QVERIFY(!(form->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(form->windowFlags() & Qt::WindowSystemMenuHint);
  }

  void controlBounds_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("bounds");
    const struct {
      const char* name;
      int l, t, w, h;
    } rows[] = {
        {"Edit1", 24, 120, 529, 21},        {"Button4", 568, 118, 83, 25},
        {"Button1", 576, 400, 75, 25},      {"RadioButton1", 32, 104, 153, 17},
        {"SpinEdit1", 190, 102, 51, 22},    {"RadioButton2", 32, 136, 145, 17},
        {"ComboBox1", 192, 158, 145, 21},   {"SpinEdit2", 192, 182, 57, 22},
        {"Button7", 488, 400, 75, 25},      {"Button2", 576, 400, 75, 25},
        {"Button5", 16, 128, 177, 25},      {"ProgressBar1", 24, 184, 601, 17},
        {"ProgressBar2", 24, 232, 601, 17}, {"Button6", 256, 264, 153, 25},
        {"GroupBox1", 16, 312, 617, 57},    {"Button8", 576, 400, 75, 25},
    };
    for (const auto& r : rows)
      QTest::newRow(r.name) << QString(r.name) << QRect(r.l, r.t, r.w, r.h);
  }

  void controlBounds() {
    QFETCH(QString, name);
    QFETCH(QRect, bounds);
    auto* control = form->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->geometry(), bounds);
  }

  void labels_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QString>("text");
    const struct {
      const char* name;
      int l, t;
      const char* text;
    } rows[] = {
        {"Label1", 16, 96, "Путь к папке с фотографиями:"},
        {"Label3", 256, 104, "%"},
        {"Label8", 56, 160, "Сохранять пропорции по:"},
        {"Label13", 144, 184, "размер:"},
        {"Label14", 256, 184, "пкс."},
        {"Label2", 16, 104, "Выбрано:"},
        {"Label4", 80, 104, "Label4"},
        {"Label5", 128, 104, "фотографий."},
        {"Label6", 16, 168, "Общий прогресс:"},
        {"Label7", 16, 216, "Текущая фотография:"},
        {"Label10", 8, 16, "Всего фотографий:"},
        {"Label9", 112, 16, "0"},
        {"Label11", 8, 34, "Обработано фотографий:"},
        {"Label12", 144, 34, "0"},
    };
    for (const auto& r : rows)
      QTest::newRow(r.name) << QString(r.name) << QPoint(r.l, r.t) << QString::fromUtf8(r.text);
  }

  void labels() {
    QFETCH(QString, name);
    QFETCH(QPoint, position);
    QFETCH(QString, text);
    auto* label = form->findChild<QLabel*>(name);
    QVERIFY(label);
    QCOMPARE(label->pos(), position);
    QCOMPARE(label->text(), text);
    // Sized to its text.
    QCOMPARE(label->size(), label->sizeHint());
  }

  void tabOrder_data() {
    QTest::addColumn<QStringList>("chain");
    QTest::newRow("page 1") << QStringList{"Button1", "Edit1", "Button4"};
    QTest::newRow("page 2") << QStringList{"Button2",   "Button7",   "RadioButton1", "RadioButton2",
                                           "SpinEdit1", "SpinEdit2", "ComboBox1"};
    QTest::newRow("page 3") << QStringList{"Button5", "Button6", "Button8"};
  }

  void tabOrder() {
    QFETCH(QStringList, chain);
    for (int i = 0; i + 1 < chain.size(); ++i) {
      auto* from = form->findChild<QWidget*>(chain[i]);
      auto* to = form->findChild<QWidget*>(chain[i + 1]);
      QVERIFY(from && to);
      // The next control that takes the Tab key after `from`.
      QWidget* next = from->nextInFocusChain();
      while (next != to && next != from && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
      QCOMPARE(next->objectName(), to->objectName());
    }
  }

  void headers_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("comment");
    // clang-format off
    QTest::newRow("page 1") << "glWizardHeader1"
                            << "Укажите папку с фотографиями (поддерживается только формат JPG)"
                            << "В указанной папке должны лежать только те фотографии размер которых "
                               "нужно изменить";
    QTest::newRow("page 2") << "glWizardHeader3" << "Настройка"
                            << "Для продолжения работы необходимо задать настройки";
    QTest::newRow("page 3") << "glWizardHeader2" << "Авторесайз"
                            << "В зависимости от выбранного количества фотографий, процесс "
                               "авторесайза может занять от      нескольких минут, до нескольких часов";
    // clang-format on
  }

  void headers() {
    QFETCH(QString, name);
    QFETCH(QString, caption);
    QFETCH(QString, comment);
    auto* header = form->findChild<TglWizardHeader*>(name);
    QVERIFY(header);
    QCOMPARE(header->Captions(), QStringList{caption});
    QCOMPARE(header->Comments(), QStringList{comment});
    QCOMPARE(header->PageNo(), 0);
    QCOMPARE(header->height(), 81);
    QCOMPARE(header->CaptionFont().Style, unsigned(fsBold));
    QCOMPARE(header->CaptionFont().Height, -11);
    QCOMPARE(header->CommentFont().Style, 0u);
    QCOMPARE(header->SymbolFont().Height, -35);
    QVERIFY(header->Symbol().isEmpty());
    QVERIFY(!header->BufferedDraw());
    QVERIFY(header->HasGlyph());
    QCOMPARE(header->Glyph().Width(), 75);
    QCOMPARE(header->Glyph().Height(), 74);
  }

  void menu() {
    QCOMPARE(form->N1->title(), QStringLiteral("Файл"));
    QCOMPARE(form->N2->text(), QStringLiteral("Выход"));
    QCOMPARE(form->N3->title(), QStringLiteral("Помощь"));
    QCOMPARE(form->N4->text(), QStringLiteral("Сайт разработчика"));
    QCOMPARE(form->N5->text(), QStringLiteral("О программе"));
    QCOMPARE(form->N6->title(), QStringLiteral("Вид"));
    QCOMPARE(form->N7->title(), QStringLiteral("Язык интерфейса"));
    QCOMPARE(form->N8->text(), QStringLiteral("Russian"));
    QCOMPARE(form->N9->text(), QStringLiteral("English"));
    QVERIFY(form->N1->menuAction()->isVisible());
    QVERIFY(form->N2->isVisible());
    QVERIFY(form->N3->menuAction()->isVisible());
    QVERIFY(form->N4->isVisible());
    QVERIFY(!form->N5->isVisible());
    QVERIFY(form->N6->menuAction()->isVisible());
    // The visible top-level entries, in order.
    QStringList shown;
    for (QAction* a : form->menuBar()->actions())
      if (a->isVisible()) shown << a->text();
    QCOMPARE(shown, (QStringList{"Файл", "Параметры", "Вид", "Помощь"}));
  }

  void resizeKeepsControls() {
    const QRect button = form->Button1->geometry();
    const QRect edit = form->Edit1->geometry();
    const QSize page = form->TabSheet1->size();
    form->resize(form->width() + 200, form->height() + 100);
    QTRY_COMPARE(form->TabSheet1->width(), page.width() + 200);
    QCOMPARE(form->TabSheet1->height(), page.height() + 100);
    QCOMPARE(form->PageControl1->geometry(), form->centralWidget()->geometry());
    QCOMPARE(form->Button1->geometry(), button);
    QCOMPARE(form->Edit1->geometry(), edit);
    // Each header spans its page once the page is shown.
    const std::pair<QWidget*, TglWizardHeader*> headers[] = {
        {form->TabSheet1, form->glWizardHeader1},
        {form->TabSheet2, form->glWizardHeader3},
        {form->TabSheet3, form->glWizardHeader2}};
    for (int i = 0; i < 3; ++i) {
      form->PageControl1->setTabVisible(i, true);
      form->PageControl1->setCurrentIndex(i);
      QTRY_COMPARE(headers[i].first->width(), form->TabSheet1->width());
      QTRY_COMPARE(headers[i].second->geometry(), QRect(0, 0, headers[i].first->width(), 81));
    }
  }

  void pagesHaveTheDesignedClientWidth() {
    QCOMPARE(form->PageControl1->size(), QSize(667, 459));
    const std::pair<QWidget*, TglWizardHeader*> pages[] = {
        {form->TabSheet1, form->glWizardHeader1},
        {form->TabSheet2, form->glWizardHeader3},
        {form->TabSheet3, form->glWizardHeader2}};
    for (int i = 0; i < 3; ++i) {
      form->PageControl1->setTabVisible(i, true);
      form->PageControl1->setCurrentIndex(i);
      QTRY_COMPARE(pages[i].first->width(), 659);
      QTRY_COMPARE(pages[i].second->geometry(), QRect(0, 0, 659, 81));
    }
  }

  // ---- Navigation, scan and settings check -----------------------------------

  void noPhotosWarning() {
    QTemporaryDir dir;
    QFile(dir.filePath("notes.txt")).open(QIODevice::WriteOnly);
    ScanFolder(dir.path());
    QCOMPARE(boxes.size(), size_t(1));
    QCOMPARE(boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(boxes[0].caption, QStringLiteral("Warning"));
    QCOMPARE(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(boxes[0].text, QStringLiteral("В указанной вами папке не найдено фотографий. Для "
                                           "продолжения работы укажите другую папку."));
    ExpectPage(0);
    QCOMPARE(PhotoCount, 0);
    QCOMPARE(form->Label4->text(), QStringLiteral("Label4"));
  }

  void scanMovesToSettings() {
    QTemporaryDir dir;
    WritePhoto(dir.filePath("a.jpg"), 16, 12, 1);
    WritePhoto(dir.filePath("B.JPG"), 16, 12, 2);
    QDir(dir.path()).mkdir("c.jpg");
    ScanFolder(dir.path());
    QVERIFY(boxes.empty());
    ExpectPage(1);
    QCOMPARE(PhotoCount, 2);
    QCOMPARE(form->Label4->text(), QStringLiteral("2"));
    QCOMPARE(form->Label9->text(), QStringLiteral("2"));
    QCOMPARE(form->Label4->size(), form->Label4->sizeHint());
    ExpectModeStates(true);
  }

  void radioButtonsSwitchStates() {
    QTest::mouseClick(form->RadioButton2, Qt::LeftButton, {}, QPoint(5, 8));
    QVERIFY(form->RadioButton2->isChecked());
    QVERIFY(!form->RadioButton1->isChecked());
    ExpectModeStates(false);
    QTest::mouseClick(form->RadioButton1, Qt::LeftButton, {}, QPoint(5, 8));
    QVERIFY(form->RadioButton1->isChecked());
    ExpectModeStates(true);
  }

  // Every way a radio button becomes checked runs its handler.
  void radioButtonsEveryWay_data() {
    QTest::addColumn<QString>("way");
    for (const char* way :
         {"mouse", "space key", "arrow key", "accessibility press", "accessibility toggle"})
      QTest::newRow(way) << QString(way);
  }
  void radioButtonsEveryWay() {
    QFETCH(QString, way);
    QTemporaryDir dir;
    WritePhoto(dir.filePath("a.jpg"), 16, 12, 1);
    ScanFolder(dir.path());
    ExpectPage(1);
    auto check = [&](QRadioButton* button, QRadioButton* other) {
      if (way == "mouse") {
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 8));
      } else if (way == "space key") {
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Space);
      } else if (way == "arrow key") {
        other->setFocus();
        QTest::keyClick(other, button == form->RadioButton2 ? Qt::Key_Down : Qt::Key_Up);
      } else {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(button);
        QVERIFY(a && a->actionInterface());
        a->actionInterface()->doAction(way.endsWith("press")
                                           ? QAccessibleActionInterface::pressAction()
                                           : QAccessibleActionInterface::toggleAction());
      }
      QTRY_VERIFY(button->isChecked());
    };
    check(form->RadioButton2, form->RadioButton1);
    ExpectModeStates(false);
    check(form->RadioButton1, form->RadioButton2);
    ExpectModeStates(true);
  }

  // `vizuvod FOLDER`, as "Open with" runs it; main() puts the folder into the path field.
  void folderArgument_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("folder");  // empty: none
    QTest::newRow("none") << QStringList{"vizuvod"} << QString();
    QTest::newRow("path") << QStringList{"vizuvod", "/home/user/Фото"} << "/home/user/Фото";
    QTest::newRow("file URL") << QStringList{"vizuvod",
                                             "file:///home/user/%D0%A4%D0%BE%D1%82%D0%BE"}
                              << "/home/user/Фото";
  }
  void folderArgument() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, folder);
    QCOMPARE(FolderArgument(arguments).value_or(QString()), folder);
  }

  void droppedFolderFillsThePath_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("dropped");  // "folder", "file" or "remote"
    QTest::addColumn<bool>("taken");
    for (const char* target : {"window", "path field", "spin field"}) {
      QTest::addRow("folder onto %s", target) << QString(target) << "folder" << true;
      QTest::addRow("file onto %s", target) << QString(target) << "file" << false;
    }
    // clang-format off
    QTest::newRow("remote folder onto window") << "window" << "remote" << false;
    // clang-format on
  }
  void droppedFolderFillsThePath() {
    QFETCH(QString, target);
    QFETCH(QString, dropped);
    QFETCH(bool, taken);
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("Фото");
    QFile(dir.filePath("a.jpg")).open(QIODevice::WriteOnly);
    const QUrl url =
        dropped == "remote"
            ? QUrl("sftp://host/Фото")
            : QUrl::fromLocalFile(dir.filePath(dropped == "folder" ? "Фото" : "a.jpg"));
    QWidget* widget = target == "window"       ? static_cast<QWidget*>(form.get())
                      : target == "path field" ? static_cast<QWidget*>(form->Edit1)
                                               : static_cast<QWidget*>(form->SpinEdit1);
    form->Edit1->setText("/typed");
    QMimeData data;
    data.setUrls({url});
    const QPoint at = widget->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(widget, &enter);
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(widget, &drop);
    QCOMPARE(form->Edit1->text(), taken ? dir.filePath("Фото") : QStringLiteral("/typed"));
    if (taken) QCOMPARE(form->SpinEdit1->text(), QStringLiteral("0"));
  }

  void settingsCheck_data() {
    QTest::addColumn<bool>("percentMode");
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("side");  // typed into "Сохранять пропорции по:"
    QTest::addColumn<QString>("warning");  // empty: none, on to page 3
    const QString percent100 = QString::fromUtf8(Percent100Warning);
    const QString noSide = QString::fromUtf8(FitSideWarning);
    QTest::newRow("percent 0 passes") << true << 0 << ""
                                      << "";
    QTest::newRow("percent -5 passes") << true << -5 << ""
                                       << "";
    QTest::newRow("percent 50 passes") << true << 50 << ""
                                       << "";
    QTest::newRow("percent 100 refused") << true << 100 << "" << percent100;
    QTest::newRow("percent 100 in pixel mode passes") << false << 100 << "По ширине"
                                                      << "";
    QTest::newRow("by height passes") << false << 50 << "По высоте"
                                      << "";
    QTest::newRow("no side refused") << false << 50 << "" << noSide;
    QTest::newRow("other text refused") << false << 50 << "по ширине" << noSide;
  }

  void settingsCheck() {
    QFETCH(bool, percentMode);
    QFETCH(int, percent);
    QFETCH(QString, side);
    QFETCH(QString, warning);
    QTemporaryDir dir;
    WritePhoto(dir.filePath("a.jpg"), 16, 12, 1);
    ScanFolder(dir.path());
    ExpectPage(1);
    TypeNumber(form->SpinEdit1, percent);
    if (!percentMode) QTest::mouseClick(form->RadioButton2, Qt::LeftButton, {}, QPoint(5, 8));
    if (!side.isEmpty()) TypeText(form->ComboBox1->lineEdit(), side);
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    if (!warning.isEmpty()) {
      QCOMPARE(boxes.size(), size_t(1));
      QCOMPARE(boxes[0].caption, QStringLiteral("Warning"));
      QCOMPARE(boxes[0].icon, QMessageBox::Warning);
      QCOMPARE(boxes[0].text, warning);
      ExpectPage(1);
    } else {
      QVERIFY(boxes.empty());
      ExpectPage(2);
    }
  }

  void placement_data() {
    QTest::addColumn<QRect>("workArea");
    QTest::addColumn<QPoint>("position");
    QTest::newRow("fits") << QRect(0, 0, 1920, 1040) << QPoint(219, 183);
    QTest::newRow("just fits") << QRect(0, 0, 886, 642) << QPoint(219, 183);
    QTest::newRow("small screen") << QRect(0, 0, 800, 600) << QPoint(133, 141);
    QTest::newRow("panel at the top") << QRect(0, 200, 1024, 568) << QPoint(219, 200);
    QTest::newRow("second screen") << QRect(-1280, 0, 1280, 1024) << QPoint(-667, 183);
    QTest::newRow("smaller than the window") << QRect(10, 20, 640, 400) << QPoint(10, 20);
  }
  void placement() {
    QFETCH(QRect, workArea);
    QFETCH(QPoint, position);
    QCOMPARE(WindowPlacement(QSize(667, 459), TRect::FromQRect(workArea)), position);
  }

  // The program itself: the answers that need no display, and one clear
  // line when the window has none.
  void commandLineWithoutDisplay_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");  // the start of stdout, or else of stderr
    QTest::newRow("--help") << QStringList{"--help"} << 0 << "Usage: ";
    QTest::newRow("-h with a folder") << QStringList{"/tmp", "-h"} << 0 << "Usage: ";
    QTest::newRow("--version") << QStringList{"--version"} << 0 << "vizuvod 1.0\n";
    QTest::newRow("window") << QStringList{"/tmp"} << 1 << "vizuvod: no display";
  }
  void commandLineWithoutDisplay() {
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, output);
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
      environment.remove(QString::fromLatin1(name));
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(VIZUVOD_PROGRAM), arguments);
    QVERIFY(program.waitForFinished(20000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    const QString text = QString::fromUtf8(status == 0 ? program.readAllStandardOutput()
                                                       : program.readAllStandardError());
    QVERIFY2(text.startsWith(output), qPrintable(text));
    if (status != 0) QCOMPARE(text.count(u'\n'), 1);
  }

  void backAndForth() {
    QTemporaryDir dir;
    WritePhoto(dir.filePath("a.jpg"), 16, 12, 1);
    ScanFolder(dir.path());
    ChooseSettings("percent", 50);
    ExpectPage(2);
    const std::vector<std::string> list = PhotoFiles;

    // Back to page 2 and forward again: the check runs again, the scan does not.
    WritePhoto(dir.filePath("b.jpg"), 16, 12, 2);
    QTest::mouseClick(form->Button8, Qt::LeftButton);
    ExpectPage(1);
    TypeNumber(form->SpinEdit1, 100);
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    QCOMPARE(boxes.size(), size_t(1));
    ExpectPage(1);
    TypeNumber(form->SpinEdit1, 25);
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    ExpectPage(2);
    QCOMPARE(PhotoFiles, list);
    QCOMPARE(form->Label4->text(), QStringLiteral("1"));

    // Back to page 1 and forward again: a fresh scan, and the percentage
    // states come back even though "Размер в пикселях:" stays checked.
    QTest::mouseClick(form->Button8, Qt::LeftButton);
    QTest::mouseClick(form->RadioButton2, Qt::LeftButton, {}, QPoint(5, 8));
    ExpectModeStates(false);
    QTest::mouseClick(form->Button7, Qt::LeftButton);
    ExpectPage(0);
    QCOMPARE(form->Edit1->text(), dir.path());
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    ExpectPage(1);
    QCOMPARE(PhotoCount, 2);
    QCOMPARE(form->Label4->text(), QStringLiteral("2"));
    QCOMPARE(form->Label9->text(), QStringLiteral("2"));
    QVERIFY(form->RadioButton2->isChecked());
    ExpectModeStates(true);

    // A smaller folder leaves no stale entries.
    QTemporaryDir other;
    QTest::mouseClick(form->Button7, Qt::LeftButton);
    ScanFolder(other.path());
    ExpectPage(0);
    QCOMPARE(PhotoCount, 0);
  }

  void folderChooser() {
    TFakeBrowser browser;
    form->BrowseDlg1->SetFolderBrowser(&browser);
    QTest::keyClicks(form->Edit1, "/typed");
    // Cancelled: the field keeps its text.
    QTest::mouseClick(form->Button4, Qt::LeftButton);
    QCOMPARE(browser.calls, 1);
    QCOMPARE(form->Edit1->text(), QStringLiteral("/typed"));
    // Confirmed: the chosen folder replaces it.
    browser.answer = TBrowseItem{QStringLiteral("/home/user/Фото"), QStringLiteral("Фото")};
    QTest::mouseClick(form->Button4, Qt::LeftButton);
    QCOMPARE(form->Edit1->text(), QStringLiteral("/home/user/Фото"));
    ExpectPage(0);
  }

  // ---- The run -------------------------------------------------------------------

  void runMatchesBatchTool_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("option");
    // The orientation a phone stored the fourth photo with.
    QTest::addColumn<int>("orientation");
    QTest::newRow("percent 50") << "percent" << 50 << "--percent" << 2;
    QTest::newRow("percent 37") << "percent" << 37 << "--percent" << 3;
    QTest::newRow("percent 150") << "percent" << 150 << "--percent" << 4;
    QTest::newRow("fit width 40") << "width" << 40 << "--width" << 5;
    QTest::newRow("fit height 30") << "height" << 30 << "--height" << 6;
    QTest::newRow("fit height 100") << "height" << 100 << "--height" << 7;
    QTest::newRow("percent 20") << "percent" << 20 << "--percent" << 8;
  }

  void runMatchesBatchTool() {
    QFETCH(QString, mode);
    QFETCH(int, value);
    QFETCH(QString, option);
    QFETCH(int, orientation);
    QTemporaryDir dir, reference;
    const struct {
      const char* name;
      int w, h;
      bool progressive;
    } photos[] = {{"wide.jpg", 101, 67, false},
                  {"tall.jpg", 45, 80, true},
                  {"Фото 3.jpg", 64, 64, false},
                  {"turned.jpg", 60, 40, false}};
    // Little-endian EXIF whose IFD0 holds the orientation alone.
    const QByteArray exif = QByteArray(
                                "\xFF\xE1\x00\x22"
                                "Exif\0\0II*\0\x08\0\0\0\x01\0\x12\x01\x03\0\x01\0\0\0",
                                28) +
                            char(orientation) + QByteArray(7, 0);
    for (int i = 0; i < 4; ++i) {
      const QString name = QString::fromUtf8(photos[i].name);
      WritePhoto(dir.filePath(name), photos[i].w, photos[i].h, i, photos[i].progressive);
      if (i == 3) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray bytes = file.readAll();
        file.seek(0);
        file.write(bytes.left(2) + exif + bytes.mid(2));
      }
      QVERIFY(QFile::copy(dir.filePath(name), reference.filePath(name)));
    }

    ScanFolder(dir.path());
    ChooseSettings(mode, value);
    ExpectPage(2);
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QVERIFY(boxes.empty());
    QCOMPARE(form->Label12->text(), QStringLiteral("4"));
    QCOMPARE(form->ProgressBar1->value(), 100);
    QCOMPARE(form->ProgressBar2->value(), 100);

    QProcess batch;
    batch.start(QStringLiteral(VIZUVOD_BATCH),
                {option, QString::number(value), "--jobs", "1", "--quiet", reference.path()});
    QVERIFY(batch.waitForFinished(60000));
    QCOMPARE(batch.exitCode(), 0);

    const QStringList written = ResizedFiles(dir.path());
    QCOMPARE(written.size(), 4);
    // The turned photo's result shows as its photo does: the tag is carried.
    QVERIFY(ReadAll(dir.filePath("Resize of turned.jpg")).contains(exif.mid(4)));
    QCOMPARE(ResizedFiles(reference.path()), written);
    for (const QString& name : written) {
      const QByteArray ours = ReadAll(dir.filePath(name));
      QVERIFY(!ours.isEmpty());
      QVERIFY2(ours == ReadAll(reference.filePath(name)), qPrintable(name));
    }
  }

  // ---- Options ---------------------------------------------------------------------

  void optionsMatchBatchTool_data() {
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QStringList>("batch");
    QTest::addColumn<QStringList>("results");  // in the result folder
    QTest::addColumn<QString>("line");
    const QString jpg = "Resize of turned.jpg";
    QTest::newRow("metadata") << QStringList{"KeepMetadataItem"} << QStringList{"--keep-metadata"}
                              << QStringList{jpg} << "Параметры: дата и камера";
    QTest::newRow("no location") << QStringList{"KeepMetadataItem", "NoLocationItem"}
                                 << QStringList{"--keep-metadata", "--strip-location"}
                                 << QStringList{jpg} << "Параметры: дата и камера, без геоданных";
    QTest::newRow("metadata, webp")
        << QStringList{"KeepMetadataItem", "WebpItem"}
        << QStringList{"--keep-metadata", "--format", "webp"}
        << QStringList{"Resize of turned.webp"} << "Параметры: дата и камера, результаты в WebP";
    QTest::newRow("upright") << QStringList{"AutoOrientItem"} << QStringList{"--auto-orient"}
                             << QStringList{jpg} << "Параметры: поворот по EXIF";
    QTest::newRow("webp, quality 80")
        << QStringList{"WebpItem", "QualityItem=80"}
        << QStringList{"--format", "webp", "--quality", "80"}
        << QStringList{"Resize of turned.webp"} << "Параметры: результаты в WebP, качество 80";
#ifdef VIZUVOD_HEIF
    QTest::newRow("avif") << QStringList{"AvifItem"} << QStringList{"--format", "avif"}
                          << QStringList{"Resize of turned.avif"} << "Параметры: результаты в AVIF";
#endif
    QTest::newRow("size limit") << QStringList{"SizeLimitItem=1"}
                                << QStringList{"--max-bytes", "1K"} << QStringList{jpg}
                                << "Параметры: не больше 1 КБ";
    QTest::newRow("to sRGB") << QStringList{"ToSrgbItem"} << QStringList{"--to-srgb"}
                             << QStringList{jpg} << "Параметры: цвета в sRGB";
    QTest::newRow("more formats") << QStringList{"MoreFormatsItem"}
                                  << QStringList{"--formats", "all"}
                                  << QStringList{"Resize of p.jpg", jpg}
                                  << "Параметры: также HEIC, AVIF, PNG и WebP";
    QTest::newRow("result folder")
        << QStringList{"ResultFolderItem=OUT", "KeepMetadataItem"}
        << QStringList{"--output", "OUT", "--name", "Resize of {name}", "--keep-metadata"}
        << QStringList{jpg} << "Параметры: дата и камера, в папку OUT";
  }

  // Each option reaches the engine as vizuvod-batch's does: the same bytes,
  // and the results show it.
  void optionsMatchBatchTool() {
    QFETCH(QStringList, items);
    QFETCH(QStringList, batch);
    QFETCH(QStringList, results);
    QFETCH(QString, line);
    QTemporaryDir dir, reference, out, refOut;
    {
      WritePhoto(dir.filePath("turned.jpg"), 60, 40, 1);
      auto image = Exiv2::ImageFactory::open(dir.filePath("turned.jpg").toStdString());
      image->readMetadata();
      image->exifData()["Exif.Image.Make"] = "FotrixCam";
      image->exifData()["Exif.Image.Orientation"] = uint16_t(6);
      image->exifData()["Exif.GPSInfo.GPSLatitudeRef"] = "N";
      image->iptcData()["Iptc.Application2.Caption"] = "Fotrix test";
      image->writeMetadata();
      QImage png(30, 20, QImage::Format_RGB32);
      png.fill(Qt::darkCyan);
      QVERIFY(png.save(dir.filePath("p.png")));
      for (const char* name : {"turned.jpg", "p.png"})
        QVERIFY(QFile::copy(dir.filePath(name), reference.filePath(name)));
    }
    items.replaceInStrings("OUT", out.path());
    line.replace("OUT", out.path());
    batch.replaceInStrings("OUT", refOut.path());
    const bool elsewhere = batch.contains("--output");

    ChooseOptions(items);
    ScanFolder(dir.path());
    ChooseSettings("percent", 50);
    QCOMPARE(form->Options->line->isVisible(), true);
    QCOMPARE(form->Options->line->toolTip(), line);
    form->RetranslateOptions();  // again, as a change of language does
    QCOMPARE(form->Options->line->toolTip(), line);
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    // A WebP result has no place for IPTC: the box after the run says so.
    const bool warned = items.contains("KeepMetadataItem") && items.contains("WebpItem");
    QCOMPARE(boxes.size(), size_t(warned));
    if (warned) QVERIFY(boxes[0].icon == QMessageBox::Warning && boxes[0].text.contains("IPTC"));

    QProcess tool;
    tool.start(QStringLiteral(VIZUVOD_BATCH),
               batch + QStringList{"--percent", "50", "--jobs", "1", "--quiet", reference.path()});
    QVERIFY(tool.waitForFinished(60000));
    QCOMPARE(tool.exitCode(), 0);
    const QString ours = elsewhere ? out.path() : dir.path();
    const QString theirs = elsewhere ? refOut.path() : reference.path();
    QCOMPARE(ResizedFiles(ours), results);
    QCOMPARE(ResizedFiles(theirs), results);
    if (elsewhere) QVERIFY(ResizedFiles(dir.path()).isEmpty());
    for (const QString& name : results)
      QVERIFY2(ReadAll(ours + "/" + name) == ReadAll(theirs + "/" + name), qPrintable(name));

    // What the options show in the first result.
    const QByteArray bytes = ReadAll(ours + "/" + results.last());
    const QImage picture = QImage::fromData(bytes);
    QCOMPARE(bytes.contains("FotrixCam"), items.contains("KeepMetadataItem"));
    if (items.contains("KeepMetadataItem")) {
      auto kept = Exiv2::ImageFactory::open((ours + "/" + results.last()).toStdString());
      kept->readMetadata();
      const Exiv2::ExifData& exif = kept->exifData();
      QCOMPARE(exif.findKey(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitudeRef")) != exif.end(),
               !items.contains("NoLocationItem"));
    }
    if (items.contains("AutoOrientItem")) QCOMPARE(picture.size(), QSize(20, 30));
    if (items.contains("WebpItem")) QVERIFY(bytes.startsWith("RIFF"));
    if (items.contains("SizeLimitItem=1")) QVERIFY(bytes.size() <= 1000);
  }

  void optionsRememberedAndNoneAtFirstStart() {
    const TOptionsMenu* o = form->Options.get();
    for (QAction* item : {o->keepMetadata, o->noLocation, o->autoOrient, o->resultFolder,
                          o->moreFormats, o->formats[1].second, o->sizeLimit})
      QVERIFY2(!item->isChecked(), qPrintable(item->objectName()));
    QVERIFY(o->besidePhotos->isChecked() && o->formats[0].second->isChecked());
    QVERIFY(!o->noLocation->isEnabled());
    QVERIFY(o->line->isHidden());

    ChooseOptions({"KeepMetadataItem", "NoLocationItem", "WebpItem", "QualityItem=75",
                   "SizeLimitItem=300", "ResultFolderItem=/tmp/x"});
    form.reset();
    form = ShowNewWindow(true);
    QCOMPARE(form->RunOptions(),
             (TRunOptions{true, true, false, false, "/tmp/x", TResultFormat::rfWebp, 75, 300}));
    QVERIFY(form->Options->resultFolder->isChecked() &&
            form->Options->formats[1].second->isChecked());
    // A second click on the limit changes it; "Рядом с фотографиями" and the
    // limit dialog's own button put them back.
    ChooseOptions({"SizeLimitItem=200"});
    QCOMPARE(form->RunOptions().maxKilobytes, 200);
    ChooseOptions({"BesidePhotosItem", "SizeLimitItem=off", "KeepMetadataItem"});
    QVERIFY(!form->Options->noLocation->isEnabled());
    QCOMPARE(form->RunOptions(),
             (TRunOptions{false, true, false, false, {}, TResultFormat::rfWebp, 75, 0}));
  }

  // What stands in the result folder is replaced only when this photo's
  // earlier result; a failing photo still shows the error box.
  void resultFolderRefusals_data() {
    QTest::addColumn<QString>("there");
    QTest::addColumn<QString>("error");
    const QString notMade = "it was not made from this photo";
    QTest::newRow("own earlier result") << "own" << QString();
    QTest::newRow("own, beside, more formats") << "beside" << QString();
    QTest::newRow("another file") << "file" << notMade;
    QTest::newRow("link out") << "link" << QString("it is not a regular file");
    QTest::newRow("link to the photo") << "photo" << QString("it is a photo of this run");
    QTest::newRow("broken photo") << "broken" << QString("JPEG error #");
  }

  void resultFolderRefusals() {
    QFETCH(QString, there);
    QFETCH(QString, error);
    QTemporaryDir dir, outside;
    WritePhoto(dir.filePath("a.jpg"), 40, 30, 1);
    const QString result =
        (there == "beside" ? dir.path() : outside.path() + "/out") + "/Resize of a.jpg";
    QDir().mkpath(outside.path() + "/out");
    QFile(outside.filePath("keep")).open(QIODevice::WriteOnly);
    if (there == "file") QFile(result).open(QIODevice::WriteOnly);
    if (there == "link") QFile::link(outside.filePath("keep"), result);
    if (there == "photo") QFile::link(dir.filePath("a.jpg"), result);
    if (there == "broken") QFile(dir.filePath("a.jpg")).resize(100);
    ChooseOptions(
        {there == "beside" ? "MoreFormatsItem" : "ResultFolderItem=" + outside.path() + "/out",
         "WebpItem", "JpegItem"});
    const QByteArray before = ReadAll(result);
    for (int run = there == "own" || there == "beside" ? 2 : 1; run > 0; --run) {
      ScanFolder(dir.path());
      ChooseSettings("percent", 50);
      QTest::mouseClick(form->Button5, Qt::LeftButton);
      QTest::mouseClick(form->Button8, Qt::LeftButton);
      QTest::mouseClick(form->Button7, Qt::LeftButton);
    }
    QCOMPARE(boxes.size(), size_t(error.isEmpty() ? 0 : 1));
    if (error.isEmpty()) {
      // The second run's photos leave the earlier result out, and it is replaced.
      QCOMPARE(PhotoCount, 1);
      QVERIFY(!ReadAll(result).isEmpty());
      return;
    }
    QVERIFY2(boxes[0].text.contains(error), qPrintable(boxes[0].text));
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(ReadAll(result), before);
    QVERIFY(ReadAll(outside.filePath("keep")).isEmpty());
  }

  // Real photos (progressive, grey, restart markers, odd sizes) when the
  // corpus beside the project is there; copied into a scratch folder.
  void corpusRunMatchesBatchTool() {
    QString corpus = qEnvironmentVariable("VIZUVOD_CORPUS", QStringLiteral(VIZUVOD_CORPUS_DIR));
    const QDir photosDir(corpus + "/photos");
    if (!photosDir.exists()) QSKIP("the photo corpus is not there");
    const QStringList names{"tower_progressive.jpg",  "tower_grayscale.jpg", "apsara.jpg",
                            "skater-progressive.jpg", "Canon_40D.jpg",       "restarts_33x33.jpg",
                            "web_strip_49x500.jpg"};
    QTemporaryDir dir, reference;
    for (const QString& name : names) {
      if (!photosDir.exists(name)) QSKIP(qPrintable("corpus photo missing: " + name));
      QVERIFY(QFile::copy(photosDir.filePath(name), dir.filePath(name)));
      QVERIFY(QFile::copy(photosDir.filePath(name), reference.filePath(name)));
    }
    ScanFolder(dir.path());
    ChooseSettings("percent", 45);
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QVERIFY(boxes.empty());
    QCOMPARE(form->Label12->text(), QString::number(names.size()));

    QProcess batch;
    batch.start(QStringLiteral(VIZUVOD_BATCH), {"--percent", "45", "--quiet", reference.path()});
    QVERIFY(batch.waitForFinished(120000));
    QCOMPARE(batch.exitCode(), 0);
    const QStringList written = ResizedFiles(dir.path());
    QCOMPARE(written.size(), names.size());
    for (const QString& name : written)
      QVERIFY2(ReadAll(dir.filePath(name)) == ReadAll(reference.filePath(name)), qPrintable(name));
  }

  // ---- A run under options as a person meets it -------------------------------------

  // A photo whose IPTC caption a WebP result cannot carry: one warning.
  static void WriteCaptioned(const QString& path, int seed) {
    WritePhoto(path, 40, 30, seed);
    auto image = Exiv2::ImageFactory::open(path.toStdString());
    image->readMetadata();
    image->iptcData()["Iptc.Application2.Caption"] = "Fotrix";
    image->writeMetadata();
  }

  // A broken photo under options is named in the error box that ends the run;
  // with "Не останавливаться на ошибках" the run goes on, and one box within a
  // 1280x1024 screen gives one short line per photo and kind of warning (the
  // rest counted, every text in its details) and opens the results' folder.
  void failingPhotoUnderOptions_data() {
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<QString>("shown");
    QTest::newRow("stops") << QStringList{"AutoOrientItem"} << "p02.jpg: JPEG error #";
    QTest::newRow("goes on") << QStringList{"KeepMetadataItem", "WebpItem", "KeepGoingItem"}
                             << "p02.jpg — не обработана: JPEG error #";
  }

  void failingPhotoUnderOptions() {
    QFETCH(QStringList, items);
    QFETCH(QString, shown);
    QTemporaryDir dir;
    for (int i = 1; i <= 20; ++i)
      WriteCaptioned(dir.filePath(QStringLiteral("p%1.jpg").arg(i, 2, 10, QChar('0'))), i);
    QFile(dir.filePath("p02.jpg")).resize(0);
    ChooseOptions(items);
    ScanFolder(dir.path());
    ChooseSettings("percent", 50);
    QString details;
    onBox = [&](QMessageBox& box) {
      box.show();
      QVERIFY(box.width() <= 1280 && box.height() <= 1024);
      details = box.detailedText();
      for (QAbstractButton* button : box.buttons())
        if (button->text() == "Открыть папку") QTest::mouseClick(button, Qt::LeftButton);
    };
    QDesktopServices::setUrlHandler("file", this, "openUrl");
    openedUrls.clear();
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("file");

    const bool goesOn = items.contains("KeepGoingItem");
    QCOMPARE(boxes.size(), size_t(1));
    QVERIFY2(boxes[0].text.contains(shown), qPrintable(boxes[0].text));
    QCOMPARE(boxes[0].icon, goesOn ? QMessageBox::Warning : QMessageBox::Critical);
    QCOMPARE(ResizedFiles(dir.path()).size(), goesOn ? 19 : 1);
    QCOMPARE(form->Label12->text(), goesOn ? "20" : "1");
    QVERIFY(form->Options->report->text().contains("Не удалось обработать: 1"));
    if (!goesOn) return;
    const QStringList lines = boxes[0].text.split('\n');
    QCOMPARE(lines[0] + lines[1], "Записано результатов: 19, в папку:" + dir.path());
    QCOMPARE(lines.size(), 4 + 12 + 1);  // the head, a blank line, the first lines, the rest
    QVERIFY2(lines[4].startsWith("p01.jpg — метаданные: IPTC"), qPrintable(lines[4]));
    QCOMPARE(lines.last(), "…и ещё 8, все — в подробностях");
    QCOMPARE(details.split('\n').size(), 20);
    QCOMPARE(openedUrls, QList<QUrl>{QUrl::fromLocalFile(dir.path())});
    TRunReport report;
    report.lines = {{"x.jpg", 1, QString(5000, 't'), 2}};  // any text: one line
    QVERIFY(form->fontMetrics().horizontalAdvance(
                ReportLines(report, form->fontMetrics(), 300, 12).at(0)) <= 300);
  }

  // A photo under options works while the window lives: held back at its
  // save, the current-photo bar shows it is busy, and Cancel pressed then
  // ends the run after that photo, as ever.
  void busyBarWhilePhotoWorks() {
    static std::atomic<bool> release;
    struct Held {  // a new result is linked in place, or renamed where it cannot be
      static void Wait() {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      static int Rename(const char* from, const char* to) { return Wait(), ::rename(from, to); }
      static int Link(int fd, const char* from, int at, const char* to, int flags) {
        return Wait(), ::linkat(fd, from, at, to, flags);
      }
    };
    QTemporaryDir dir;
    for (int i = 1; i <= 2; ++i)
      WritePhoto(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), 80, 60, i);
    release = false;
    TScopedHook<TFileCalls> calls{FileCallsHook(), TFileCalls{Held::Rename, ::unlink, Held::Link}};
    ChooseOptions({"AutoOrientItem"});
    ScanFolder(dir.path());
    ChooseSettings("percent", 50);
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
      if (form->ProgressBar2->maximum() != 0 || release) return;
      QTest::mouseClick(form->Button6, Qt::LeftButton);
      release = true;
    });
    watch.start(10);
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QVERIFY(release);
    QCOMPARE(form->ProgressBar2->maximum(), 100);
    QCOMPARE(ResizedFiles(dir.path()), QStringList{"Resize of p1.jpg"});
  }

  // Page 3 under options: the size of page 2, the options (remembered) in
  // whole items within two lines, and a new list's counters after a run.
  void page3UnderOptions() {
    QTemporaryDir dir, other, out;
    WritePhoto(dir.filePath("a.jpg"), 40, 30, 1);
    WritePhoto(other.filePath("c.jpg"), 40, 30, 3);
    const QString folder = out.path() + "/" + QString(60, 'f');
    QVERIFY(QDir().mkpath(folder));
    ChooseOptions({"KeepMetadataItem", "NoLocationItem", "ToSrgbItem", "AutoOrientItem",
                   "MoreFormatsItem", "WebpItem", "QualityItem=80", "SizeLimitItem=500",
                   "KeepGoingItem", "LongEdgeItem", "ResultFolderItem=" + folder});
    form.reset();
    form = ShowNewWindow(true);  // remembered
    QCOMPARE(form->glWizardHeader1->Captions().join(""),
             "Укажите папку с фотографиями (JPG, HEIC, AVIF, PNG или WebP)");
    ScanFolder(dir.path());
    ChooseSettings("percent", 50);
    QCOMPARE(form->Options->sizeLine->text(), "Размер: 50% от оригинала");
    const QLabel* line = form->Options->line;
    const QStringList rows = line->text().split('\n');
    QVERIFY(rows.size() == 2 && rows.last().endsWith("…"));  // "и ещё N…"
    QVERIFY(line->fontMetrics().horizontalAdvance(rows[0]) <= line->width());
    for (QString item : line->text().remove("Параметры: ").split(QRegularExpression(",\\s+")))
      QVERIFY2(item.contains("и ещё") || line->toolTip().contains(item.trimmed()),
               qPrintable(item));
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QCOMPARE(ResizedFiles(folder).size(), 1);
    QVERIFY(form->Options->report->text().startsWith("Записано результатов: 1"));
    QTest::mouseClick(form->Button8, Qt::LeftButton);
    QTest::mouseClick(form->Button7, Qt::LeftButton);
    ScanFolder(other.path());
    QCOMPARE(form->Label12->text(), "0");
    QVERIFY(form->Options->report->isHidden());
  }

  // "Размер по длинной стороне": a third side on page 2; the long side of
  // each photo becomes the size, as vizuvod-batch --long-edge makes it.
  void longEdgeMatchesBatchTool() {
    QTemporaryDir dir, reference;
    for (const QSize size : {QSize(30, 60), QSize(60, 40)}) {
      const QString name = QStringLiteral("p%1.jpg").arg(size.width());
      WritePhoto(dir.filePath(name), size.width(), size.height(), size.width());
      QVERIFY(QFile::copy(dir.filePath(name), reference.filePath(name)));
    }
    ChooseOptions({"LongEdgeItem"});
    ScanFolder(dir.path());
    QTest::mouseClick(form->RadioButton2, Qt::LeftButton, {}, QPoint(5, 8));
    QCOMPARE(form->ComboBox1->currentText(), "По длинной стороне");
    TypeNumber(form->SpinEdit2, 20);
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    QCOMPARE(form->Options->sizeLine->text(), "Размер: по длинной стороне, 20 пкс.");
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QProcess tool;
    tool.start(QStringLiteral(VIZUVOD_BATCH), {"--long-edge", "20", "--quiet", reference.path()});
    QVERIFY(tool.waitForFinished(60000) && tool.exitCode() == 0 && boxes.empty());
    QCOMPARE(QImage(dir.filePath("Resize of p30.jpg")).size(), QSize(10, 20));
    QCOMPARE(QImage(dir.filePath("Resize of p60.jpg")).size(), QSize(20, 13));
    for (const QString& name : ResizedFiles(reference.path()))
      QVERIFY2(ReadAll(dir.filePath(name)) == ReadAll(reference.filePath(name)), qPrintable(name));
  }

  void cancelDuringRun() {
    QTemporaryDir dir;
    constexpr int count = 10;
    for (int i = 1; i <= count; ++i)
      WritePhoto(dir.filePath(QStringLiteral("p%1.jpg").arg(i, 2, 10, QChar('0'))), 120, 90, i);
    ScanFolder(dir.path());
    ChooseSettings("percent", 50);

    // While photo 3 is being resampled, the user presses "Отменить процесс";
    // the click arrives through the run's own message pumping.
    bool clicked = false;
    connect(form->ProgressBar2, &QProgressBar::valueChanged, this, [&](int position) {
      if (!clicked && form->Label12->text() == QLatin1String("2") && position > 10) {
        clicked = true;
        QTimer::singleShot(0, form.get(),
                           [&] { QTest::mouseClick(form->Button6, Qt::LeftButton); });
      }
    });
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QVERIFY(clicked);
    QVERIFY(boxes.empty());
    QCOMPARE(ResizedFiles(dir.path()),
             (QStringList{"Resize of p01.jpg", "Resize of p02.jpg", "Resize of p03.jpg"}));
    QCOMPARE(form->Label12->text(), QStringLiteral("3"));
    QCOMPARE(form->ProgressBar1->value(), 40);
    ExpectPage(2);

    // Starting again runs from the first photo and rewrites what is there.
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QCOMPARE(ResizedFiles(dir.path()).size(), count);
    QCOMPARE(form->Label12->text(), QString::number(count));
    QCOMPARE(form->ProgressBar1->value(), 100);
  }

  void secondStartIgnored() {
    QTemporaryDir dir;
    for (int i = 1; i <= 4; ++i)
      WritePhoto(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), 80, 60, i);
    ScanFolder(dir.path());
    ChooseSettings("percent", 50);
    // Count the photos started: a run nested in the first would restart at 1.
    QList<int> overall;
    connect(form->ProgressBar1, &QProgressBar::valueChanged, this, [&](int v) { overall << v; });
    bool clicked = false;
    connect(form->ProgressBar2, &QProgressBar::valueChanged, this, [&](int) {
      if (!clicked && form->Label12->text() == QLatin1String("1")) {
        clicked = true;
        QTimer::singleShot(0, form.get(),
                           [&] { QTest::mouseClick(form->Button5, Qt::LeftButton); });
      }
    });
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QVERIFY(clicked);
    QCOMPARE(overall, (QList<int>{25, 50, 75, 100}));
    QCOMPARE(form->Label12->text(), QStringLiteral("4"));
  }

  void pagesLiveDuringRun() {
    QTemporaryDir dir;
    for (int i = 1; i <= 3; ++i)
      WritePhoto(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), 80, 60, i);
    ScanFolder(dir.path());
    ChooseSettings("percent", 50);
    // Going back to page 2 during the run, the way a user may.
    bool clicked = false;
    connect(form->ProgressBar2, &QProgressBar::valueChanged, this, [&](int) {
      if (!clicked) {
        clicked = true;
        QTimer::singleShot(0, form.get(),
                           [&] { QTest::mouseClick(form->Button8, Qt::LeftButton); });
      }
    });
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QVERIFY(clicked);
    ExpectPage(1);
    QCOMPARE(form->Label12->text(), QStringLiteral("3"));
    QCOMPARE(ResizedFiles(dir.path()).size(), 3);
  }

  void refusedValues_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("warning");
    const QString percent = QString::fromStdString(*RunSettingsWarning(TFixedSettings::Percent(0)));
    const QString pixels = QString::fromStdString(*RunSettingsWarning(TFixedSettings::FitWidth(0)));
    QTest::newRow("percent 0") << "percent" << 0 << percent;
    QTest::newRow("percent -20") << "percent" << -20 << percent;
    QTest::newRow("width 0") << "width" << 0 << pixels;
    QTest::newRow("height -1") << "height" << -1 << pixels;
  }

  void refusedValues() {
    QFETCH(QString, mode);
    QFETCH(int, value);
    QFETCH(QString, warning);
    QTemporaryDir dir;
    WritePhoto(dir.filePath("a.jpg"), 16, 12, 1);
    ScanFolder(dir.path());
    ChooseSettings(mode, value);
    ExpectPage(2);
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QCOMPARE(boxes.size(), size_t(1));
    QCOMPARE(boxes[0].caption, QStringLiteral("Warning"));
    QCOMPARE(boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(boxes[0].text, warning);
    QVERIFY(ResizedFiles(dir.path()).isEmpty());
    QCOMPARE(form->Label12->text(), QStringLiteral("0"));
    QCOMPARE(form->ProgressBar1->value(), 0);
    ExpectPage(2);
  }

  void failingPhotoShowsErrorBox() {
    QTemporaryDir dir;
    WritePhoto(dir.filePath("a.jpg"), 40, 30, 1);
    {
      QFile broken(dir.filePath("b.jpg"));
      QVERIFY(broken.open(QIODevice::WriteOnly));
      broken.write("not a photo at all\n");
    }
    WritePhoto(dir.filePath("c.jpg"), 40, 30, 3);
    ScanFolder(dir.path());
    ChooseSettings("percent", 50);
    QTest::mouseClick(form->Button5, Qt::LeftButton);

    QCOMPARE(boxes.size(), size_t(1));
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes[0].caption, ApplicationTitle());
    QCOMPARE(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY2(boxes[0].text.startsWith("JPEG error #"), qPrintable(boxes[0].text));
    QVERIFY(boxes[0].text.endsWith('.'));
    // The window stays as the run left it: the first photo written, the
    // bar at the failed photo's step.
    QVERIFY(form->isVisible());
    ExpectPage(2);
    QCOMPARE(ResizedFiles(dir.path()), QStringList{"Resize of a.jpg"});
    QCOMPARE(form->Label12->text(), QStringLiteral("1"));
    QCOMPARE(form->ProgressBar1->value(), 67);
    // And it goes on working.
    QTest::mouseClick(form->Button8, Qt::LeftButton);
    ExpectPage(1);
  }

  // ---- Boxes, title, menu ---------------------------------------------------------

  void headerPaintFailureShowsTheErrorBox() {
    QVERIFY_THROWS_EXCEPTION(EStringListError, form->glWizardHeader1->SetPageNo(-1));
    form->glWizardHeader1->repaint();
    QVERIFY(!boxes.empty());
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes[0].text, QStringLiteral("List index out of bounds (-1)"));
  }

  void errorBoxText_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    // clang-format off
    QTest::newRow("letter") << "Cannot open file /x/a.jpg" << "Cannot open file /x/a.jpg.";
    QTest::newRow("digit") << "JPEG error #42" << "JPEG error #42.";
    QTest::newRow("full stop") << "Out of system resources." << "Out of system resources.";
    QTest::newRow("bracket") << "List index out of bounds (-1)" << "List index out of bounds (-1)";
    QTest::newRow("exclamation") << "Stop!" << "Stop!";
    QTest::newRow("slash") << "path/" << "path/.";
    QTest::newRow("cyrillic") << "Ошибка" << "Ошибка.";
    QTest::newRow("empty") << "" << "";
    // clang-format on
  }

  void errorBoxText() {
    QFETCH(QString, message);
    QFETCH(QString, shown);
    RunHandler(form.get(), [&] { throw Exception(message.toStdString()); });
    QCOMPARE(boxes.size(), size_t(1));
    QCOMPARE(boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(boxes[0].text, shown);
  }

  void applicationTitle_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    // clang-format off
    QTest::newRow("plain") << "/usr/bin/vizuvod" << "vizuvod";
    QTest::newRow("capital kept") << "/opt/Vizuvod" << "Vizuvod";
    QTest::newRow("rest lowered") << "/opt/PROJECT1.EXE" << "Project1";
    QTest::newRow("first dot") << "/a.b/Name.Tar.GZ" << "Name";
    QTest::newRow("no folder") << "VIZUVOD" << "Vizuvod";
    QTest::newRow("cyrillic") << "/x/ФОТО.bin" << "Фото";
    // clang-format on
  }

  void applicationTitle() {
    QFETCH(QString, path);
    QFETCH(QString, title);
    QCOMPARE(TitleFromProgramPath(path), title);
  }

  void developerSite() {
    const QUrl site(TForm2::DeveloperSiteUrl());
    QVERIFY(site.isValid());
    QDesktopServices::setUrlHandler(site.scheme(), this, "openUrl");
    openedUrls.clear();
    form->N4->trigger();
    QDesktopServices::unsetUrlHandler(site.scheme());
    QCOMPARE(openedUrls, QList<QUrl>{site});
    QVERIFY(boxes.empty());
  }

  void exitClosesWindow() {
    QVERIFY(form->isVisible());
    form->N2->trigger();
    QVERIFY(!form->isVisible());
  }

  void exitDuringRunStopsAfterPhoto() {
    QTemporaryDir dir;
    for (int i = 1; i <= 4; ++i)
      WritePhoto(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), 80, 60, i);
    ScanFolder(dir.path());
    ChooseSettings("percent", 50);
    bool chosen = false;
    connect(form->ProgressBar2, &QProgressBar::valueChanged, this, [&](int) {
      if (!chosen && form->Label12->text() == QLatin1String("1")) {
        chosen = true;
        QTimer::singleShot(0, form.get(), [&] { form->N2->trigger(); });
      }
    });
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QVERIFY(chosen);
    // The window went away; the photo in progress was finished, no later one started.
    QVERIFY(!form->isVisible());
    QCOMPARE(ResizedFiles(dir.path()), (QStringList{"Resize of p1.jpg", "Resize of p2.jpg"}));
    QVERIFY(!BatchRunActive());
  }

  // ---- Screenshots (only when asked for) ---------------------------------------------

  void screenshots() {
    const QString out = qEnvironmentVariable("VIZUVOD_SCREENSHOTS");
    if (out.isEmpty()) QSKIP("set VIZUVOD_SCREENSHOTS to a folder to write screenshots");
    QDir().mkpath(out);
    QTemporaryDir dir, empty;
    for (int i = 1; i <= 3; ++i)
      WritePhoto(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), 200, 150, i);
    onBox = [&](QMessageBox& box) {
      box.show();
      QVERIFY(QTest::qWaitForWindowExposed(&box));
      box.grab().save(QStringLiteral("%1/box%2.png").arg(out).arg(boxes.size()));
      box.hide();
    };
    if (qEnvironmentVariable("VIZUVOD_SCREENSHOTS_LANGUAGE") == QLatin1String("en"))
      form->N9->trigger();  // kept in this program's scratch settings only
    TypeText(form->Edit1, dir.path());
    QTest::qWait(100);
    form->grab().save(out + "/page1.png");
    ScanFolder(empty.path());  // box1: no photos
    ScanFolder(dir.path());
    QTest::mouseClick(form->RadioButton2, Qt::LeftButton, {}, QPoint(5, 8));
    QTest::qWait(100);
    form->grab().save(out + "/page2-pixels.png");
    QTest::mouseClick(form->RadioButton1, Qt::LeftButton, {}, QPoint(5, 8));
    TypeNumber(form->SpinEdit1, 100);
    QTest::mouseClick(form->Button2, Qt::LeftButton);  // box2: percentage 100
    QTest::qWait(100);
    form->grab().save(out + "/page2.png");
    TypeNumber(form->SpinEdit1, 50);
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QTest::qWait(100);
    form->grab().save(out + "/page3.png");
    RunHandler(form.get(), [] { throw EFOpenError("/home/user/Фото/dsc01.jpg"); });  // box3
    QCOMPARE(boxes.size(), size_t(3));
    // The options: their menu open, each dialog it opens (then cancelled),
    // and page 3 naming the options that are on.
    QMenu* menu = form->Options->menu;
    menu->popup(form->mapToGlobal(QPoint(40, 20)));
    QTest::qWait(100);
    menu->grab().save(out + "/options-menu.png");
    menu->hide();
    for (const char* item : {"QualityItem", "SizeLimitItem", "ResultFolderItem"}) {
      QTimer::singleShot(200, [&out, item] {
        QWidget* dialog = QApplication::activeModalWidget();
        QVERIFY(dialog);
        dialog->grab().save(QStringLiteral("%1/options-%2.png").arg(out, item));
        dialog->close();
      });
      menu->findChild<QAction*>(item)->trigger();
    }
    ChooseOptions({"KeepMetadataItem", "NoLocationItem", "AutoOrientItem", "WebpItem",
                   "QualityItem=80", "KeepGoingItem", "MoreFormatsItem"});
    QTest::mouseClick(form->Button8, Qt::LeftButton);
    QTest::mouseClick(form->Button2, Qt::LeftButton);  // page 3 names the size
    QTest::qWait(100);
    form->grab().save(out + "/page3-options.png");
    // A run that goes on past a broken photo, with warnings: the box at its
    // end, its details, and page 3's report.
    QTemporaryDir warned;
    for (int i = 1; i <= 3; ++i)
      WriteCaptioned(warned.filePath(QStringLiteral("IMG_%1.jpg").arg(i)), i);
    QFile(warned.filePath("IMG_2b.jpg")).open(QIODevice::WriteOnly);
    onBox = [&](QMessageBox& box) {
      box.show();
      QVERIFY(QTest::qWaitForWindowExposed(&box));
      box.grab().save(out + "/run-summary.png");
      for (QPushButton* button : box.findChildren<QPushButton*>())
        if (button->text() == QCoreApplication::translate("QMessageBox", "Show Details..."))
          QTest::mouseClick(button, Qt::LeftButton);
      QTest::qWait(100);
      box.grab().save(out + "/run-summary-details.png");
      box.hide();
    };
    QTest::mouseClick(form->Button8, Qt::LeftButton);
    QTest::mouseClick(form->Button7, Qt::LeftButton);
    form->grab().save(out + "/page1-formats.png");
    ScanFolder(warned.path());
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QCOMPARE(boxes.size(), size_t(4));
    QTest::qWait(100);
    form->grab().save(out + "/page3-report.png");
  }

 public slots:
  void openUrl(const QUrl& url) { openedUrls << url; }

 private:
  QList<QUrl> openedUrls;
};

QTEST_MAIN(TWindowTest)
#include "WindowTest.moc"

// TForm2: the program's one window, a three-page wizard with a main menu.
// Page 1 takes the photo folder, page 2 the resize settings, page 3 runs the
// batch with its two progress bars and the cancel button. The layout is built
// in code with the designed bounds; the handlers carry the wizard's logic and
// hand the real work to the engine (folder scan, batch run).
#pragma once

#include <QMainWindow>
#include <QPoint>
#include <QSize>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "Geometry.h"  // TRect

class QAction;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;

namespace vizuvod {

class TBrowseDlg;
class TSpinEdit;
enum class TLanguage;
class TglWizardHeader;
struct TOptionsMenu;
struct TPhotoOutcome;
enum class TRunResult;
struct TRunOptions;

class TForm2 : public QMainWindow {
  Q_OBJECT

 public:
  explicit TForm2(QWidget* parent = nullptr);
  ~TForm2() override;

  // Event handlers, named after their control and event.
  void FormCreate(QObject* Sender);
  void Button1Click(QObject* Sender);  // "Дальше >>" on page 1: the folder scan
  void Button4Click(QObject* Sender);  // "Выбрать": the folder chooser
  void RadioButton1Click(QObject* Sender);
  void RadioButton2Click(QObject* Sender);
  void Button7Click(QObject* Sender);  // "<< Назад" on page 2
  void Button2Click(QObject* Sender);  // "Дальше >>" on page 2: the settings check
  void Button5Click(QObject* Sender);  // "Начать процесс авторесайза": the batch run
  void Button6Click(QObject* Sender);  // "Отменить процесс"
  void Button8Click(QObject* Sender);  // "<< Назад" on page 3
  void N4Click(QObject* Sender);       // "Сайт разработчика"
  void N2Click(QObject* Sender);       // "Выход"
  void N8Click(QObject* Sender);       // "Russian"
  void N9Click(QObject* Sender);       // "English"

  // Sets every text of the window in the language in use; the counters, the
  // path and the values stay as they are.
  void Retranslate();

  // The controls, public as the designer's fields are, so tests reach them by name.
  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet1 = nullptr;
  QWidget* TabSheet2 = nullptr;
  QWidget* TabSheet3 = nullptr;

  TglWizardHeader* glWizardHeader1 = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QPushButton* Button4 = nullptr;
  QFrame* Bevel1 = nullptr;
  QPushButton* Button1 = nullptr;

  TglWizardHeader* glWizardHeader3 = nullptr;
  QRadioButton* RadioButton1 = nullptr;
  TSpinEdit* SpinEdit1 = nullptr;
  QLabel* Label3 = nullptr;
  QRadioButton* RadioButton2 = nullptr;
  QLabel* Label8 = nullptr;
  QComboBox* ComboBox1 = nullptr;
  QLabel* Label13 = nullptr;
  TSpinEdit* SpinEdit2 = nullptr;
  QLabel* Label14 = nullptr;
  QFrame* Bevel2 = nullptr;
  QPushButton* Button7 = nullptr;
  QPushButton* Button2 = nullptr;

  TglWizardHeader* glWizardHeader2 = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QPushButton* Button5 = nullptr;
  QLabel* Label6 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QLabel* Label7 = nullptr;
  QProgressBar* ProgressBar2 = nullptr;
  QPushButton* Button6 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QLabel* Label10 = nullptr;
  QLabel* Label9 = nullptr;
  QLabel* Label11 = nullptr;
  QLabel* Label12 = nullptr;
  QPushButton* Button8 = nullptr;

  // Main menu: "Файл" (N1) → "Выход" (N2); "Помощь" (N3) → "Сайт разработчика"
  // (N4), "О программе" (N5, hidden); "Вид" (N6) → "Язык интерфейса" (N7) →
  // "Russian" (N8), "English" (N9), the one in use checked.
  QMenu* N1 = nullptr;
  QAction* N2 = nullptr;
  QMenu* N3 = nullptr;
  QAction* N4 = nullptr;
  QAction* N5 = nullptr;
  QMenu* N6 = nullptr;
  QMenu* N7 = nullptr;
  QAction* N8 = nullptr;
  QAction* N9 = nullptr;

  TBrowseDlg* BrowseDlg1 = nullptr;

  // The developer's web address the Help menu opens (a build setting).
  static QString DeveloperSiteUrl();

  // "Параметры" (OptionsMenu.cpp): the batch tool's options for the window's runs.
  std::unique_ptr<TOptionsMenu> Options;
  const TRunOptions& RunOptions() const;
  // Sets every text of the options' menu, dialogs and page-3 line; safe to
  // call again at any time.
  void RetranslateOptions();
  // Around a run: the options' menu waits, and the warnings of photos written
  // under options are shown once the run ends.
  void BeginOptionsRun();
  void EndOptionsRun(TRunResult result);
  void NotePhoto(const std::string& photo, const TPhotoOutcome& outcome);
  void NoteFailure(const std::string& photo, const std::string& error);

 protected:
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // A folder dropped anywhere on the window, the edits included, fills the path field.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void CreatePage1();
  void CreatePage2();
  void CreatePage3();
  void CreateMenu();
  void ConnectHandlers();
  void CreateOptions();
  // CreateOptions' steps: the menu's items; the lines on page 3 and in its
  // report, and the result folder's chooser; what each item does.
  void CreateOptionsMenu();
  void CreateOptionsLines();
  void ConnectOptionToggles();
  void ConnectOptionChoices();
  // RetranslateOptions' steps: the menu's items, the texts of the options'
  // dialogs, and the line on page 3 of the options that are on.
  void RetranslateOptionsMenu();
  void RetranslateOptionDialogs();
  QStringList OptionsOn() const;
  void ShowOptionsLine();
  void SetOptions(const TRunOptions& options);
  void ShowOptions();
  // Page 3's line for the size page 2 asks for, and its report of a run
  // under options.
  QString SizeText() const;
  void ShowReport();
  // Sets the three pages' visibility in the order 1, 2, 3 and shows the visible one.
  void SetPagesVisible(bool page1, bool page2, bool page3);
  // What a click on "Процент от оригинала:" or "Размер в пикселях:" does to page 2.
  void ApplyModeStates(bool percentMode);
  // A label at (left, top) that sizes itself to its text.
  QLabel* NewLabel(QWidget* parent, const QString& text, int left, int top);
  void SetLabelText(QLabel* label, const QString& text);
  // Switches the window to a language and keeps the choice.
  void ChooseLanguage(TLanguage language);
};

// Where the window goes on a screen with that work area: at its designed
// place (219, 183) when it fits there, else moved only as far as it must be
// to lie inside (its top left corner first, when it is larger).
QPoint WindowPlacement(const QSize& size, const TRect& workArea);

}  // namespace vizuvod

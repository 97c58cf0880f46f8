// The window's language, chosen through "Вид" → "Язык интерфейса" as a user
// does: every text changes at once and comes back exactly, the state the
// texts show survives the switch, and the choice outlives the window.
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "Errors.h"
#include "FolderPicker.h"
#include "Language.h"
#include "MessageBoxes.h"
#include "Spin.h"
#include "TestSeams.h"
#include "Warnings.h"
#include "WindowTestSupport.h"
#include "glWizardHeader.h"

using namespace vizuvod;

namespace {

// Every text the window shows, by the control that shows it.
QMap<QString, QString> Texts(const TForm2& form) {
  QMap<QString, QString> texts;
  for (QObject* o : form.findChildren<QObject*>()) {
    const QString name = o->objectName();
    if (auto* l = qobject_cast<QLabel*>(o)) texts[name] = l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(o)) texts[name] = b->text();
    if (auto* g = qobject_cast<QGroupBox*>(o)) texts[name] = g->title();
    if (auto* m = qobject_cast<QMenu*>(o)) texts[name] = m->title();
    if (auto* a = qobject_cast<QAction*>(o)) texts[name] = a->text();
    if (auto* h = qobject_cast<TglWizardHeader*>(o))
      texts[name] = h->Captions().join('|') + '|' + h->Comments().join('|');
  }
  texts.remove(QString());  // the parts Qt's controls are made of
  for (int i = 0; i < 3; ++i) texts[QStringLiteral("tab%1").arg(i)] = form.PageControl1->tabText(i);
  for (int i = 0; i < 2; ++i) texts[QStringLiteral("item%1").arg(i)] = form.ComboBox1->itemText(i);
  texts[QStringLiteral("side")] = form.ComboBox1->currentText();
  texts[QStringLiteral("title")] = form.windowTitle();
  return texts;
}

// Texts the same in both languages: names, numbers, the window's title.
bool SameInBoth(const QString& name, const QString& text) {
  static const QStringList names{"N8", "N9", "Label3", "Label4", "Label9", "Label12", "title"};
  bool number = false;
  text.toInt(&number);
  return text.isEmpty() || number || names.contains(name);
}

}  // namespace

class TLanguageTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TForm2> form;
  QStringList boxes;
  TScopedHook<TMessageBoxHook> boxHook{MessageBoxHook(),
                                       [this](QMessageBox& box) { boxes << box.text(); }};

  void NewWindow() {
    form = ShowNewWindow();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
  }

 private slots:
  void init() {
    UseScratchSettings();
    QSettings(QStringLiteral("Fotrix"), QStringLiteral("Vizuvod")).clear();
    boxes.clear();
    NewWindow();
  }
  void cleanup() { form.reset(); }

  void russianAtFirstStart() {
    QVERIFY(form->N6->menuAction()->isVisible());
    QVERIFY(form->N8->isChecked());
    QVERIFY(!form->N9->isChecked());
    QCOMPARE(StoredLanguage(), TLanguage::lgRussian);
  }

  void everyTextSwitchesAndComesBack_data() {
    QTest::addColumn<int>("page");
    QTest::newRow("page 1") << 0;
    QTest::newRow("page 2, height chosen") << 1;
    QTest::newRow("page 3, after a run") << 2;
  }

  void everyTextSwitchesAndComesBack() {
    QFETCH(int, page);
    QTemporaryDir dir;
    for (int i = 1; i <= 3; ++i)
      WritePhoto(dir.filePath(QStringLiteral("p%1.jpg").arg(i)), 40, 30, i);
    if (page >= 1) {
      form->Edit1->setText(dir.path());
      QTest::mouseClick(form->Button1, Qt::LeftButton);
      form->ComboBox1->setEditText(QStringLiteral("По высоте"));  // typed, not picked
    }
    if (page == 2) {
      form->SpinEdit1->setText(QStringLiteral("50"));
      QTest::mouseClick(form->Button2, Qt::LeftButton);
      QTest::mouseClick(form->Button5, Qt::LeftButton);
      QCOMPARE(form->Label12->text(), QStringLiteral("3"));
    }
    QCOMPARE(form->PageControl1->currentIndex(), page);
    const QMap<QString, QString> russian = Texts(*form);

    form->N9->trigger();
    QVERIFY(form->N9->isChecked() && !form->N8->isChecked());
    const QMap<QString, QString> english = Texts(*form);
    QCOMPARE(english.keys(), russian.keys());
    for (const QString& name : russian.keys())
      QVERIFY2(SameInBoth(name, russian[name]) == (english[name] == russian[name]),
               qPrintable(name + ": " + english[name]));
    QCOMPARE(english["glWizardHeader3"],
             QStringLiteral("Settings|Choose how to resize the photos to continue"));
    QCOMPARE(english["side"], page >= 1 ? QStringLiteral("By height") : QString());
    QCOMPARE(form->PageControl1->currentIndex(), page);
    // Labels keep sizing themselves to their new texts.
    QCOMPARE(form->Label8->size(), form->Label8->sizeHint());
    QCOMPARE(form->GroupBox1->title(), QStringLiteral(" Report "));

    form->N8->trigger();
    QCOMPARE(Texts(*form), russian);
  }

  void warningsInTheLanguage() {
    QTemporaryDir empty;
    form->N9->trigger();
    form->Edit1->setText(empty.path());
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    QCOMPARE(boxes, QStringList{
                        "No photos were found in this folder. Choose another folder to continue."});
    for (const char* warning : {NoPhotosWarning, Percent100Warning, FitSideWarning,
                                PercentNotPositiveWarning, PixelsNotPositiveWarning})
      QVERIFY2(WarningText(warning) != QString::fromUtf8(warning), warning);
    // The engine's failures are shown as they come, in either language.
    RunHandler(form.get(), [] { throw EFOpenError("/tmp/a.jpg"); });
    QCOMPARE(boxes.last(), QStringLiteral("Cannot open file /tmp/a.jpg."));
  }

  void folderChooserInTheLanguage() {
    QCOMPARE(TFolderPickerDialog({}).windowTitle(), QStringLiteral("Обзор папок"));
    form->N9->trigger();
    QCOMPARE(TFolderPickerDialog({}).windowTitle(), QStringLiteral("Browse for Folder"));
  }

  void choiceIsRemembered() {
    form->N9->trigger();
    NewWindow();
    QVERIFY(form->N9->isChecked());
    QCOMPARE(form->Button1->text(), QStringLiteral("Next >>"));
    form->N8->trigger();
    NewWindow();
    QVERIFY(form->N8->isChecked());
    QCOMPARE(form->Button1->text(), QStringLiteral("Дальше >>"));
    QCOMPARE(StoredLanguage(), TLanguage::lgRussian);
  }
};

QTEST_MAIN(TLanguageTest)
#include "LanguageTest.moc"

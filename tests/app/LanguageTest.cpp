// The window's language, chosen through "Вид" → "Язык интерфейса": every text
// changes at once and comes back exactly, the state the texts show survives
// the switch, and the choice outlives the window.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

#include "FolderPicker.h"
#include "Language.h"
#include "MessageBoxes.h"
#include "Spin.h"
#include "WindowTestSupport.h"
#include "core/Errors.h"
#include "core/TestSeams.h"
#include "glWizardHeader.h"

using namespace vizuvod;

namespace {

// Every text the window shows, by the control (or tab, item) that shows it.
QMap<QString, QString> Texts(const TForm2& form) {
  QMap<QString, QString> t;
  for (QObject* o : form.findChildren<QObject*>()) {
    QString& text = t[o->objectName()];
    if (auto* l = qobject_cast<QLabel*>(o)) text = l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(o)) text = b->text();
    if (auto* g = qobject_cast<QGroupBox*>(o)) text = g->title();
    if (auto* m = qobject_cast<QMenu*>(o)) text = m->title();
    if (auto* a = qobject_cast<QAction*>(o)) text = a->text();
    if (auto* h = qobject_cast<TglWizardHeader*>(o))
      text = (h->Captions() + h->Comments()).join('|');
  }
  t.remove(QString());  // the parts Qt's controls are made of
  for (int i = 0; i < 3; ++i) t[QStringLiteral("tab%1").arg(i)] = form.PageControl1->tabText(i);
  for (int i = 0; i < 2; ++i) t[QStringLiteral("item%1").arg(i)] = form.ComboBox1->itemText(i);
  t["side"] = form.ComboBox1->currentText();
  return t;
}

// The texts alike in both languages: empty, numbers, names, the "%" sign.
bool SameInBoth(const QString& name, const QString& text) {
  bool number = false;
  text.toInt(&number);
  return text.isEmpty() || number ||
         QStringList{"N8", "N9", "Label3", "Label4", "JpegItem", "WebpItem", "AvifItem"}.contains(
             name);
}

}  // namespace

class TLanguageTest : public QObject {
  Q_OBJECT

  std::unique_ptr<TForm2> form;
  QStringList boxes;
  TScopedHook<TMessageBoxHook> boxHook{MessageBoxHook(),
                                       [this](QMessageBox& box) { boxes << box.text(); }};

 private slots:
  void init() {
    UseScratchSettings();
    WindowSettings()->clear();  // a new account
    boxes.clear();
    form = ShowNewWindow();
  }
  void cleanup() { form.reset(); }

  void everyTextSwitchesAndComesBack_data() {
    QTest::addColumn<int>("page");
    QTest::newRow("page 1") << 0;
    QTest::newRow("page 2, height typed") << 1;
    QTest::newRow("page 3, after a run") << 2;
  }
  void everyTextSwitchesAndComesBack() {
    QFETCH(int, page);
    QTemporaryDir dir;
    for (int i = 1; i <= 3; ++i) WritePhoto(dir.filePath(QString("p%1.jpg").arg(i)), 40, 30, i);
    if (page >= 1) {
      form->Edit1->setText(dir.path());
      QTest::mouseClick(form->Button1, Qt::LeftButton);
      form->ComboBox1->setEditText(QStringLiteral("По высоте"));
    }
    if (page == 2) {
      form->SpinEdit1->setText(QStringLiteral("50"));
      QTest::mouseClick(form->Button2, Qt::LeftButton);
      QTest::mouseClick(form->Button5, Qt::LeftButton);
    }
    const QMap<QString, QString> russian = Texts(*form);
    form->N9->trigger();
    const QMap<QString, QString> english = Texts(*form);
    QCOMPARE(english.keys(), russian.keys());
    for (const QString& name : russian.keys())
      QVERIFY2(SameInBoth(name, russian[name]) == (english[name] == russian[name]),
               qPrintable(name + ": " + english[name]));
    QCOMPARE(english["glWizardHeader3"], "Settings|Choose how to resize the photos to continue");
    QCOMPARE(english["side"], page >= 1 ? "By height" : "");
    QCOMPARE(english["Label12"], page == 2 ? "3" : "0");
    QCOMPARE(form->PageControl1->currentIndex(), page);
    form->N8->trigger();
    QCOMPARE(Texts(*form), russian);
  }

  void boxesAndChooserSpeakIt() {
    QTemporaryDir empty;
    form->N9->trigger();
    form->Edit1->setText(empty.path());
    QTest::mouseClick(form->Button1, Qt::LeftButton);
    // The engine's failures read as they come, in either language.
    RunHandler(form.get(), [] { throw EFOpenError("/tmp/a.jpg"); });
    QCOMPARE(boxes, (QStringList{"No photos were found in this folder. Choose another folder to "
                                 "continue.",
                                 "Cannot open file /tmp/a.jpg."}));
    QCOMPARE(TFolderPickerDialog({}).windowTitle(), "Browse for Folder");
    form->N8->trigger();
    QCOMPARE(TFolderPickerDialog({}).windowTitle(), "Обзор папок");
  }

  void choiceIsKept() {
    QVERIFY(form->N6->menuAction()->isVisible());
    QVERIFY(form->N8->isChecked() && !form->N9->isChecked());
    for (const auto& [choice, next] : {std::pair{"N9", "Next >>"}, {"N8", "Дальше >>"}}) {
      form->findChild<QAction*>(choice)->trigger();
      form = ShowNewWindow();
      QCOMPARE(form->Button1->text(), QString(next));
      QVERIFY(form->findChild<QAction*>(choice)->isChecked());
    }
  }
};

QTEST_MAIN(TLanguageTest)
#include "LanguageTest.moc"

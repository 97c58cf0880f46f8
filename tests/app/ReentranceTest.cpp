// The window while a run pumps its messages: the user goes back and scans
// another folder, presses Start or Cancel again and again, picks "Выход" or
// closes the window. The run must finish the photo in hand and stop where the
// rules say, never leave a partial file, and a closed window must let the
// program end.
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "MessageBoxes.h"
#include "Spin.h"
#include "Unit2.h"
#include "WindowTestSupport.h"
#include "core/TestSeams.h"
#include "formats/jpeg/JpegImage.h"
#include "photo/BatchRun.h"
#include "photo/PhotoScan.h"

using namespace vizuvod;

namespace {

void WritePhotos(const QTemporaryDir& dir, int count, int width = 160, int height = 120) {
  for (int i = 1; i <= count; ++i)
    WritePhoto(dir.filePath(QStringLiteral("p%1.jpg").arg(i, 2, 10, QChar('0'))), width, height, i);
}

QStringList ResizedFiles(const QString& folder) {
  return QDir(folder).entryList({QStringLiteral("Resize of *")}, QDir::Files, QDir::Name);
}

// Every output decodes in full (a cut file fails), and nothing else is left
// beside the photos: no temporary or hidden file.
void ExpectOnlyWholeOutputs(const QString& folder, int photos) {
  const QStringList all = QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
  for (const QString& name : all) {
    if (!name.startsWith(QLatin1String("Resize of "))) {
      QVERIFY2(name.startsWith(QLatin1Char('p')) && name.endsWith(QLatin1String(".jpg")),
               qPrintable(name));
      continue;
    }
    TJPEGImage J;
    J.LoadFromFile(QDir(folder).filePath(name).toStdString());
    TBitmap B;
    B.Assign(J);
    QVERIFY(B.Width() > 0);
  }
  QCOMPARE(all.size() - ResizedFiles(folder).size(), photos);
}

}  // namespace

class TReentranceTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TForm2> form;
  QStringList boxTexts;
  TScopedHook<TMessageBoxHook> boxHook{MessageBoxHook(),
                                       [this](QMessageBox& box) { boxTexts << box.text(); }};

  void Scan(const QString& folder) {
    form->Edit1->setText(folder);
    QTest::mouseClick(form->Button1, Qt::LeftButton);
  }

  // Percentage 50 on page 2, then on to page 3.
  void ToPage3() {
    form->SpinEdit1->SetValue(50);
    QTest::mouseClick(form->Button2, Qt::LeftButton);
    QCOMPARE(form->PageControl1->currentIndex(), 2);
  }

  // Runs action once, from the message loop, the first time a row of photo
  // `photo` is resampled (so inside the run's own pumping).
  void DuringPhoto(int photo, std::function<void()> action) {
    auto done = std::make_shared<bool>(false);
    connect(form->ProgressBar2, &QProgressBar::valueChanged, form.get(),
            [this, photo, action, done](int) {
              if (*done || form->Label12->text() != QString::number(photo - 1)) return;
              *done = true;
              QTimer::singleShot(0, form.get(), action);
            });
  }

 private slots:

  void init() {
    boxTexts.clear();
    form = ShowNewWindow();
    QVERIFY(QTest::qWaitForWindowExposed(form.get()));
  }
  void cleanup() { form.reset(); }

  // Back to page 1 during the run and a scan of another folder: the run keeps
  // to its own photos; the new list shows on the labels and serves the next
  // run. A scan of an empty folder warns and changes nothing of the run.
  void rescanDuringRun() {
    QTemporaryDir first, second, empty;
    WritePhotos(first, 4);
    WritePhotos(second, 2);
    Scan(first.path());
    ToPage3();
    DuringPhoto(2, [&] {
      QTest::mouseClick(form->Button8, Qt::LeftButton);  // page 3 -> 2
      QTest::mouseClick(form->Button7, Qt::LeftButton);  // page 2 -> 1
      Scan(empty.path());
      Scan(second.path());
    });
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QCOMPARE(boxTexts, QStringList{QString::fromUtf8(NoPhotosWarning)});
    QCOMPARE(ResizedFiles(first.path()).size(), 4);
    QVERIFY(ResizedFiles(second.path()).isEmpty());
    QCOMPARE(form->Label12->text(), QStringLiteral("4"));
    QCOMPARE(form->Label4->text(), QStringLiteral("2"));
    QCOMPARE(form->PageControl1->currentIndex(), 1);
    ExpectOnlyWholeOutputs(first.path(), 4);

    ToPage3();
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QCOMPARE(ResizedFiles(second.path()).size(), 2);
    QCOMPARE(form->Label12->text(), QStringLiteral("2"));
  }

  // Cancel pressed many times, and Start pressed between the presses: the
  // photo in hand is finished, none after it is started, and a later Start
  // runs the whole list again.
  void cancelAndStartHammered() {
    QTemporaryDir dir;
    WritePhotos(dir, 6);
    Scan(dir.path());
    ToPage3();
    DuringPhoto(2, [&] {
      for (int i = 0; i < 5; ++i) {
        QTest::mouseClick(form->Button6, Qt::LeftButton);
        QTest::mouseClick(form->Button5, Qt::LeftButton);
      }
    });
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QCOMPARE(ResizedFiles(dir.path()), (QStringList{"Resize of p01.jpg", "Resize of p02.jpg"}));
    QCOMPARE(form->Label12->text(), QStringLiteral("2"));
    QVERIFY(!BatchRunActive());
    ExpectOnlyWholeOutputs(dir.path(), 6);

    QTest::mouseClick(form->Button6, Qt::LeftButton);  // a stray Cancel between runs
    QTest::mouseClick(form->Button5, Qt::LeftButton);
    QCOMPARE(ResizedFiles(dir.path()).size(), 6);
    QCOMPARE(form->Label12->text(), QStringLiteral("6"));
    ExpectOnlyWholeOutputs(dir.path(), 6);
  }

  // Closing the window, or "Выход", during a run: the photo in hand is
  // finished and saved, no other is started, and the message loop ends.
  void closeDuringRun_data() {
    QTest::addColumn<bool>("viaMenu");
    QTest::newRow("window closed") << false;
    QTest::newRow("Выход") << true;
  }
  void closeDuringRun() {
    QFETCH(bool, viaMenu);
    QTemporaryDir dir;
    WritePhotos(dir, 8);
    Scan(dir.path());
    ToPage3();
    DuringPhoto(3, [&] {
      if (viaMenu)
        form->N2->trigger();
      else
        form->close();
    });
    // The program's own loop: it must end by itself once the window is gone.
    QTimer::singleShot(0, form.get(), [&] { QTest::mouseClick(form->Button5, Qt::LeftButton); });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(99); });
    watchdog.start(60000);
    const int exitCode = QApplication::exec();
    QCOMPARE(exitCode, 0);
    QVERIFY(!form->isVisible());
    QVERIFY(!BatchRunActive());
    QCOMPARE(ResizedFiles(dir.path()),
             (QStringList{"Resize of p01.jpg", "Resize of p02.jpg", "Resize of p03.jpg"}));
    ExpectOnlyWholeOutputs(dir.path(), 8);
  }
};

QTEST_MAIN(TReentranceTest)
#include "ReentranceTest.moc"

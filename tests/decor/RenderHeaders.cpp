// Renders the three wizard headers of the program to PNG files, for a look
// by eye: render-headers OUTPUT_FOLDER [--buffered | --window]. With
// --window they are shown as three pages of a real window and the screen is
// captured to screen.png (run it under xvfb-run). Not a test.
#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QScreen>
#include <QTextStream>
#include <QTimer>
#include <QVBoxLayout>

#include "StoredPicture.h"
#include "glWizardHeader.h"

using namespace vizuvod;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  const bool buffered = argc > 2 && QByteArray(argv[2]) == "--buffered";
  const bool window = argc > 2 && QByteArray(argv[2]) == "--window";
  const struct {
    const char* name;
    const char* caption;
    const char* comment;
  } pages[] = {
      {"page1", "Укажите папку с фотографиями (поддерживается только формат JPG)",
       "В указанной папке должны лежать только те фотографии размер которых нужно изменить"},
      {"page2", "Настройка", "Для продолжения работы необходимо задать настройки"},
      {"page3", "Авторесайз",
       "В зависимости от выбранного количества фотографий, процесс авторесайза может занять "
       "от      нескольких минут, до нескольких часов"},
  };
  QTextStream out(stdout);
  if (window) {
    // Pages of the window's size below each header, stacked for one look.
    QWidget top;
    top.setWindowTitle(QStringLiteral("Fotrix Vizuvod 1.0 Beta"));
    auto* column = new QVBoxLayout(&top);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    for (const auto& page : pages) {
      auto* sheet = new QWidget;
      sheet->setFixedSize(659, 110);
      sheet->setAutoFillBackground(true);
      auto* header = new TglWizardHeader(sheet);
      header->setGeometry(0, 0, 659, 81);
      header->SetCaptions({QString::fromUtf8(page.caption)});
      header->SetComments({QString::fromUtf8(page.comment)});
      header->SetGlyph(HeaderPicture());
      column->addWidget(sheet);
    }
    top.move(0, 0);
    top.show();
    QTimer::singleShot(700, [&] {
      const QString path = QDir(folder).filePath(QStringLiteral("screen.png"));
      top.screen()
          ->grabWindow(0, 0, 0, top.frameGeometry().width() + 20, top.frameGeometry().height() + 20)
          .save(path);
      out << path << "\n";
      app.quit();
    });
    return app.exec();
  }
  for (const auto& page : pages) {
    TglWizardHeader header;
    header.setGeometry(0, 0, 659, 81);
    header.SetCaptions({QString::fromUtf8(page.caption)});
    header.SetComments({QString::fromUtf8(page.comment)});
    header.SetGlyph(HeaderPicture());
    header.SetBufferedDraw(buffered);
    header.Paint();
    const QString path = QDir(folder).filePath(QString::fromLatin1(page.name) + ".png");
    header.Canvas().Image().save(path);
    out << path << "\n";
  }
  TFont caption;
  caption.Style = fsBold;
  for (const TFont& f : {TFont(), caption}) {
    const QFont q = f.ToQFont();
    const QFontMetrics fm(q);
    out << QFontInfo(q).family() << " px " << QFontInfo(q).pixelSize() << " height " << fm.height()
        << " ascent " << fm.ascent() << " descent " << fm.descent() << "\n";
  }
  return 0;
}

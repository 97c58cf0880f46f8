// Renders the three wizard headers of the program to PNG files, for a look
// by eye: render-headers OUTPUT_FOLDER [--buffered]. Not a test.
#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QTextStream>

#include "StoredPicture.h"
#include "glWizardHeader.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  const bool buffered = argc > 2 && QByteArray(argv[2]) == "--buffered";
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
    out << QFontInfo(q).family() << " px " << QFontInfo(q).pixelSize() << " height "
        << fm.height() << " ascent " << fm.ascent() << " descent " << fm.descent() << "\n";
  }
  return 0;
}

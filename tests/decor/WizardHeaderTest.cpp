// The wizard header: properties and their paint rules, and the painted
// pixels of the program's 659 x 81 header - background, caption and comment
// bands, picture at (581, 3), symbol box, etched edge, gradient strip.
// Glyph shapes depend on the font, so text is checked by where ink falls.
#include <QApplication>
#include <QPalette>
#include <QtTest>

#include "StoredPicture.h"
#include "glWizardHeader.h"

using namespace vizuvod;

namespace {

// A palette with distinct system colours, so every pixel says what drew it.
const QColor WindowColor(250, 250, 240), TextColor(0, 0, 0), HighlightColor(0, 0, 160),
    HighlightTextColor(255, 255, 0), ShadowColor(128, 128, 128), LightColor(255, 255, 254);

TColorValue ValueOf(const QColor& c) { return RGBColor(c.red(), c.green(), c.blue()); }

const QString Caption1 =
    QStringLiteral("Укажите папку с фотографиями (поддерживается только формат JPG)");
const QString Comment1 = QStringLiteral(
    "В указанной папке должны лежать только те фотографии размер которых нужно изменить");

// The program's header: 659 x 81, its picture, one caption and comment.
void SetUpLayoutHeader(TglWizardHeader& h) {
  h.setGeometry(0, 0, 659, 81);
  h.SetCaptions({Caption1});
  h.SetComments({Comment1});
  h.SetGlyph(HeaderPicture());
}

bool IsInk(TColorValue p) { return p != ValueOf(WindowColor); }

// Rows (top, bottom exclusive) of the ink inside columns [x0, x1) and rows
// [y0, y1); {-1, -1} when there is none.
std::pair<int, int> InkRows(const TCanvas& c, int x0, int x1, int y0, int y1) {
  int top = -1, bottom = -1;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (IsInk(c.GetPixel(x, y))) {
        if (top < 0) top = y;
        bottom = y + 1;
      }
  return {top, bottom};
}

class CountingHeader : public TglWizardHeader {
 public:
  int paints = 0;

 protected:
  void paintEvent(QPaintEvent* e) override {
    ++paints;
    TglWizardHeader::paintEvent(e);
  }
};

}  // namespace

class WizardHeaderTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QPalette p = QApplication::palette();
    p.setColor(QPalette::Base, WindowColor);
    p.setColor(QPalette::Text, TextColor);
    p.setColor(QPalette::Highlight, HighlightColor);
    p.setColor(QPalette::HighlightedText, HighlightTextColor);
    p.setColor(QPalette::Dark, ShadowColor);
    p.setColor(QPalette::Light, LightColor);
    QApplication::setPalette(p);
  }

  void defaults() {
    QWidget page;
    page.resize(300, 200);
    TglWizardHeader h(&page);
    QCOMPARE(h.height(), 60);
    QCOMPARE(h.width(), 300);
    QCOMPARE(h.Align(), alTop);
    QCOMPARE(h.PageNo(), 0);
    QVERIFY(h.Captions().isEmpty() && h.Comments().isEmpty() && h.Symbol().isEmpty());
    QVERIFY(!h.BufferedDraw());
    QVERIFY(!h.HasGlyph());
    QCOMPARE(h.CaptionFont().Name, QStringLiteral("MS Sans Serif"));
    QCOMPARE(h.CaptionFont().Height, -11);
    QCOMPARE(h.CaptionFont().Style, unsigned(fsBold));
    QCOMPARE(h.CommentFont().Style, 0u);
    QCOMPARE(h.CommentFont().Size(), 8);
    QCOMPARE(h.SymbolFont().Name, QStringLiteral("Wingdings"));
    QCOMPARE(h.SymbolFont().Height, -35);
    QCOMPARE(h.SymbolFont().Color, clHighlightText);
    QCOMPARE(h.SymbolFont().Style, unsigned(fsBold));
    QVERIFY(h.Gradient().Active());
    QCOMPARE(h.Gradient().FromColor(), clHighlight);
    QCOMPARE(h.Gradient().ToColor(), clWindow);
    QCOMPARE(h.Gradient().Orientation(), fgdVertical);
    QCOMPARE(h.Gradient().Steps(), 255);
    QCOMPARE(int(h.Gradient().PercentFilling()), 100);
    QCOMPARE(h.Gradient().BrushStyle(), bsSolid);
    QVERIFY(!h.Gradient().BufferedDraw());
    // Docked to the top: follows the page's width.
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    page.resize(500, 200);
    QCOMPARE(h.geometry(), QRect(0, 0, 500, 60));
    // Reading Glyph makes an empty picture.
    QCOMPARE(h.Glyph().Width(), 0);
    QVERIFY(h.HasGlyph());
  }

  void layoutHeaderPixels() {
    TglWizardHeader h;
    SetUpLayoutHeader(h);
    h.Paint();
    const TCanvas& c = h.Canvas();
    const TColorValue window = ValueOf(WindowColor);
    const int lh = c.TextHeight(QStringLiteral("Hy"));

    // Background, left of the text and between the text and the strip.
    for (int y = 0; y < 76; ++y)
      for (int x = 0; x < 20; ++x) QCOMPARE(c.GetPixel(x, y), window);
    QCOMPARE(c.GetPixel(300, 2), window);

    // Caption: ink in its line from (20, 8), nothing above row 8.
    const auto caption = InkRows(c, 20, 580, 0, 8 + lh);
    QVERIFY(caption.first >= 8 && caption.first < 8 + lh);
    QVERIFY(InkRows(c, 20, 23, 8, 8 + lh).first >= 0);   // starts at x 20
    QVERIFY(InkRows(c, 500, 580, 8, 8 + lh).first < 0);  // one line, well short of the picture

    // Comment: one line centred below the caption: R = (40, 8 + lh, 599, 76),
    // its top at R.Top + (76 - R.Top - lh) / 2 (42 for a 13-pixel font).
    const int top = 8 + lh + (76 - (8 + lh) - lh) / 2;
    // (Some bold Cyrillic descenders reach a pixel below the caption's line.)
    const auto comment = InkRows(c, 40, 580, 8 + lh + 2, 76);
    QVERIFY2(comment.first >= top && comment.second <= top + lh,
             qPrintable(QStringLiteral("comment ink rows %1-%2, line %3-%4")
                            .arg(comment.first)
                            .arg(comment.second)
                            .arg(top)
                            .arg(top + lh)));
    QCOMPARE(InkRows(c, 20, 40, 8 + lh + 2, 76).first, -1);  // indented by 20

    // Picture at (581, 3): opaque pixels copied, white ones show the window.
    const TBitmap glyph = HeaderPicture();
    int opaque = 0;
    for (int y = 0; y < glyph.Height(); ++y)
      for (int x = 0; x < glyph.Width(); ++x) {
        if (3 + y >= 76) continue;  // under the strip
        const TColorValue g = glyph.Pixel(x, y);
        const TColorValue expected = g == RGBColor(255, 255, 255) ? window : g;
        QCOMPARE(c.GetPixel(581 + x, 3 + y), expected);
        opaque += g != RGBColor(255, 255, 255);
      }
    QVERIFY(opaque > 1000);
    for (int y = 0; y < 76; ++y) QCOMPARE(c.GetPixel(657, y), window);  // m = 3 to the right

    // Strip over rows 76-79, 255 bands from highlight to window; row 80
    // is the etched edge's light line.
    const TColorValue from = ValueOf(HighlightColor);
    for (int i = 0; i < 255; ++i) {
      const auto channel = [&](int f, int t) { return f + MulDiv(i, t - f, 254); };
      const TColorValue band =
          RGBColor(channel(RedOf(from), RedOf(window)), channel(GreenOf(from), GreenOf(window)),
                   channel(BlueOf(from), BlueOf(window)));
      for (int x = MulDiv(i, 659, 255); x < MulDiv(i + 1, 659, 255); ++x)
        for (int y = 76; y < 80; ++y) QCOMPARE(c.GetPixel(x, y), band);
    }
    for (int x = 0; x < 659; ++x) QCOMPARE(c.GetPixel(x, 80), ValueOf(LightColor));
  }

  // Drawn at the device's density in the same logical layout: at ratio 1
  // the picture of ratio 1, even after a scaled paint; above it, ratio
  // times the pixels, text not a stretched ratio-1 picture, and the strip,
  // its first band edge and the edge's light line where they were.
  void pixelRatio_data() {
    QTest::addColumn<qreal>("ratio");
    for (qreal r : {1.0, 1.5, 2.0}) QTest::newRow(qPrintable(QString::number(r))) << r;
  }
  void pixelRatio() {
    QFETCH(qreal, ratio);
    TglWizardHeader one, h;
    SetUpLayoutHeader(one);
    SetUpLayoutHeader(h);
    one.PaintAt(1);
    h.PaintAt(2);
    h.PaintAt(ratio);
    const QImage& image = h.Canvas().Image();
    const auto D = [&](int x) { return qRound(x * ratio); };
    QCOMPARE(image.size(), QSize(D(659), D(81)));
    QCOMPARE(h.Canvas().Width(), 659);
    if (ratio == 1) {
      QCOMPARE(image, one.Canvas().Image());
      return;
    }
    QImage stretched = one.Canvas().Image().scaled(image.size());
    stretched.setDevicePixelRatio(ratio);
    const int lh = one.Canvas().TextHeight(QStringLiteral("Hy"));
    QCOMPARE(image.copy(0, 0, D(20), D(76)), stretched.copy(0, 0, D(20), D(76)));
    QVERIFY(image.copy(D(20), D(8), D(400), D(lh)) != stretched.copy(D(20), D(8), D(400), D(lh)));
    const auto at = [&](int x, int y) { return QColor(image.pixel(x, y)); };
    QCOMPARE(at(0, D(76) - 1), WindowColor);
    QCOMPARE(at(0, D(76)), HighlightColor);
    QCOMPARE(at(D(3) - 1, D(80) - 1), HighlightColor);
    QVERIFY(at(D(3), D(80) - 1) != HighlightColor);
    for (int x = 0; x < image.width(); x += 7) QCOMPARE(at(x, D(80)), LightColor);
    QCOMPARE(at(0, image.height() - 1), LightColor);
  }

  // A comment taller than its space is still centred on it: its block
  // starts above the space, over the caption's line.
  void tallCommentIsCentredOnItsSpace() {
    TglWizardHeader h;
    h.setGeometry(0, 0, 200, 81);
    h.SetCaptions({QStringLiteral(" ")});
    const QString comment = QStringLiteral(
        "Очень длинный комментарий, который никак не уместится в отведённое ему место");
    h.SetComments({comment});
    h.Gradient().SetActive(false);
    h.Paint();
    const TCanvas& c = h.Canvas();
    const int lh = c.TextHeight(QStringLiteral("Hy"));
    TCanvas measure(200, 81);
    TFont font;
    measure.SelectFont(font);
    TRect block{40, 8 + lh, 140, 76};
    const int height = measure.DrawText(comment, block, DT_CALCRECT | DT_WORDBREAK);
    QVERIFY(height > 76 - (8 + lh));
    const int top = 8 + lh + (76 - (8 + lh) - height) / 2;
    const auto ink = InkRows(c, 40, 160, 0, 79);
    QVERIFY2(ink.first >= std::max(top, 0) && ink.first < top + lh,
             qPrintable(QStringLiteral("ink from row %1, block from %2").arg(ink.first).arg(top)));
    QVERIFY(ink.first < 8 + lh);
  }

  void defaultUiFont() {
    const QFont font = DefaultUiFont();
    QCOMPARE(QFontInfo(font).pixelSize(), 11);
    QVERIFY(QFontMetrics(font).inFontUcs4(U'Ж'));
    QVERIFY(QFontMetrics(font).inFontUcs4(U'ё'));
  }

  void withoutGradientTheWholeEdgeShows() {
    TglWizardHeader h;
    SetUpLayoutHeader(h);
    h.Gradient().SetActive(false);
    h.Paint();
    const TCanvas& c = h.Canvas();
    for (int x = 0; x < 659; ++x) {
      QCOMPARE(c.GetPixel(x, 79), ValueOf(ShadowColor));
      QCOMPARE(c.GetPixel(x, 80), ValueOf(LightColor));
      if (x < 581) QCOMPARE(c.GetPixel(x, 77), ValueOf(WindowColor));
    }
  }

  void symbolBox_data() {
    QTest::addColumn<bool>("gradient");
    QTest::addColumn<int>("lastRow");
    QTest::newRow("gradient active") << true << 72;
    QTest::newRow("gradient inactive") << false << 75;
  }
  void symbolBox() {
    QFETCH(bool, gradient);
    QFETCH(int, lastRow);
    TglWizardHeader h;
    h.setGeometry(0, 0, 659, 81);
    h.SetSymbol(QStringLiteral("AB"));
    h.Gradient().SetActive(gradient);
    h.Paint();
    QCOMPARE(h.Symbol(), QStringLiteral("A"));  // cut for good by painting
    const TCanvas& c = h.Canvas();
    const TColorValue box = ValueOf(HighlightColor), window = ValueOf(WindowColor);
    // 45 pixels wide (609-653), rows 5 to lastRow; its border rows and
    // columns are box colour (the symbol sits in the middle).
    for (int x = 609; x <= 653; ++x) {
      QCOMPARE(c.GetPixel(x, 5), box);
      QCOMPARE(c.GetPixel(x, lastRow), box);
      QCOMPARE(c.GetPixel(x, 4), window);
      QCOMPARE(c.GetPixel(x, lastRow + 1), window);
    }
    for (int y = 5; y <= lastRow; ++y) {
      QCOMPARE(c.GetPixel(609, y), box);
      QCOMPARE(c.GetPixel(653, y), box);
      QCOMPARE(c.GetPixel(608, y), window);
      QCOMPARE(c.GetPixel(654, y), window);
    }
    // The symbol's ink is inside the box, around its centre.
    int ink = 0;
    for (int y = 5; y <= lastRow; ++y)
      for (int x = 609; x <= 653; ++x) ink += c.GetPixel(x, y) != box;
    QVERIFY(ink > 20);
  }

  void glyphWinsOverSymbol() {
    TglWizardHeader h;
    SetUpLayoutHeader(h);
    h.SetSymbol(QStringLiteral("J"));
    h.Paint();
    QCOMPARE(h.Canvas().GetPixel(609, 5), ValueOf(WindowColor));
  }

  // Pixels of exactly the bottom-left pixel's colour never reach the
  // header, wherever they lie; all others do.
  void transparentGlyph() {
    const TColorValue key = RGBColor(10, 200, 30), other = RGBColor(10, 200, 31);
    TBitmap glyph;
    glyph.SetPixelFormat(TPixelFormat::pf24bit);
    glyph.SetSize(4, 3);
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x) glyph.SetPixel(x, y, (x + y) % 2 ? other : key);
    glyph.SetPixel(0, 2, key);
    TglWizardHeader h;
    h.setGeometry(0, 0, 100, 41);
    h.SetGlyph(glyph);
    h.Gradient().SetActive(false);
    h.Paint();
    const int m = (41 - 3) / 2;  // 19
    for (int y = 0; y < 3; ++y)
      for (int x = 0; x < 4; ++x)
        QCOMPARE(h.Canvas().GetPixel(100 - 4 - m + x, m + y),
                 (x + y) % 2 ? other : ValueOf(WindowColor));
  }

  void glyphTallerThanTheHeader() {
    TBitmap glyph;
    glyph.SetPixelFormat(TPixelFormat::pf24bit);
    glyph.SetSize(6, 30);  // white, but for a red first column
    for (int y = 0; y < 29; ++y) glyph.SetPixel(0, y, RGBColor(255, 0, 0));
    TglWizardHeader h;
    h.setGeometry(0, 0, 100, 20);
    h.SetGlyph(glyph);
    h.Gradient().SetActive(false);
    h.Paint();
    // m = (20 - 30) / 2 = -5: x = 100 - 6 + 5 = 99, rows from -5.
    for (int y = 0; y < 18; ++y) QCOMPARE(h.Canvas().GetPixel(99, y), RGBColor(255, 0, 0));
    QCOMPARE(h.Canvas().GetPixel(98, 5), ValueOf(WindowColor));
  }

  // Which line shows is checked against a header given only that line.
  void pageNoSelectsTheLine_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("pageNo");
    QTest::addColumn<QString>("shown");
    const QStringList three{QStringLiteral("Первая"), QStringLiteral("Вторая"),
                            QStringLiteral("Третья")};
    QTest::newRow("second") << three << 1 << QStringLiteral("Вторая");
    QTest::newRow("past the end shows the last") << three << 7 << QStringLiteral("Третья");
    QTest::newRow("empty shows the placeholder") << QStringList{} << 0 << QStringLiteral("Caption");
  }
  void pageNoSelectsTheLine() {
    QFETCH(QStringList, lines);
    QFETCH(int, pageNo);
    QFETCH(QString, shown);
    TglWizardHeader h, reference;
    h.setGeometry(0, 0, 400, 81);
    reference.setGeometry(0, 0, 400, 81);
    h.SetCaptions(lines);
    h.SetComments(lines);
    h.SetPageNo(pageNo);
    reference.SetCaptions({shown});
    reference.SetComments({lines.isEmpty() ? QStringLiteral("Some comment text") : shown});
    reference.Paint();
    QCOMPARE(h.Canvas().Image(), reference.Canvas().Image());
  }

  void pageNoPaintsAtOnce() {
    TglWizardHeader h;
    SetUpLayoutHeader(h);
    h.Canvas().FillRect({0, 0, 659, 81}, CreateSolidBrush(RGBColor(255, 0, 0)));
    h.SetPageNo(0);  // the same value still paints, without an event loop
    QCOMPARE(h.Canvas().GetPixel(5, 5), ValueOf(WindowColor));
  }

  void negativePageNoLeavesTheHeaderAlone() {
    TglWizardHeader h;
    SetUpLayoutHeader(h);
    h.Paint();
    const QImage before = h.Canvas().Image();
    try {
      h.SetPageNo(-1);
      QFAIL("no error");
    } catch (const EStringListError& e) {
      QCOMPARE(QString::fromLatin1(e.what()), QStringLiteral("List index out of bounds (-1)"));
    }
    QCOMPARE(h.Canvas().Image(), before);
    h.SetBufferedDraw(true);
    QVERIFY_THROWS_EXCEPTION(EStringListError, h.Paint());
    QCOMPARE(h.Canvas().Image(), before);

    // From the framework's paint, the error goes to the application's report.
    QStringList reported;
    connect(&h, &TglWizardHeader::PaintFailed, &h, [&](const QString& e) { reported << e; });
    h.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h));
    h.repaint();
    QVERIFY(!reported.isEmpty());
    QCOMPARE(reported.first(), QStringLiteral("List index out of bounds (-1)"));
    QCOMPARE(h.Canvas().Image(), before);
  }

  void bufferedDrawGivesTheSamePicture() {
    TglWizardHeader direct, buffered;
    SetUpLayoutHeader(direct);
    SetUpLayoutHeader(buffered);
    buffered.SetBufferedDraw(true);
    direct.Paint();
    buffered.Paint();
    QCOMPARE(buffered.Canvas().Image(), direct.Canvas().Image());
  }

  void repaintRequests() {
    CountingHeader h;
    SetUpLayoutHeader(h);
    h.show();
    QVERIFY(QTest::qWaitForWindowExposed(&h));
    QCoreApplication::processEvents();
    const auto paintsAfter = [&](auto change) {
      QCoreApplication::processEvents();
      const int before = h.paints;
      change();
      QCoreApplication::processEvents();
      return h.paints - before;
    };
    QVERIFY(paintsAfter([&] { h.SetCaptions({QStringLiteral("Другая")}); }) > 0);
    QVERIFY(paintsAfter([&] { h.SetComments({QStringLiteral("Другой")}); }) > 0);
    QVERIFY(paintsAfter([&] { h.SetSymbol(QStringLiteral("x")); }) > 0);
    QVERIFY(paintsAfter([&] { h.SetCaptionFont(TFont()); }) > 0);
    QCOMPARE(paintsAfter([&] { h.SetGlyph(TBitmap()); }), 0);
    QCOMPARE(paintsAfter([&] { h.SetGradient(TGradient()); }), 0);
    QCOMPARE(h.Gradient().Active(), false);  // copied in
    // PageNo paints before it returns.
    const int before = h.paints;
    h.SetPageNo(0);
    QVERIFY(h.paints > before);
  }

  void storedPicture() {
    const QByteArray data = HeaderPictureData();
    QCOMPARE(data.size(), 4 + 16926);
    QCOMPARE(quint8(data[0]) | quint8(data[1]) << 8 | quint8(data[2]) << 16 | quint8(data[3]) << 24,
             16926u);
    const TBitmap picture = LoadStoredPicture(data);
    QCOMPARE(picture.Width(), 75);
    QCOMPARE(picture.Height(), 74);
    QCOMPARE(picture.Pixel(0, 73), RGBColor(255, 255, 255));
    // The 20 columns that the comment may reach stay empty.
    for (int y = 0; y < 74; ++y)
      for (int x = 0; x < 20; ++x) QCOMPARE(picture.Pixel(x, y), RGBColor(255, 255, 255));

    // The same rows stored top-down read the same.
    QByteArray file = data.mid(4);
    QByteArray topDown = file.left(54);
    const qint32 negative = -74;
    std::memcpy(topDown.data() + 22, &negative, 4);
    for (int y = 73; y >= 0; --y) topDown.append(file.mid(54 + 228 * y, 228));
    const TBitmap flipped = LoadStoredPicture(MakeStoredPicture(topDown));
    for (int y = 0; y < 74; y += 7)
      for (int x = 0; x < 75; x += 5) QCOMPARE(flipped.Pixel(x, y), picture.Pixel(x, y));
  }

  void damagedStoredPictures_data() {
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("readError");
    const QByteArray good = HeaderPictureData();
    QByteArray shortLength = good;
    shortLength.chop(1);
    QByteArray badMagic = good;
    badMagic[4] = 'X';
    QByteArray hugeWidth = good;
    hugeWidth[4 + 18 + 3] = 0x7F;
    QByteArray rle = good;
    rle[4 + 30] = 1;
    QByteArray offBits = good;
    offBits[4 + 11] = 0x7F;
    QTest::newRow("ends before its length") << shortLength << true;
    QTest::newRow("fewer than 4 bytes") << QByteArray("\x01\x00", 2) << true;
    QTest::newRow("not BM") << badMagic << false;
    QTest::newRow("huge width") << hugeWidth << false;
    QTest::newRow("compressed") << rle << false;
    QTest::newRow("pixels past the end") << offBits << false;
    QTest::newRow("no info header") << MakeStoredPicture(good.mid(4, 20)) << false;
  }
  void damagedStoredPictures() {
    QFETCH(QByteArray, data);
    QFETCH(bool, readError);
    if (readError)
      QVERIFY_THROWS_EXCEPTION(EReadError, LoadStoredPicture(data));
    else
      QVERIFY_THROWS_EXCEPTION(EInvalidGraphic, LoadStoredPicture(data));
  }

  void palettePicture() {
    // A 2 x 2, 8-bit file with a two-colour palette.
    QByteArray f;
    const auto u32 = [&](quint32 v) {
      for (int k = 0; k < 4; ++k) f.append(char(v >> 8 * k));
    };
    const auto u16 = [&](quint16 v) {
      f.append(char(v));
      f.append(char(v >> 8));
    };
    f.append("BM");
    u32(14 + 40 + 8 + 8);
    u32(0);
    u32(14 + 40 + 8);
    u32(40);
    u32(2);
    u32(2);
    u16(1);
    u16(8);
    u32(0);
    u32(8);
    u32(2834);
    u32(2834);
    u32(2);
    u32(0);
    u32(0x00FF0000);  // blue, green, red, 0: red... stored B G R
    u32(0x0000FF00);
    f.append(QByteArray("\x00\x01\x00\x00\x01\x00\x00\x00", 8));  // bottom row, top row
    const TBitmap b = LoadBitmapFile(
        std::span(reinterpret_cast<const std::uint8_t*>(f.constData()), std::size_t(f.size())));
    QCOMPARE(b.Pixel(0, 1), RGBColor(255, 0, 0));
    QCOMPARE(b.Pixel(1, 1), RGBColor(0, 255, 0));
    QCOMPARE(b.Pixel(0, 0), RGBColor(0, 255, 0));
    QCOMPARE(b.Pixel(1, 0), RGBColor(255, 0, 0));
  }
};

QTEST_MAIN(WizardHeaderTest)
#include "WizardHeaderTest.moc"

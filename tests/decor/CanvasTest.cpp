// The drawing layer's pixel semantics: MulDiv's rounding, exclusive right
// and bottom edges, lines without their end point, pen styles, hatches,
// DrawText's prefixes and word breaking, the etched edge and raster copies.
#include <QApplication>
#include <QPalette>
#include <QtTest>

#include "Canvas.h"

using namespace vizuvod;

namespace {
constexpr TColorValue Red = RGBColor(255, 0, 0);
constexpr TColorValue White = RGBColor(255, 255, 255);
constexpr TColorValue Blue = RGBColor(0, 0, 255);

int CountColor(const TCanvas& c, TColorValue color, TRect area) {
  int n = 0;
  for (int y = area.Top; y < area.Bottom; ++y)
    for (int x = area.Left; x < area.Right; ++x) n += c.GetPixel(x, y) == color;
  return n;
}
}  // namespace

Q_DECLARE_METATYPE(TPoint)

class CanvasTest : public QObject {
  Q_OBJECT

 private slots:
  void mulDiv_data() {
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("c");
    QTest::addColumn<int>("expected");
    QTest::newRow("2.5 rounds up") << 1 << 10 << 4 << 3;
    QTest::newRow("7.5 rounds up") << 3 << 10 << 4 << 8;
    QTest::newRow("exact") << 2 << 10 << 4 << 5;
    QTest::newRow("grey 28") << 1 << 255 << 9 << 28;
    QTest::newRow("grey 227") << 8 << 255 << 9 << 227;
    QTest::newRow("negative half away") << -5 << 1 << 2 << -3;
    QTest::newRow("negative divisor") << 5 << 1 << -2 << -3;
    QTest::newRow("both negative") << -5 << 1 << -2 << 3;
    QTest::newRow("below half down") << -4 << 1 << 3 << -1;
    QTest::newRow("64-bit product") << 2000000000 << 3 << 4 << 1500000000;
    QTest::newRow("divide by zero") << 7 << 1 << 0 << -1;
    QTest::newRow("overflow") << 2000000000 << 4 << 1 << -1;
  }
  void mulDiv() {
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(int, c);
    QFETCH(int, expected);
    QCOMPARE(MulDiv(a, b, c), expected);
  }

  void fillRectExcludesRightAndBottom() {
    TCanvas c(10, 10);
    c.FillRect({2, 3, 5, 7}, CreateSolidBrush(Red));
    QCOMPARE(CountColor(c, Red, {0, 0, 10, 10}), 3 * 4);
    QCOMPARE(c.GetPixel(2, 3), Red);
    QCOMPARE(c.GetPixel(4, 6), Red);
    QCOMPARE(c.GetPixel(5, 3), White);
    QCOMPARE(c.GetPixel(2, 7), White);
    c.FillRect({5, 5, 2, 2}, CreateSolidBrush(Blue));    // inverted: nothing
    c.FillRect({-5, -5, 1, 1}, CreateSolidBrush(Blue));  // clipped to the surface
    QCOMPARE(CountColor(c, Blue, {0, 0, 10, 10}), 1);
    c.FillRect({0, 0, 10, 10}, std::nullopt);  // no brush: nothing
    QCOMPARE(CountColor(c, Red, {0, 0, 10, 10}), 12);
  }

  void lineLeavesOutItsEndPoint_data() {
    QTest::addColumn<TPoint>("from");
    QTest::addColumn<TPoint>("to");
    QTest::addColumn<int>("pixels");
    QTest::newRow("right") << TPoint{1, 1} << TPoint{6, 1} << 5;
    QTest::newRow("left") << TPoint{6, 2} << TPoint{1, 2} << 5;
    QTest::newRow("down") << TPoint{3, 0} << TPoint{3, 9} << 9;
    QTest::newRow("diagonal") << TPoint{0, 0} << TPoint{4, 4} << 4;
    QTest::newRow("anti-diagonal") << TPoint{0, 5} << TPoint{5, 0} << 5;
    QTest::newRow("one point") << TPoint{2, 2} << TPoint{2, 2} << 0;
  }
  void lineLeavesOutItsEndPoint() {
    QFETCH(TPoint, from);
    QFETCH(TPoint, to);
    QFETCH(int, pixels);
    TCanvas c(10, 10);
    c.SelectPen(CreatePen(PS_SOLID, 1, Red));
    c.MoveToEx(from.X, from.Y);
    c.LineTo(to.X, to.Y);
    QCOMPARE(CountColor(c, Red, {0, 0, 10, 10}), pixels);
    if (pixels > 0) QCOMPARE(c.GetPixel(from.X, from.Y), Red);
    QCOMPARE(c.GetPixel(to.X, to.Y), White);
  }

  void penStyles() {
    // Dotted: three on, three off; dashed: 18 on, 6 off; null: nothing.
    const struct {
      int style;
      const char* pattern;
    } cases[] = {
        {PS_DOT, "111000111000111000111000"},         {PS_DASH, "111111111111111111000000"},
        {PS_DASHDOT, "111111111000000111000000"},     {PS_NULL, "000000000000000000000000"},
        {PS_INSIDEFRAME, "111111111111111111111111"},
    };
    for (const auto& k : cases) {
      TCanvas c(30, 1);
      c.SelectPen(CreatePen(k.style, 1, Red));
      c.MoveToEx(0, 0);
      c.LineTo(24, 0);
      QString seen;
      for (int x = 0; x < 24; ++x) seen += c.GetPixel(x, 0) == Red ? u'1' : u'0';
      QCOMPARE(seen, QString::fromLatin1(k.pattern));
    }
    // Wider than one pixel, styled pens draw solid; width 0 is 1.
    QCOMPARE(CreatePen(PS_DASH, 3, Red).Style, int(PS_SOLID));
    QCOMPARE(CreatePen(PS_DASH, 1, Red).Style, int(PS_DASH));
    QCOMPARE(CreatePen(PS_SOLID, 0, Red).Width, 1);
  }

  void hatchedBrushes() {
    QVERIFY(!CreateBrushIndirect({BS_HATCHED, Red, -1}));
    QVERIFY(!CreateBrushIndirect({BS_HATCHED, Red, 6}));
    for (int hatch = HS_HORIZONTAL; hatch <= HS_DIAGCROSS; ++hatch) {
      TCanvas c(16, 16);
      c.FillRect({0, 0, 16, 16}, CreateSolidBrush(Blue));
      c.SetBkColor(RGBColor(0, 255, 0));
      c.SetBkMode(TRANSPARENT);
      c.FillRect({0, 0, 16, 16}, CreateBrushIndirect({BS_HATCHED, Red, hatch}));
      const int ink = CountColor(c, Red, {0, 0, 16, 16});
      const int expected[] = {32, 32, 32, 32, 60, 64};
      QCOMPARE(ink, expected[hatch]);
      QCOMPARE(ink + CountColor(c, Blue, {0, 0, 16, 16}), 256);  // gaps kept
      c.SetBkMode(OPAQUE);
      c.FillRect({0, 0, 16, 16}, CreateBrushIndirect({BS_HATCHED, Red, hatch}));
      QCOMPARE(ink + CountColor(c, RGBColor(0, 255, 0), {0, 0, 16, 16}), 256);  // gaps filled
    }
  }

  void prefixProcessing_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("underline");
    // clang-format off
    QTest::newRow("ampersand underlines") << "&Open" << "Open" << true;
    QTest::newRow("double shows one") << "Save && exit" << "Save & exit" << false;
    QTest::newRow("Cyrillic") << "Фай&л" << "Файл" << true;
    QTest::newRow("plain") << "Настройка" << "Настройка" << false;
    // clang-format on
  }
  void prefixProcessing() {
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(bool, underline);
    TCanvas c(200, 30);
    TRect measured{10, 5, 190, 25};
    c.DrawText(text, measured, DT_SINGLELINE | DT_CALCRECT);
    QCOMPARE(measured.Width(), c.TextWidth(shown));
    QCOMPARE(measured.Height(), c.TextHeight(shown));
    QCOMPARE(CountColor(c, White, {0, 0, 200, 30}), 200 * 30);  // measuring draws nothing

    // The underline is a run of ink on the row below the baseline.
    TRect r{10, 5, 190, 25};
    c.DrawText(text, r, DT_SINGLELINE);
    TCanvas plain(200, 30);
    TRect r2{10, 5, 190, 25};
    plain.DrawText(shown, r2, DT_SINGLELINE | DT_NOPREFIX);
    const int underlineRow = 5 + QFontMetrics(c.SelectedFont()).ascent() + 1;
    int extra = 0;
    for (int x = 0; x < 200; ++x)
      extra += c.GetPixel(x, underlineRow) == 0 && plain.GetPixel(x, underlineRow) != 0;
    QCOMPARE(extra > 0, underline);
  }

  void wordBreak() {
    TCanvas c(300, 100);
    const int lh = c.TextHeight(QStringLiteral("Hy"));
    const QString text = QStringLiteral("один два три четыре");
    const int oneLine = c.TextWidth(text);
    // Wide enough: one line, measured to the text's width.
    TRect r{0, 0, 300, 100};
    QCOMPARE(c.DrawText(text, r, DT_WORDBREAK | DT_CALCRECT), lh);
    QCOMPARE(r.Width(), oneLine);
    // Each word on its own line when only the longest word fits.
    TRect narrow{0, 0, c.TextWidth(QStringLiteral("четыре")), 100};
    QCOMPARE(c.DrawText(text, narrow, DT_WORDBREAK | DT_CALCRECT), 4 * lh);
    QCOMPARE(narrow.Bottom, 4 * lh);
    // A word wider than the line is not cut.
    TRect tiny{0, 0, 5, 100};
    c.DrawText(QStringLiteral("слово"), tiny, DT_WORDBREAK | DT_CALCRECT);
    QCOMPARE(tiny.Width(), c.TextWidth(QStringLiteral("слово")));
    QCOMPARE(tiny.Height(), lh);
    // Blanks inside a line are kept as they are.
    TRect spaced{0, 0, 300, 100};
    c.DrawText(QStringLiteral("от      до"), spaced, DT_WORDBREAK | DT_CALCRECT);
    QCOMPARE(spaced.Width(), c.TextWidth(QStringLiteral("от      до")));
  }

  void textIsClippedToItsRectangle() {
    TCanvas c(200, 40);
    TRect r{10, 10, 40, 30};
    c.DrawText(QStringLiteral("Длинная строка текста"), r, DT_SINGLELINE);
    QVERIFY(CountColor(c, 0, {10, 10, 40, 30}) > 0);
    QCOMPARE(CountColor(c, White, {40, 0, 200, 40}), 160 * 40);
    // Centred both ways on one line.
    TCanvas d(100, 60);
    TRect box{0, 0, 100, 60};
    d.SetBkMode(TRANSPARENT);
    d.DrawText(QStringLiteral("X"), box, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    QCOMPARE(CountColor(d, White, {0, 0, 40, 60}), 40 * 60);
    QCOMPARE(CountColor(d, White, {60, 0, 100, 60}), 40 * 60);
    QCOMPARE(CountColor(d, White, {0, 0, 100, 20}), 100 * 20);
    QCOMPARE(CountColor(d, White, {0, 40, 100, 60}), 100 * 20);
  }

  void etchedBottomEdge() {
    TCanvas c(20, 10);
    TRect r{0, 0, 20, 10};
    c.DrawEdge(r, EDGE_ETCHED, BF_BOTTOM);
    const TColorValue shadow = GetSysColor(COLOR_BTNSHADOW);
    const TColorValue light = GetSysColor(COLOR_BTNHIGHLIGHT);
    QCOMPARE(CountColor(c, shadow, {0, 8, 20, 9}), 20);
    QCOMPARE(CountColor(c, light, {0, 9, 20, 10}), 20);
    QCOMPARE(CountColor(c, White, {0, 0, 20, 8}), 160);
    TRect adjusted{0, 0, 20, 10};
    c.DrawEdge(adjusted, EDGE_ETCHED, BF_BOTTOM | BF_ADJUST);
    QCOMPARE(adjusted, (TRect{0, 0, 20, 8}));
  }

  void rasterOperations() {
    const TColorValue a = RGBColor(0xF0, 0x0F, 0x55), b = RGBColor(0x3C, 0xFF, 0x0A);
    const struct {
      unsigned rop;
      TColorValue expected;
    } cases[] = {
        {SRCCOPY, a},
        {SRCAND, a & b},
        {SRCPAINT, a | b},
        {NOTSRCCOPY, ~a & 0xFFFFFF},
    };
    for (const auto& k : cases) {
      TCanvas src(3, 3), dst(5, 5);
      src.FillRect({0, 0, 3, 3}, CreateSolidBrush(a));
      dst.FillRect({0, 0, 5, 5}, CreateSolidBrush(b));
      dst.BitBlt(1, 1, 3, 3, src, 0, 0, k.rop);
      QCOMPARE(dst.GetPixel(2, 2), k.expected);
      QCOMPARE(dst.GetPixel(0, 0), b);
      QCOMPARE(dst.GetPixel(4, 4), b);
    }
  }

  void monochromeCopies() {
    // Colour to monochrome: the source's background colour becomes white.
    TCanvas colour(2, 1);
    colour.SetPixel(0, 0, Red);
    colour.SetPixel(1, 0, Blue);
    colour.SetBkColor(Red);
    TCanvas mono(2, 1, 1);
    mono.BitBlt(0, 0, 2, 1, colour, 0, 0, SRCCOPY);
    QCOMPARE(mono.GetPixel(0, 0), White);
    QCOMPARE(mono.GetPixel(1, 0), TColorValue(0));
    // Monochrome to colour: black takes the text colour, white the
    // background colour of the target.
    TCanvas target(2, 1);
    target.SetTextColor(Blue);
    target.SetBkColor(RGBColor(1, 2, 3));
    target.BitBlt(0, 0, 2, 1, mono, 0, 0, SRCCOPY);
    QCOMPARE(target.GetPixel(0, 0), RGBColor(1, 2, 3));
    QCOMPARE(target.GetPixel(1, 0), Blue);
  }

  void deviceCapsAndOutOfRange() {
    QCOMPARE(TCanvas(4, 4).GetDeviceCaps(BITSPIXEL), 32);
    QCOMPARE(TCanvas(4, 4, 8).GetDeviceCaps(BITSPIXEL), 8);
    QCOMPARE(TCanvas(4, 4).GetDeviceCaps(PLANES), 1);
    QCOMPARE(TCanvas(4, 4).GetPixel(4, 0), InvalidColor);
    QCOMPARE(TCanvas(4, 4).GetPixel(-1, 0), InvalidColor);
  }

  void systemColoursFollowThePalette() {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Highlight, QColor(1, 2, 3));
    palette.setColor(QPalette::Base, QColor(4, 5, 6));
    QApplication::setPalette(palette);
    QCOMPARE(ColorToRGB(clHighlight), RGBColor(1, 2, 3));
    QCOMPARE(ColorToRGB(clWindow), RGBColor(4, 5, 6));
    QCOMPARE(ColorToRGB(RGBColor(7, 8, 9)), RGBColor(7, 8, 9));
  }
};

QTEST_MAIN(CanvasTest)
#include "CanvasTest.moc"

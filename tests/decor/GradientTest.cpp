// The gradient fill: settings and their notifications, and Draw's bands,
// colours and cut-off in every direction, checked pixel by pixel against
// MulDiv arithmetic.
#include <QApplication>
#include <QPalette>
#include <QtTest>

#include "Gradient.h"

using namespace vizuvod;

namespace {

constexpr TColorValue Black = RGBColor(0, 0, 0);
constexpr TColorValue White = RGBColor(255, 255, 255);
constexpr TColorValue Marker = RGBColor(1, 99, 7);  // what was there before

TColorValue Grey(int v) { return RGBColor(v, v, v); }

// Black to white, active, everything else at its default.
void BlackToWhite(TGradient& g, TglGradientDir orientation, int steps = 255) {
  g.SetFromColor(Black);
  g.SetToColor(White);
  g.SetOrientation(orientation);
  g.SetSteps(steps);
  g.SetActive(true);
}

TCanvas Surface(int w, int h) {
  TCanvas c(w, h);
  c.FillRect({0, 0, w, h}, CreateSolidBrush(Marker));
  return c;
}

// The grey level of band i of N from black to white.
int Level(int i, int N) { return N == 1 ? 0 : MulDiv(i, 255, N - 1); }

}  // namespace

class GradientTest : public QObject {
  Q_OBJECT

 private slots:
  void notifications() {
    TGradient g;
    int calls = 0;
    TTwainColors* sender = nullptr;
    g.OnChange = [&](TTwainColors* s) { ++calls, sender = s; };
    const auto expect = [&](auto change, int n, const char* what) {
      calls = 0;
      change();
      QVERIFY2(calls == n, what);
    };
    expect([&] { g.SetFromColor(clGray); }, 0, "same FromColor");
    expect([&] { g.SetFromColor(clRed()); }, 1, "new FromColor");
    QCOMPARE(sender, static_cast<TTwainColors*>(&g));
    expect([&] { g.SetToColor(clBlack); }, 0, "same ToColor");
    expect([&] { g.SetToColor(White); }, 1, "new ToColor");
    expect([&] { g.SetOrientation(fgdVertical); }, 0, "Orientation while inactive");
    expect([&] { g.SetActive(false); }, 0, "same Active");
    expect([&] { g.SetActive(true); }, 1, "Active");
    expect([&] { g.SetOrientation(fgdRectangle); }, 1, "Orientation while active");
    expect([&] { g.SetOrientation(fgdRectangle); }, 0, "same Orientation");
    expect([&] { g.SetSteps(255); }, 0, "same Steps");
    expect([&] { g.SetSteps(1000); }, 0, "Steps clamped to the same");
    expect([&] { g.SetSteps(4); }, 1, "Steps");
    expect([&] { g.SetPercentFilling(100); }, 0, "same PercentFilling");
    expect([&] { g.SetPercentFilling(50); }, 1, "PercentFilling");
    expect([&] { g.SetBrushStyle(bsSolid); }, 1, "same BrushStyle still notifies");
    expect([&] { g.SetBrushStyle(bsCross); }, 1, "BrushStyle");
    expect([&] { g.SetBufferedDraw(true); }, 0, "BufferedDraw");
    QVERIFY(g.BufferedDraw());
  }

  void stepsAreClamped_data() {
    QTest::addColumn<int>("written");
    QTest::addColumn<int>("read");
    QTest::newRow("0") << 0 << 1;
    QTest::newRow("-5") << -5 << 1;
    QTest::newRow("256") << 256 << 255;
    QTest::newRow("1000") << 1000 << 255;
    QTest::newRow("2") << 2 << 2;
  }
  void stepsAreClamped() {
    QFETCH(int, written);
    QFETCH(int, read);
    TGradient g;
    g.SetSteps(written);
    QCOMPARE(g.Steps(), read);
  }

  void assignCopiesAllSettings() {
    TGradient source, target;
    source.SetFromColor(RGBColor(1, 2, 3));
    source.SetToColor(clHighlight);
    source.SetActive(true);
    source.SetBufferedDraw(true);
    source.SetOrientation(fgdRightBias);
    source.SetSteps(17);
    source.SetPercentFilling(33);
    source.SetBrushStyle(bsBDiagonal);
    int calls = 0;
    target.OnChange = [&](TTwainColors*) { ++calls; };
    target.Assign(source);
    QCOMPARE(target.FromColor(), source.FromColor());
    QCOMPARE(target.ToColor(), source.ToColor());
    QCOMPARE(target.FromRGB(), RGBColor(1, 2, 3));
    QCOMPARE(target.ToRGB(), ColorToRGB(clHighlight));
    QVERIFY(target.Active());
    QVERIFY(target.BufferedDraw());
    QCOMPARE(target.Orientation(), fgdRightBias);
    QCOMPARE(target.Steps(), 17);
    QCOMPARE(int(target.PercentFilling()), 33);
    QCOMPARE(target.BrushStyle(), bsBDiagonal);
    QCOMPARE(calls, 1);
    target.Assign(source);
    QCOMPARE(calls, 1);
  }

  void systemColoursAreResolvedWhenAssigned() {
    const QPalette saved = QApplication::palette();
    QPalette palette = saved;
    palette.setColor(QPalette::Highlight, QColor(10, 20, 30));
    QApplication::setPalette(palette);
    TGradient g;
    g.SetFromColor(clHighlight);
    QCOMPARE(g.FromRGB(), RGBColor(10, 20, 30));
    palette.setColor(QPalette::Highlight, QColor(40, 50, 60));
    QApplication::setPalette(palette);
    QCOMPARE(g.FromRGB(), RGBColor(10, 20, 30));  // cached until assigned again
    g.SetFromColor(clBlack);
    g.SetFromColor(clHighlight);
    QCOMPARE(g.FromRGB(), RGBColor(40, 50, 60));
    QApplication::setPalette(saved);
  }

  // The worked example: 10 x 10, black to white, horizontal.
  void horizontalRamp_data() {
    QTest::addColumn<int>("steps");
    QTest::addColumn<QList<int>>("rowLevels");
    QTest::newRow("Steps 255: one row a band")
        << 255 << QList<int>{0, 28, 57, 85, 113, 142, 170, 198, 227, 255};
    QTest::newRow("Steps 4: edges 0 3 5 8 10")
        << 4 << QList<int>{0, 0, 0, 85, 85, 170, 170, 170, 255, 255};
  }
  void horizontalRamp() {
    QFETCH(int, steps);
    QFETCH(QList<int>, rowLevels);
    TGradient g;
    BlackToWhite(g, fgdHorizontal, steps);
    TCanvas c = Surface(12, 12);
    g.Draw(c, {1, 1, 11, 11}, PS_SOLID, 1);
    for (int y = 0; y < 10; ++y)
      for (int x = 0; x < 10; ++x) QCOMPARE(c.GetPixel(1 + x, 1 + y), Grey(rowLevels[y]));
    for (int k = 0; k < 12; ++k) {  // the frame around the rectangle is untouched
      QCOMPARE(c.GetPixel(k, 0), Marker);
      QCOMPARE(c.GetPixel(k, 11), Marker);
      QCOMPARE(c.GetPixel(0, k), Marker);
      QCOMPARE(c.GetPixel(11, k), Marker);
    }
  }

  void verticalBandsAndChannels() {
    TGradient g;
    g.SetFromColor(RGBColor(200, 10, 0));
    g.SetToColor(RGBColor(0, 250, 100));
    g.SetOrientation(fgdVertical);
    g.SetSteps(3);
    g.SetActive(true);
    TCanvas c = Surface(7, 2);
    g.Draw(c, {0, 0, 7, 2}, PS_SOLID, 1);
    // Edges MulDiv(i, 7, 3) = 0, 2, 5, 7; middle colour per channel.
    const TColorValue middle =
        RGBColor(200 + MulDiv(1, -200, 2), 10 + MulDiv(1, 240, 2), 0 + MulDiv(1, 100, 2));
    const TColorValue expected[7] = {
        RGBColor(200, 10, 0),  RGBColor(200, 10, 0), middle, middle, middle,
        RGBColor(0, 250, 100), RGBColor(0, 250, 100)};
    for (int x = 0; x < 7; ++x) {
      QCOMPARE(c.GetPixel(x, 0), expected[x]);
      QCOMPARE(c.GetPixel(x, 1), expected[x]);
    }
  }

  void fewPixelsFewBands() {
    TGradient g;
    BlackToWhite(g, fgdHorizontal);
    TCanvas one = Surface(4, 1);
    g.Draw(one, {0, 0, 4, 1}, PS_SOLID, 1);
    QCOMPARE(one.GetPixel(3, 0), Black);  // a single band takes the start colour
    TCanvas three = Surface(4, 3);
    g.Draw(three, {0, 0, 4, 3}, PS_SOLID, 1);
    QCOMPARE(three.GetPixel(0, 0), Black);
    QCOMPARE(three.GetPixel(0, 1), Grey(128));
    QCOMPARE(three.GetPixel(0, 2), White);
  }

  void percentFillingCutOff_data() {
    QTest::addColumn<int>("percent");
    QTest::addColumn<int>("bands");
    QTest::addColumn<int>("painted");
    QTest::newRow("50 of 10") << 50 << 10 << 7;
    QTest::newRow("0 of 10") << 0 << 10 << 2;
    QTest::newRow("0 of 2") << 0 << 2 << 2;
    QTest::newRow("100 of 10") << 100 << 10 << 10;
    QTest::newRow("60 of 5: 3/5*100 is above 60") << 60 << 5 << 4;
    QTest::newRow("40 of 5") << 40 << 5 << 4;
    QTest::newRow("20 of 5") << 20 << 5 << 3;
  }
  void percentFillingCutOff() {
    QFETCH(int, percent);
    QFETCH(int, bands);
    QFETCH(int, painted);
    TGradient g;
    BlackToWhite(g, fgdHorizontal);
    g.SetPercentFilling(TglPercent(percent));
    TCanvas c = Surface(2, bands);
    g.Draw(c, {0, 0, 2, bands}, PS_SOLID, 1);
    for (int i = 0; i < bands; ++i)
      QCOMPARE(c.GetPixel(1, i), i < painted ? Grey(Level(i, bands)) : Marker);
  }

  void brushStyles() {
    TGradient g;
    BlackToWhite(g, fgdHorizontal, 2);
    g.SetFromColor(RGBColor(200, 0, 0));
    g.SetBrushStyle(bsClear);
    TCanvas clear = Surface(8, 8);
    g.Draw(clear, {0, 0, 8, 8}, PS_SOLID, 1);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) QCOMPARE(clear.GetPixel(x, y), Marker);

    // A hatch draws in the band colour; its gaps follow the target's
    // background mode and colour.
    g.SetBrushStyle(bsVertical);
    TCanvas hatched = Surface(16, 16);
    hatched.SetBkMode(TRANSPARENT);
    g.Draw(hatched, {0, 0, 16, 16}, PS_SOLID, 1);
    int ink = 0, kept = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16; ++x) {
        const TColorValue p = hatched.GetPixel(x, y);
        ink += p == (y < 8 ? RGBColor(200, 0, 0) : White);
        kept += p == Marker;
      }
    QCOMPARE(ink, 2 * 16);
    QCOMPARE(kept, 256 - 2 * 16);
  }

  void horizontalConvergentNineRows() {
    TGradient g;
    BlackToWhite(g, fgdHorzConvergent);
    int calls = 0;
    g.OnChange = [&](TTwainColors*) { ++calls; };
    TCanvas c = Surface(3, 9);
    g.Draw(c, {0, 0, 3, 9}, PS_SOLID, 1);
    // Rows 0-4 black to white, rows 4-8 white to black; row 4 from the
    // second half, which has it as its first band. Going down, MulDiv
    // rounds the half away from zero: 255 - 128 = 127.
    const int levels[9] = {0, 64, 128, 191, 255, 191, 127, 64, 0};
    for (int y = 0; y < 9; ++y) QCOMPARE(c.GetPixel(1, y), Grey(levels[y]));
    QCOMPARE(g.Orientation(), fgdHorzConvergent);
    QCOMPARE(g.FromRGB(), Black);
    QCOMPARE(g.ToRGB(), White);
    QCOMPARE(calls, 0);
  }

  void verticalConvergent() {
    TGradient g;
    BlackToWhite(g, fgdVertConvergent);
    TCanvas c = Surface(6, 2);
    g.Draw(c, {0, 0, 6, 2}, PS_SOLID, 1);
    const int levels[6] = {0, 128, 255, 255, 127, 0};
    for (int x = 0; x < 6; ++x) QCOMPARE(c.GetPixel(x, 1), Grey(levels[x]));
    QCOMPARE(g.Orientation(), fgdVertConvergent);
  }

  void nestedRectangles() {
    TGradient g;
    BlackToWhite(g, fgdRectangle);
    TCanvas c = Surface(10, 6);
    g.Draw(c, {0, 0, 10, 6}, PS_SOLID, 1);
    // N = 3: bands (0,0,10,6) black, (2,1,8,5) grey 128, (3,2,7,4) white.
    const char* rows[6] = {"0000000000", "0011111100", "0012222100",
                           "0012222100", "0011111100", "0000000000"};
    const TColorValue colours[3] = {Black, Grey(128), White};
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 10; ++x) QCOMPARE(c.GetPixel(x, y), colours[rows[y][x] - '0']);
  }

  // Diagonal sweeps, one line a band on a 6 x 4 rectangle (N = 10): the
  // line of step k holds the pixels one step from the start corner's
  // diagonal, the end point left out and nothing drawn outside.
  void diagonalSweeps() {
    TGradient g;
    BlackToWhite(g, fgdLeftBias);
    TCanvas left = Surface(8, 6);
    g.Draw(left, {1, 1, 7, 5}, PS_SOLID, 1);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) {
        const int rx = x - 1, ry = y - 1;
        const bool inside = rx >= 0 && rx < 6 && ry >= 0 && ry < 4;
        // P2 runs along the top row, whose pixels are always end points.
        const TColorValue expected = inside && ry > 0 ? Grey(Level(rx + ry - 1, 10)) : Marker;
        QCOMPARE(left.GetPixel(x, y), expected);
      }

    g.SetOrientation(fgdRightBias);
    TCanvas right = Surface(8, 6);
    g.Draw(right, {1, 1, 7, 5}, PS_SOLID, 1);
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < 8; ++x) {
        const int rx = x - 1, ry = y - 1;
        const bool inside = rx >= 0 && rx < 6 && ry >= 0 && ry < 4;
        const TColorValue expected = inside ? Grey(Level(6 - rx + ry - 1, 10)) : Marker;
        QCOMPARE(right.GetPixel(x, y), expected);
      }

    // Wider pens step further and still stay inside.
    g.SetOrientation(fgdLeftBias);
    TCanvas wide = Surface(30, 30);
    g.Draw(wide, {5, 5, 25, 25}, PS_SOLID, 3);
    for (int k = 0; k < 30; ++k) {
      QCOMPARE(wide.GetPixel(k, 25), Marker);
      QCOMPARE(wide.GetPixel(25, k), Marker);
      QCOMPARE(wide.GetPixel(k, 4), Marker);
    }
    QVERIFY(wide.GetPixel(20, 20) != Marker);
  }

  void bufferedDrawGivesTheSamePicture_data() {
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("brush");
    for (int o = fgdHorizontal; o <= fgdVertConvergent; ++o)
      for (int b : {int(bsSolid), int(bsClear), int(bsCross), int(bsFDiagonal)})
        QTest::addRow("orientation %d brush %d", o, b) << o << b;
  }
  void bufferedDrawGivesTheSamePicture() {
    QFETCH(int, orientation);
    QFETCH(int, brush);
    TGradient g;
    BlackToWhite(g, TglGradientDir(orientation), 7);
    g.SetFromColor(RGBColor(250, 20, 90));
    g.SetBrushStyle(TBrushStyle(brush));
    g.SetPercentFilling(70);
    TCanvas direct = Surface(40, 30), buffered = Surface(40, 30);
    direct.SetBkMode(TRANSPARENT);
    buffered.SetBkMode(TRANSPARENT);
    g.Draw(direct, {3, 5, 36, 27}, PS_DOT, 1);
    g.SetBufferedDraw(true);
    g.Draw(buffered, {3, 5, 36, 27}, PS_DOT, 1);
    QCOMPARE(buffered.Image(), direct.Image());
  }

  void paintsNothing_data() {
    QTest::addColumn<bool>("active");
    QTest::addColumn<int>("steps");
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("orientation");
    QTest::newRow("inactive") << false << 255 << 32 << int(fgdHorizontal);
    QTest::newRow("Steps 1") << true << 1 << 32 << int(fgdVertical);
    QTest::newRow("256 colours") << true << 255 << 8 << int(fgdHorizontal);
    QTest::newRow("256 colours, convergent") << true << 255 << 8 << int(fgdHorzConvergent);
    QTest::newRow("15 bits") << true << 255 << 15 << int(fgdRectangle);
  }
  void paintsNothing() {
    QFETCH(bool, active);
    QFETCH(int, steps);
    QFETCH(int, depth);
    QFETCH(int, orientation);
    TGradient g;
    BlackToWhite(g, TglGradientDir(orientation), steps);
    g.SetActive(active);
    TCanvas c(10, 10, depth);
    c.FillRect({0, 0, 10, 10}, CreateSolidBrush(Marker));
    const QImage before = c.Image();
    g.Draw(c, {0, 0, 10, 10}, PS_SOLID, 1);
    QCOMPARE(c.Image(), before);
    // 16 bits is enough.
    if (depth == 8 && active) {
      TCanvas sixteen(10, 10, 16);
      g.Draw(sixteen, {0, 0, 10, 10}, PS_SOLID, 1);
      QCOMPARE(sixteen.GetPixel(0, 0), Black);
    }
  }

  void emptyRectanglesPaintNothing() {
    for (int o = fgdHorizontal; o <= fgdVertConvergent; ++o) {
      TGradient g;
      BlackToWhite(g, TglGradientDir(o));
      TCanvas c = Surface(10, 10);
      const QImage before = c.Image();
      g.Draw(c, {5, 5, 5, 9}, PS_SOLID, 1);
      g.Draw(c, {8, 8, 2, 2}, PS_SOLID, 1);
      QCOMPARE(c.Image(), before);
    }
  }

 private:
  static TColor clRed() { return RGBColor(255, 0, 0); }
};

QTEST_MAIN(GradientTest)
#include "GradientTest.moc"

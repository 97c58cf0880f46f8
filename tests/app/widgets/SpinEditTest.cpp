// The spin field driven as a user drives it: keys, typed characters, mouse
// presses on the arrows (with a hand-driven repeat clock), focus changes.
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QLocale>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>
#include <climits>

#include "FakeRepeatTimer.h"
#include "Spin.h"
#include "WidgetsPlatform.h"
#include "core/TestSeams.h"

using namespace vizuvod;

class BeepCounter {
 public:
  int count = 0;

 private:
  TScopedHook<TBeepHook> hook_{BeepHook(), [this] { ++count; }};
};

class SpinEditTest : public QObject {
  Q_OBJECT

 private:
  // A shown, active window holding one field (and a second control to take
  // the focus away).
  struct Form {
    QWidget window;
    TSpinEdit* edit;
    QLineEdit* other;
    Form() {
      window.resize(200, 100);
      // The wizard's font: 8 point at 96 pixels per inch.
      QFont font = window.font();
      font.setPixelSize(11);
      window.setFont(font);
      edit = new TSpinEdit(&window);
      edit->setGeometry(10, 10, 51, 22);
      other = new QLineEdit(&window);
      other->setGeometry(10, 50, 80, 22);
      window.show();
      QApplication::setActiveWindow(&window);
      QVERIFY(QTest::qWaitForWindowActive(&window));
    }
  };

  static QPoint Middle(const QWidget* w) { return w->rect().center(); }

 private slots:
  void parsing_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("value");
    QTest::newRow("zero") << "0" << true << 0;
    QTest::newRow("leading blanks") << "   42" << true << 42;
    QTest::newRow("plus") << "+7" << true << 7;
    QTest::newRow("minus") << "-15" << true << -15;
    QTest::newRow("leading zeros") << "+0005" << true << 5;
    QTest::newRow("max") << "2147483647" << true << INT_MAX;
    QTest::newRow("min") << "-2147483648" << true << INT_MIN;
    QTest::newRow("above max") << "2147483648" << false << 0;
    QTest::newRow("below min") << "-2147483649" << false << 0;
    QTest::newRow("huge") << "99999999999999999999" << false << 0;
    QTest::newRow("many zeros") << "000000000000000000001" << true << 1;
    QTest::newRow("dollar") << "$10" << true << 16;
    QTest::newRow("x") << "x1f" << true << 31;
    QTest::newRow("X") << "XfF" << true << 255;
    QTest::newRow("0x") << "0x7FFFFFFF" << true << INT_MAX;
    QTest::newRow("0X") << "0X80000000" << true << INT_MIN;
    QTest::newRow("eight F") << "$FFFFFFFF" << true << -1;
    QTest::newRow("hex too long") << "$100000000" << false << 0;
    QTest::newRow("hex zeros") << "$000000000A" << true << 10;
    QTest::newRow("signed hex") << "-$10" << false << 0;
    QTest::newRow("plus hex") << "+0x10" << false << 0;
    QTest::newRow("hex no digits") << "0x" << false << 0;
    QTest::newRow("dollar alone") << "$" << false << 0;
    QTest::newRow("bad hex digit") << "$1G" << false << 0;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("blanks") << "   " << false << 0;
    QTest::newRow("sign alone") << "-" << false << 0;
    QTest::newRow("two signs") << "--1" << false << 0;
    QTest::newRow("trailing blank") << "12 " << false << 0;
    QTest::newRow("decimal separator") << "1.5" << false << 0;
    QTest::newRow("tab first") << "\t1" << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("arabic-indic digit") << QString(QChar(0x0661)) << false << 0;
  }
  void parsing() {
    QFETCH(QString, text);
    QFETCH(bool, ok);
    QFETCH(int, value);
    std::int32_t got = 12345;
    QCOMPARE(TryStrToInt32(text, got), ok);
    if (ok) QCOMPARE(got, value);

    // A text that does not convert reads as MinValue, unclamped otherwise.
    TSpinEdit edit;
    edit.SetMinValue(-7);
    edit.SetMaxValue(3);
    edit.setText(text);
    QCOMPARE(edit.Value(), ok ? value : -7);
  }

  void rangeRule_data() {
    QTest::addColumn<int>("minValue");
    QTest::addColumn<int>("maxValue");
    QTest::addColumn<int>("assigned");
    QTest::addColumn<QString>("shown");
    QTest::newRow("no range") << 0 << 0 << -123 << "-123";
    QTest::newRow("equal bounds pass anything") << 5 << 5 << 99 << "99";
    QTest::newRow("above") << 1 << 10 << 50 << "10";
    QTest::newRow("below") << 1 << 10 << -3 << "1";
    QTest::newRow("inside") << 1 << 10 << 7 << "7";
    QTest::newRow("reversed, between") << 10 << 5 << 7 << "10";
    QTest::newRow("reversed, above min") << 10 << 5 << 12 << "5";
    QTest::newRow("reversed, at min") << 10 << 5 << 10 << "5";
    QTest::newRow("reversed, below max") << 10 << 5 << 2 << "10";
  }
  void rangeRule() {
    QFETCH(int, minValue);
    QFETCH(int, maxValue);
    QFETCH(int, assigned);
    QFETCH(QString, shown);
    TSpinEdit edit;
    edit.SetMinValue(minValue);
    edit.SetMaxValue(maxValue);
    edit.SetValue(assigned);
    QCOMPARE(edit.text(), shown);
  }

  void newFieldShowsZero() {
    TSpinEdit edit;
    QCOMPARE(edit.text(), QString("0"));
    QCOMPARE(edit.Value(), 0);
    QCOMPARE(edit.Increment(), 1);
    QVERIFY(edit.EditorEnabled());
  }

  void steppingWrapsAndStartsFromMinValue() {
    TSpinEdit edit;
    edit.SetValue(INT_MAX);
    edit.StepUp();
    QCOMPARE(edit.text(), QString("-2147483648"));
    edit.StepDown();
    QCOMPARE(edit.text(), QString("2147483647"));

    edit.SetIncrement(-5);
    edit.SetValue(0);
    edit.StepUp();
    QCOMPARE(edit.Value(), -5);

    // Unconvertible text steps from MinValue, and the result is clamped.
    edit.SetIncrement(3);
    edit.SetMinValue(1);
    edit.SetMaxValue(5);
    edit.setText("junk");
    edit.StepUp();
    QCOMPARE(edit.text(), QString("4"));
    edit.StepUp();
    QCOMPARE(edit.text(), QString("5"));
  }

  void changeFiresOnlyOnRealChange() {
    TSpinEdit edit;
    QSignalSpy spy(&edit, &TSpinEdit::Change);
    edit.SetValue(0);
    QCOMPARE(spy.count(), 0);
    edit.StepUp();
    QCOMPARE(spy.count(), 1);
    edit.setText("01");
    QCOMPARE(spy.count(), 2);
    edit.SetValue(1);  // "01" becomes "1": a real change
    QCOMPARE(spy.count(), 3);
    edit.SetValue(1);
    QCOMPARE(spy.count(), 3);
  }

  void assigningAnEqualValueLeavesTheEditAlone() {
    TSpinEdit edit;
    edit.setText("1");
    edit.end(false);
    edit.insert("2");
    edit.setSelection(0, 1);
    edit.SetValue(12);
    QCOMPARE(edit.text(), QString("12"));
    QCOMPARE(edit.selectedText(), QString("1"));
    QCOMPARE(edit.cursorPosition(), 1);
    QVERIFY(edit.isUndoAvailable());
  }

  void upAndDownKeysStep() {
    Form f;
    TSpinEdit* e = f.edit;
    e->setFocus();
    QTest::keyClick(e, Qt::Key_Up);
    QCOMPARE(e->text(), QString("1"));
    QTest::keyClick(e, Qt::Key_Down);
    QTest::keyClick(e, Qt::Key_Down);
    QCOMPARE(e->text(), QString("-1"));
    // Keyboard auto-repeat: every repeated key-down steps again.
    for (int i = 0; i < 3; ++i) QTest::simulateEvent(e, true, Qt::Key_Up, {}, {}, i > 0);
    QCOMPARE(e->text(), QString("2"));
    QTest::keyClick(e, Qt::Key_PageUp);
    QTest::keyClick(e, Qt::Key_PageDown);
    QCOMPARE(e->text(), QString("2"));
  }

  void typedCharacters_data() {
    QTest::addColumn<bool>("editorEnabled");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    const QString sep = QLocale().decimalPoint();
    QTest::newRow("digit") << true << int(Qt::Key_7) << "7" << true;
    QTest::newRow("plus") << true << int(Qt::Key_Plus) << "+" << true;
    QTest::newRow("minus") << true << int(Qt::Key_Minus) << "-" << true;
    QTest::newRow("decimal separator") << true << 0 << sep << true;
    QTest::newRow("letter") << true << int(Qt::Key_A) << "a" << false;
    QTest::newRow("space") << true << int(Qt::Key_Space) << " " << false;
    QTest::newRow("enter") << true << int(Qt::Key_Return) << "\r" << false;
    QTest::newRow("backspace") << true << int(Qt::Key_Backspace) << "\b" << true;
    QTest::newRow("escape") << true << int(Qt::Key_Escape) << "\x1b" << true;
    QTest::newRow("cyrillic") << true << 0 << QString(QChar(0x0436)) << false;
    QTest::newRow("off: digit") << false << int(Qt::Key_7) << "7" << false;
    QTest::newRow("off: minus") << false << int(Qt::Key_Minus) << "-" << false;
    QTest::newRow("off: backspace") << false << int(Qt::Key_Backspace) << "\b" << false;
    QTest::newRow("off: escape") << false << int(Qt::Key_Escape) << "\x1b" << true;
  }
  void typedCharacters() {
    QFETCH(bool, editorEnabled);
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    BeepCounter beeps;
    Form f;
    TSpinEdit* e = f.edit;
    e->SetEditorEnabled(editorEnabled);
    e->setText("12");
    e->setFocus();
    e->setCursorPosition(2);
    QCOMPARE(e->AcceptsChar(text[0]), accepted);
    QTest::sendKeyEvent(QTest::KeyAction::Press, e, Qt::Key(key), text, {});
    QCOMPARE(beeps.count, accepted ? 0 : 1);
    if (!accepted) QCOMPARE(e->text(), QString("12"));
    if (accepted && text.size() == 1 && text[0] >= QChar(32)) QCOMPARE(e->text(), "12" + text);
    if (accepted && text == "\b") QCOMPARE(e->text(), QString("1"));
  }

  void typedDecimalNumberReadsMinValue() {
    Form f;
    f.edit->setFocus();
    f.edit->selectAll();
    QTest::keyClicks(f.edit, "1");
    QTest::sendKeyEvent(QTest::KeyAction::Click, f.edit, Qt::Key_Period, QLocale().decimalPoint(),
                        {});
    QTest::keyClicks(f.edit, "5");
    QCOMPARE(f.edit->text(), "1" + QLocale().decimalPoint() + "5");
    QCOMPARE(f.edit->Value(), 0);
  }

  void deleteKeyIsNotFiltered() {
    BeepCounter beeps;
    Form f;
    f.edit->setText("123");
    f.edit->setFocus();
    f.edit->setCursorPosition(0);
    // X11 gives Delete the DEL character; it is a key, not typing.
    QTest::sendKeyEvent(QTest::KeyAction::Click, f.edit, Qt::Key_Delete, QString(QChar(0x7F)), {});
    QCOMPARE(beeps.count, 0);
    QCOMPARE(f.edit->text(), QString("23"));
  }

  void pasteAndCutOnlyWhenEditable_data() {
    QTest::addColumn<bool>("editorEnabled");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("allowed");
    QTest::newRow("editable") << true << false << true;
    QTest::newRow("editor disabled") << false << false << false;
    QTest::newRow("read only") << true << true << false;
  }
  void pasteAndCutOnlyWhenEditable() {
    QFETCH(bool, editorEnabled);
    QFETCH(bool, readOnly);
    QFETCH(bool, allowed);
    BeepCounter beeps;
    Form f;
    TSpinEdit* e = f.edit;
    e->SetEditorEnabled(editorEnabled);
    e->SetReadOnly(readOnly);
    e->setFocus();
    QApplication::clipboard()->setText("$10");
    e->selectAll();
    QTest::keyClick(e, Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(e->text(), allowed ? QString("$10") : QString("0"));
    if (allowed) QCOMPARE(e->Value(), 16);  // pasted text is not filtered

    e->setText("77");
    e->selectAll();
    QTest::keyClick(e, Qt::Key_X, Qt::ControlModifier);
    QCOMPARE(e->text(), allowed ? QString() : QString("77"));
    QTest::keyClick(e, Qt::Key_Insert, Qt::ShiftModifier);  // the other paste key
    QCOMPARE(e->text(), allowed ? QString("77") : QString("77"));
    QCOMPARE(beeps.count, 0);  // refused quietly

    // The context menu offers paste and cut only when they may change the text.
    QApplication::clipboard()->setText("5");
    e->setText("77");
    e->selectAll();
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, QPoint(5, 5),
                                e->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(e, &menuEvent);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QStringList enabled;
    for (QAction* a : menu->actions())
      if (a->isEnabled()) enabled << a->objectName();
    menu->close();
    QCOMPARE(enabled.contains("edit-paste"), allowed);
    QCOMPARE(enabled.contains("edit-cut"), allowed);
    QVERIFY(enabled.contains("edit-copy"));
  }

  void editorDisabledStillSteps() {
    BeepCounter beeps;
    FakeClock clock;
    Form f;
    f.edit->SetEditorEnabled(false);
    f.edit->setFocus();
    QTest::keyClick(f.edit, Qt::Key_Up);
    QTest::mouseClick(f.edit->Button()->UpButton(), Qt::LeftButton, {}, QPoint(7, 4));
    QCOMPARE(f.edit->text(), QString("2"));
    QCOMPARE(beeps.count, 0);
  }

  void readOnlyBeepsAndKeepsText() {
    BeepCounter beeps;
    FakeClock clock;
    Form f;
    f.edit->SetReadOnly(true);
    f.edit->setFocus();
    QTest::keyClick(f.edit, Qt::Key_Up);
    QTest::keyClick(f.edit, Qt::Key_Down);
    QTest::mouseClick(f.edit->Button()->DownButton(), Qt::LeftButton, {}, QPoint(7, 5));
    QCOMPARE(f.edit->text(), QString("0"));
    QCOMPARE(beeps.count, 3);
  }

  void leavingClampsOnlyWhenTheRangeChangesTheNumber_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("afterLeaving");
    // clang-format off
    QTest::newRow("above") << "50" << "10";
    QTest::newRow("below") << "-4" << "1";
    QTest::newRow("leading zeros and plus stay") << "+05" << "+05";
    QTest::newRow("unconvertible stays") << "1-" << "1-";
    QTest::newRow("empty stays") << "" << "";
    // clang-format on
  }
  void leavingClampsOnlyWhenTheRangeChangesTheNumber() {
    QFETCH(QString, typed);
    QFETCH(QString, afterLeaving);
    Form f;
    f.edit->SetMinValue(1);
    f.edit->SetMaxValue(10);
    f.edit->setFocus();
    f.edit->selectAll();
    QTest::keyClick(f.edit, Qt::Key_Backspace);
    QTest::keyClicks(f.edit, typed);
    QCOMPARE(f.edit->text(), typed);
    if (typed == "50") QCOMPARE(f.edit->Value(), 50);  // not clamped while typing
    f.other->setFocus(Qt::TabFocusReason);
    QVERIFY(!f.edit->hasFocus());
    QCOMPARE(f.edit->text(), afterLeaving);
  }

  void emptyTextSurvivesLeavingThenStepsFromMinValue() {
    Form f;
    f.edit->setFocus();
    f.edit->selectAll();
    QTest::keyClick(f.edit, Qt::Key_Backspace);
    f.other->setFocus(Qt::TabFocusReason);
    QCOMPARE(f.edit->text(), QString());
    QCOMPARE(f.edit->Value(), 0);
    f.edit->StepUp();
    QCOMPARE(f.edit->text(), QString("1"));
  }

  void focusSelectsAllExceptAClickIntoTheText() {
    FakeClock clock;
    Form f;
    f.edit->setText("123");
    f.other->setFocus();
    f.edit->setFocus(Qt::TabFocusReason);
    QCOMPARE(f.edit->selectedText(), QString("123"));

    f.other->setFocus();
    QTest::mouseClick(f.edit, Qt::LeftButton, {}, QPoint(8, 11));
    QVERIFY(f.edit->hasFocus());
    QCOMPARE(f.edit->selectedText(), QString());

    // Pressing an arrow moves the focus into the field and selects the text.
    f.other->setFocus();
    QTest::mousePress(f.edit->Button()->UpButton(), Qt::LeftButton, {}, QPoint(7, 4));
    QVERIFY(f.edit->hasFocus());
    QCOMPARE(f.edit->selectedText(), QString("123"));
    QTest::mouseRelease(f.edit->Button()->UpButton(), Qt::LeftButton, {}, QPoint(7, 4));
    QCOMPARE(f.edit->text(), QString("124"));

    f.edit->SetAutoSelect(false);
    f.other->setFocus();
    f.edit->setFocus(Qt::TabFocusReason);
    QCOMPARE(f.edit->selectedText(), QString());
  }

  void holdingAnArrowRepeats() {
    FakeClock clock;
    Form f;
    TTimerSpeedButton* up = f.edit->Button()->UpButton();
    QTest::mousePress(up, Qt::LeftButton, {}, QPoint(7, 4));
    clock.Advance(1050);
    QCOMPARE(f.edit->text(), QString("7"));  // at 400, 500, ..., 1000 ms
    QTest::mouseRelease(up, Qt::LeftButton, {}, QPoint(7, 4));
    QCOMPARE(f.edit->text(), QString("8"));  // and once more on release
    QVERIFY(!up->RepeatTimer()->IsActive());
    clock.Advance(1000);
    QCOMPARE(f.edit->text(), QString("8"));
  }

  // The real repeat timer: never a tick before it is due, and a hold of
  // 1050 ms (measured: any hold from 1000 to 1099 ms) gives 7 steps and one
  // more on release. A busy machine only delays ticks, so late ones may catch
  // up until 1095 ms; a hold that ran past 1100 ms is tried again.
  void holdingAnArrowRepeatsOnTheRealTimer() {
    Form f;
    TTimerSpeedButton* up = f.edit->Button()->UpButton();
    for (int attempt = 0; attempt < 3; ++attempt) {
      f.edit->setText("0");
      QElapsedTimer clock;
      QList<qint64> ticks;
      auto tick = connect(f.edit, &TSpinEdit::Change, f.edit, [&] { ticks << clock.elapsed(); });
      clock.start();
      QTest::mousePress(up, Qt::LeftButton, {}, QPoint(7, 4));
      while (clock.elapsed() < 1050) QCoreApplication::processEvents();
      while (ticks.size() < 7 && clock.elapsed() < 1095) QCoreApplication::processEvents();
      const int held = f.edit->text().toInt();
      const qint64 released = clock.elapsed();
      QTest::mouseRelease(up, Qt::LeftButton, {}, QPoint(7, 4));
      disconnect(tick);
      for (int i = 0; i < held; ++i)
        QVERIFY2(ticks[i] >= 400 + 100 * i - 2,
                 qPrintable(QString("step %1 came at %2 ms").arg(i + 1).arg(ticks[i])));
      if (released >= 1100) continue;
      QCOMPARE(held, 7);
      QCOMPARE(f.edit->text(), QString("8"));
      return;
    }
    QSKIP("the machine was too busy to hold the arrow for less than 1100 ms");
  }

  void shortClickStepsOnceOnRelease() {
    FakeClock clock;
    Form f;
    TTimerSpeedButton* down = f.edit->Button()->DownButton();
    QTest::mousePress(down, Qt::LeftButton, {}, QPoint(7, 5));
    clock.Advance(399);
    QCOMPARE(f.edit->text(), QString("0"));
    QTest::mouseRelease(down, Qt::LeftButton, {}, QPoint(7, 5));
    QCOMPARE(f.edit->text(), QString("-1"));
  }

  void movingOffTheArrowPauses() {
    FakeClock clock;
    Form f;
    TTimerSpeedButton* up = f.edit->Button()->UpButton();
    QTest::mousePress(up, Qt::LeftButton, {}, QPoint(7, 4));
    clock.Advance(450);
    QCOMPARE(f.edit->text(), QString("1"));
    QTest::mouseMove(up, QPoint(40, 40));
    QVERIFY(!up->IsDown());
    clock.Advance(500);
    QCOMPARE(f.edit->text(), QString("1"));
    QTest::mouseMove(up, QPoint(7, 4));
    clock.Advance(100);  // the tick at 1000 ms
    QCOMPARE(f.edit->text(), QString("2"));
    QTest::mouseMove(up, QPoint(40, 40));
    QTest::mouseRelease(up, Qt::LeftButton, {}, QPoint(40, 40));
    QCOMPARE(f.edit->text(), QString("2"));
  }

  void aModalWindowEndsTheRepeat() {
    FakeClock clock;
    Form f;
    TTimerSpeedButton* up = f.edit->Button()->UpButton();
    QDialog* box = nullptr;
    connect(f.edit, &TSpinEdit::Change, f.edit, [&] {
      if (box) return;
      box = new QDialog(&f.window);
      box->setModal(true);
      box->show();
    });
    QTest::mousePress(up, Qt::LeftButton, {}, QPoint(7, 4));
    clock.Advance(400);
    QCOMPARE(f.edit->text(), QString("1"));
    clock.Advance(500);
    QCOMPARE(f.edit->text(), QString("1"));
    QVERIFY(!up->RepeatTimer()->IsActive());
    delete box;
  }

  void otherButtonsRepeatNothing() {
    FakeClock clock;
    Form f;
    TTimerSpeedButton* up = f.edit->Button()->UpButton();
    QTest::mousePress(up, Qt::RightButton, {}, QPoint(7, 4));
    clock.Advance(800);
    QTest::mouseRelease(up, Qt::RightButton, {}, QPoint(7, 4));
    QCOMPARE(f.edit->text(), QString("0"));
  }

  void errorDuringRepeatStopsTheTimer() {
    FakeClock clock;
    TSpinButton pair;
    pair.show();
    int clicks = 0;
    pair.OnUpClick = [&](TSpinButton*) {
      if (++clicks == 2) throw std::runtime_error("step failed");
    };
    TTimerSpeedButton* up = pair.UpButton();
    QTest::mousePress(up, Qt::LeftButton, {}, QPoint(5, 5));
    clock.Advance(400);
    QCOMPARE(clicks, 1);
    bool thrown = false;
    try {
      clock.Advance(100);
    } catch (const std::runtime_error&) {
      thrown = true;
    }
    QVERIFY(thrown);
    QVERIFY(!up->RepeatTimer()->IsActive());
    clock.Advance(500);
    QCOMPARE(clicks, 2);
  }

  void layoutAt51By22() {
    Form f;
    TSpinEdit* e = f.edit;
    if (QFontMetrics(e->font()).height() != 13) QSKIP("needs a font 13 pixels high at 11 pixels");
    QCOMPARE(e->MinHeight(), 22);
    QCOMPARE(e->size(), QSize(51, 22));
    QCOMPARE(e->ButtonClientRect(), QRect(31, 0, 15, 17));
    QCOMPARE(e->Button()->UpButton()->geometry(), QRect(0, 0, 15, 8));
    QCOMPARE(e->Button()->DownButton()->geometry(), QRect(0, 7, 15, 10));
    QCOMPARE(e->EditRect(), QRect(0, 0, 47 - 15 - 2, 18 + 1));

    e->SetCtl3D(false);
    QCOMPARE(e->ButtonClientRect(), QRect(51 - 15, 1, 15, 19));
  }

  void minimumHeightAndGrowingBack() {
    Form f;
    TSpinEdit* e = f.edit;
    QFont font = e->font();
    font.setPixelSize(11);
    e->setFont(font);
    const int hf = QFontMetrics(font).height();
    QVERIFY(e->MinHeight() >= hf + 4 + 2);
    QVERIFY(e->MinHeight() <= hf + hf / 4 + 4 + 2);
    e->resize(51, 10);
    QCOMPARE(e->height(), e->MinHeight());
    // A bigger font lifts the minimum and the field grows with it.
    font.setPixelSize(30);
    e->setFont(font);
    QVERIFY(e->height() >= QFontMetrics(font).height() + 6);
  }

  void arrowPairOnItsOwn() {
    TSpinButton pair;
    QCOMPARE(pair.size(), QSize(20, 25));
    QCOMPARE(pair.UpButton()->geometry(), QRect(0, 0, 20, 12));
    QCOMPARE(pair.DownButton()->geometry(), QRect(0, 11, 20, 14));
    pair.show();
    pair.resize(4, 9);
    QCOMPARE(pair.width(), 15);
    QCOMPARE(pair.DownButton()->geometry(), QRect(0, 3, 15, 6));
    QVERIFY(pair.UpButton()->HasState(TTimeBtnState::tbAutoRepeat));
    QCOMPARE(pair.FocusedButton(), pair.UpButton());
  }

  void builtinGlyphs() {
    const QImage up = BuiltinSpinUpGlyph();
    const QImage down = BuiltinSpinDownGlyph();
    QCOMPARE(up.size(), QSize(9, 6));
    QCOMPARE(down.size(), QSize(9, 6));
    const QRgb olive = qRgb(128, 128, 0);
    const int runs[6] = {0, 1, 3, 5, 7, 0};
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 9; ++x) {
        const bool black = std::abs(x - 4) * 2 < runs[y];
        QCOMPARE(up.pixel(x, y) | 0xFF000000u, black ? qRgb(0, 0, 0) : olive);
        QCOMPARE(down.pixel(x, 5 - y), up.pixel(x, y));
      }
    }
  }

  void glyphAssignment_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("numGlyphs");
    QTest::newRow("one") << QSize(9, 9) << 1;
    QTest::newRow("two") << QSize(18, 9) << 2;
    QTest::newRow("four") << QSize(36, 9) << 4;
    QTest::newRow("five is one") << QSize(45, 9) << 1;
    QTest::newRow("not a multiple keeps") << QSize(20, 9) << 3;
  }
  void glyphAssignment() {
    QFETCH(QSize, size);
    QFETCH(int, numGlyphs);
    TSpinButton pair;
    pair.SetUpNumGlyphs(3);
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::red);
    pair.SetUpGlyph(img);
    QCOMPARE(pair.UpNumGlyphs(), numGlyphs);
    pair.SetUpGlyph(QImage());  // back to the built-in arrow, one image
    QCOMPARE(pair.UpGlyph().size(), QSize(9, 6));
    QCOMPARE(pair.UpNumGlyphs(), 1);
  }

  void arrowPairWithTabStop() {
    QWidget window;
    auto* pair = new TSpinButton(&window);
    pair->SetTabStop(true);
    int ups = 0, downs = 0;
    pair->OnUpClick = [&](TSpinButton*) { ++ups; };
    pair->OnDownClick = [&](TSpinButton*) { ++downs; };
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    pair->setFocus();
    QVERIFY(pair->UpButton()->HasState(TTimeBtnState::tbFocusMark));
    QTest::keyClick(pair, Qt::Key_Down);
    QCOMPARE(downs, 1);
    QVERIFY(pair->DownButton()->HasState(TTimeBtnState::tbFocusMark));
    QVERIFY(!pair->UpButton()->HasState(TTimeBtnState::tbFocusMark));
    QTest::keyClick(pair, Qt::Key_Space);
    QCOMPARE(downs, 2);
    QTest::keyClick(pair, Qt::Key_Up);
    QCOMPARE(ups, 1);
    pair->clearFocus();
    QVERIFY(!pair->UpButton()->HasState(TTimeBtnState::tbFocusMark));
  }

  void disabledFieldTakesNoInput() {
    FakeClock clock;
    Form f;
    f.edit->setEnabled(false);
    QTest::keyClick(f.edit, Qt::Key_Up);
    QTest::keyClicks(f.edit, "5");
    QTest::mouseClick(f.edit->Button()->UpButton(), Qt::LeftButton, {}, QPoint(7, 4));
    QCOMPARE(f.edit->text(), QString("0"));
  }
};

QTEST_MAIN(SpinEditTest)
#include "SpinEditTest.moc"

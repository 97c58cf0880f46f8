// The folder chooser's logic against a scripted picker (no screen needed),
// its pure steps (flags, placement, path shortening), and the Qt picker
// dialog itself on a scratch folder tree.
#include <QApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <optional>

#include "BrowseDlg.h"
#include "FolderPicker.h"
#include "WidgetsPlatform.h"
#include "core/TestSeams.h"

using namespace vizuvod;

namespace {
// The open picker as the component sees it: records every request.
class FakeDialog : public TBrowseDialogWindow {
 public:
  void SetSelection(const QString& path) override { log << "select " + path; }
  void SetStatusText(const QString& text) override { log << "status " + text; }
  void EnableOK(bool enable) override { log << (enable ? "ok on" : "ok off"); }
  void SetTitle(const QString& title) override { log << "title " + title; }
  QSize OuterSize() const override { return size; }
  void MoveTo(QPoint p) override {
    log << QString("move %1,%2").arg(p.x()).arg(p.y());
    movedTo = p;
  }
  QStringList log;
  QSize size{300, 400};
  QPoint movedTo;
};

// A picker whose user follows a script: what to select, whether to confirm.
class ScriptedBrowser : public TFolderBrowser {
 public:
  std::optional<TBrowseItem> BrowseForFolder(const TBrowseRequest& r) override {
    request = r;
    dialog = FakeDialog{};
    Notify(TBrowseMessage::bmInitialized);
    if (during) during(*this);
    for (const QString& path : selections) {
      const TBrowseItem item{path, QFileInfo(path).fileName()};
      Notify(TBrowseMessage::bmSelChanged, &item);
    }
    if (!confirm) return std::nullopt;
    return TBrowseItem{chosen, QFileInfo(chosen).fileName()};
  }
  int Notify(TBrowseMessage m, const TBrowseItem* item = nullptr, const QString& text = {}) {
    return request.Callback(&dialog, m, item, text, request.Context);
  }

  TBrowseRequest request;
  FakeDialog dialog;
  QStringList selections;
  bool confirm = true;
  QString chosen;
  std::function<void(ScriptedBrowser&)> during;
};

// A 1024 x 768 screen with a 30-pixel panel, for each test. Outside the test
// class: clang cannot emplace a nested class whose members have initialisers.
struct TFixedScreen {
  TScopedHook<TRectHook> screen{ScreenHook(), [] { return TRect{0, 0, 1024, 768}; }};
  TScopedHook<TRectHook> workArea{WorkAreaHook(), [] { return TRect{0, 0, 1024, 738}; }};
};
}  // namespace

class BrowseDlgTest : public QObject {
  Q_OBJECT

  std::optional<TFixedScreen> fixedScreen;

 private slots:
  void init() { fixedScreen.emplace(); }
  void cleanup() { fixedScreen.reset(); }

  void defaults() {
    TBrowseDlg dlg;
    QCOMPARE(dlg.Options().Bits(), std::uint16_t(272));
    QCOMPARE(dlg.RelatePos(), brActiveWindow);
    QCOMPARE(dlg.Position(), bpCenter);
    QCOMPARE(dlg.StartFolder(), bfoDesktopExpanded);
    QVERIFY(dlg.SelectedFolder().isEmpty() && dlg.Caption().isEmpty());
    QVERIFY(dlg.CaptionTitle().isEmpty() && dlg.StatusText().isEmpty());
    QVERIFY(!dlg.DialogHandle());
    // Enumeration order and the platform codes that go with it.
    QCOMPARE(int(bpBottomRight), 9);
    QCOMPARE(int(doEnableOK), 9);
    QCOMPARE(int(bfoHistory), SystemFoldersCount - 1);
    QCOMPARE(SystemFolderCode(bfoDesktopExpanded), std::uint16_t(0xFEFE));
    QCOMPARE(SystemFolderCode(bfoInternet), std::uint16_t(0x01));
    QCOMPARE(SystemFolderCode(bfoDesktopDirectory), std::uint16_t(0x10));
    QCOMPARE(SystemFolderCode(bfoAltStartup), std::uint16_t(0x1D));
    QCOMPARE(SystemFolderCode(bfoHistory), std::uint16_t(0x22));
    QVERIFY(!SpecialFolderPath(bfoDesktopExpanded));
    QVERIFY(!SpecialFolderPath(bfoPrinters));
    QCOMPARE(SpecialFolderPath(bfoMyComputer).value_or(""), QString("/"));
  }

  void flags_data() {
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("flags");
    QTest::newRow("defaults") << 272 << 0x0001;
    QTest::newRow("none") << 0 << 0;
    QTest::newRow("computer") << (1 << doBrowseForComputer) << 0x1000;
    QTest::newRow("printer") << (1 << doBrowseForPrinter) << 0x2000;
    QTest::newRow("domain") << (1 << doDontGoBelowDomain) << 0x0002;
    QTest::newRow("ancestors") << (1 << doReturnFileSysAncestors) << 0x0008;
    QTest::newRow("status") << (1 << doStatusText) << 0x0004;
    QTest::newRow("files") << (1 << doShowFiles) << 0x4000;
    QTest::newRow("edit adds validate") << (1 << doAllowEdit) << 0x0030;
    QTest::newRow("show path and enable OK add nothing") << (3 << doShowPath) << 0;
    QTest::newRow("all") << 0x3FF << 0x703F;
  }
  void flags() {
    QFETCH(int, bits);
    QFETCH(int, flags);
    QCOMPARE(BrowseFlags(TBrowseDlgOptions::FromBits(std::uint16_t(bits))), std::uint32_t(flags));
  }

  void shortening_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("shortened");
    const QString name50(50, QChar('n'));
    QTest::newRow("worked example")
        << "C:\\Documents and Settings\\User\\My Documents\\Photos\\Holiday\\img.jpg" << QChar('\\')
        << "C:\\...\\Photos\\Holiday\\img.jpg";
    QTest::newRow("short enough") << "C:\\Photos\\img.jpg" << QChar('\\') << "C:\\Photos\\img.jpg";
    QTest::newRow("exactly 40") << "C:\\" + QString(37, 'a') << QChar('\\')
                                << "C:\\" + QString(37, 'a');
    QTest::newRow("long name") << "C:\\A\\B\\" + name50 << QChar('\\') << name50;
    QTest::newRow("long name under root") << "\\A\\" + name50 << QChar('\\') << name50;
    QTest::newRow("slashes") << "/home/user/My Documents/Photos/Holiday/2024/img.jpg" << QChar('/')
                             << "/.../Photos/Holiday/2024/img.jpg";
    QTest::newRow("dot folders") << "/home/user/.local/share/photos/albums/summer" << QChar('/')
                                 << "/.../.local/share/photos/albums/summer";
    QTest::newRow("colon is a name character here")
        << "/srv/photos/2024-06-01 12:30 garden party/a.jpg" << QChar('/')
        << "/.../2024-06-01 12:30 garden party/a.jpg";
  }
  void shortening() {
    QFETCH(QString, path);
    QFETCH(QChar, separator);
    QFETCH(QString, shortened);
    QCOMPARE(MinimizeName(path, 40, separator), shortened);
  }

  void shorteningPasses() {
    // Each pass, seen through ever larger limits.
    const QString p = "C:\\Documents and Settings\\User\\My Documents\\Photos\\Holiday\\img.jpg";
    QCOMPARE(p.size(), 66);
    QCOMPARE(MinimizeName(p, 47, u'\\'),
             QString("C:\\...\\User\\My Documents\\Photos\\Holiday\\img.jpg"));
    QCOMPARE(MinimizeName(p, 42, u'\\'),
             QString("C:\\...\\My Documents\\Photos\\Holiday\\img.jpg"));
    const QString name50(50, QChar('n'));
    const QString q = "C:\\A\\B\\" + name50;
    // The first pass lengthens it (57 to 59), so a limit of 56 takes three.
    QCOMPARE(MinimizeName(q, 57, u'\\'), q);
    QCOMPARE(MinimizeName(q, 56, u'\\'), "...\\" + name50);
    QCOMPARE(MinimizeName(q, 53, u'\\'), name50);
  }

  void placement_data() {
    QTest::addColumn<int>("position");
    QTest::addColumn<QPoint>("expected");
    // Reference 100,50 - 700,650; window 300 x 201.
    QTest::newRow("custom") << int(bpCustom) << QPoint(100, 50);
    QTest::newRow("top left") << int(bpTopLeft) << QPoint(100, 50);
    QTest::newRow("top center") << int(bpTopCenter) << QPoint(250, 50);
    QTest::newRow("top right") << int(bpTopRight) << QPoint(400, 50);
    QTest::newRow("center left") << int(bpCenterLeft) << QPoint(100, 249);
    QTest::newRow("center") << int(bpCenter) << QPoint(250, 249);
    QTest::newRow("center right") << int(bpCenterRight) << QPoint(400, 249);
    QTest::newRow("bottom left") << int(bpBottomLeft) << QPoint(100, 449);
    QTest::newRow("bottom center") << int(bpBottomCenter) << QPoint(250, 449);
    QTest::newRow("bottom right") << int(bpBottomRight) << QPoint(400, 449);
  }
  void placement() {
    QFETCH(int, position);
    QFETCH(QPoint, expected);
    QCOMPARE(PlaceDialog(TDlgPosition(position), {100, 50, 700, 650}, {300, 201}, {1024, 768}),
             expected);
  }

  void placementKeepsTheWindowVisible() {
    const QSize screen(1024, 768);
    // Past the right and bottom screen edges: pulled back inside the reference.
    QCOMPARE(PlaceDialog(bpBottomRight, {800, 600, 1200, 900}, {300, 200}, screen),
             QPoint(900, 700));
    // Above and left of the screen: clamped to 0.
    QCOMPARE(PlaceDialog(bpCenter, {-500, -400, 100, 100}, {300, 200}, screen), QPoint(0, 0));
    // Centring truncates toward zero.
    QCOMPARE(PlaceDialog(bpCenter, {0, 0, 11, 11}, {2, 2}, screen), QPoint(4, 4));
    // A window larger than the screen ends at the reference's far edge, then 0.
    QCOMPARE(PlaceDialog(bpTopLeft, {0, 0, 1024, 768}, {1100, 800}, screen), QPoint(0, 0));
  }

  void browseWithDefaults() {
    ScriptedBrowser browser;
    QWidget owner;
    TBrowseDlg dlg(&owner);
    dlg.SetFolderBrowser(&browser);
    browser.chosen = "/photos/2024";
    QVERIFY(dlg.Browse());
    QCOMPARE(browser.request.Parent, &owner);
    QCOMPARE(browser.request.Flags, BIF_RETURNONLYFSDIRS);
    QVERIFY(!browser.request.Root);
    QCOMPARE(browser.request.Title, QString());
    QCOMPARE(browser.request.Context, &dlg);
    // Placed, no title, no status, no selection on the first run, OK disabled.
    QCOMPARE(browser.dialog.log, QStringList({"move 362,184", "ok off"}));
    QCOMPARE(dlg.SelectedFolder(), QString("/photos/2024"));
    QVERIFY(!dlg.DialogHandle());

    // The next run opens on the chosen folder; cancelling keeps it.
    browser.confirm = false;
    QVERIFY(!dlg.Browse());
    QCOMPARE(browser.dialog.log, QStringList({"move 362,184", "select /photos/2024", "ok off"}));
    QCOMPARE(dlg.SelectedFolder(), QString("/photos/2024"));
  }

  void longChosenPathIsKeptWhole() {
    // Paths here may run past the 260 characters of a fixed path buffer.
    ScriptedBrowser browser;
    TBrowseDlg dlg;
    dlg.SetFolderBrowser(&browser);
    browser.chosen = "/photos/" + QString(300, 'p');
    QVERIFY(dlg.Browse());
    QCOMPARE(dlg.SelectedFolder(), browser.chosen);
  }

  void setUpOrderAndFields() {
    ScriptedBrowser browser;
    TBrowseDlg dlg;
    dlg.SetFolderBrowser(&browser);
    dlg.SetCaption("Выберите папку");
    dlg.SetCaptionTitle("Папка с фото");
    dlg.SetStatusText("готово");
    dlg.SetSelectedFolder("/a");
    dlg.SetOptions({doEnableOK, doStatusText});
    dlg.SetStartFolder(bfoMyComputer);
    dlg.SetRelatePos(brScreen);
    dlg.SetPosition(bpBottomRight);
    QStringList atInit;
    dlg.OnInit = [&](QObject* sender) {
      QCOMPARE(sender, &dlg);
      QVERIFY(dlg.DialogHandle() == &browser.dialog);
      atInit = browser.dialog.log;
    };
    browser.chosen = "/b";
    QVERIFY(dlg.Browse());
    QCOMPARE(browser.request.Title, QString("Выберите папку"));
    QCOMPARE(browser.request.Root.value_or(""), QString("/"));
    QCOMPARE(browser.request.Flags, BIF_STATUSTEXT);
    QCOMPARE(browser.request.Parent, nullptr);  // no owner, no main window
    // Lower right corner on the screen's lower right corner.
    QCOMPARE(atInit, QStringList({"move 724,368", "title Папка с фото", "status готово",
                                  "select /a", "ok on"}));
  }

  void referenceRectangles_data() {
    QTest::addColumn<int>("relatePos");
    QTest::addColumn<QPoint>("expected");
    QTest::newRow("screen") << int(brScreen) << QPoint(362, 184);
    QTest::newRow("work area") << int(brScreenWorkArea) << QPoint(362, 169);
    QTest::newRow("no main form: screen") << int(brMainForm) << QPoint(362, 184);
    QTest::newRow("no active window: screen") << int(brActiveWindow) << QPoint(362, 184);
  }
  void referenceRectangles() {
    QFETCH(int, relatePos);
    QFETCH(QPoint, expected);
    ScriptedBrowser browser;
    TBrowseDlg dlg;
    dlg.SetFolderBrowser(&browser);
    dlg.SetRelatePos(TDlgPosRel(relatePos));
    browser.confirm = false;
    dlg.Browse();
    QCOMPARE(browser.dialog.movedTo, expected);
  }

  void selectionChangesShowThePathLive() {
    ScriptedBrowser browser;
    TBrowseDlg dlg;
    dlg.SetFolderBrowser(&browser);
    const QString longPath = "/home/user/Pictures/Camera/2024/Holiday at the sea/day one";
    browser.selections = {"/home", longPath};
    QStringList seen;
    dlg.OnSelectionChanged = [&](QObject*, TBrowseDialogWindow* handle, const QString& path,
                                 const TBrowseItem& item) {
      QVERIFY(handle == &browser.dialog);
      QCOMPARE(item.Path, path);
      seen << path;
    };
    browser.confirm = false;
    QVERIFY(!dlg.Browse());
    QCOMPARE(seen, QStringList({"/home", longPath}));
    const QString shortened = MinimizeName(longPath, 40);
    QVERIFY(shortened.size() <= 40);
    QCOMPARE(browser.dialog.log.mid(2), QStringList({"status /home", "status " + shortened}));
    // Kept after a cancelled run; assigning outside Browse reaches no picker.
    QCOMPARE(dlg.StatusText(), shortened);
    dlg.SetStatusText("x");
    QCOMPARE(browser.dialog.log.size(), 4);
  }

  void withoutShowPathOrHandlerSelectionIsIgnored() {
    ScriptedBrowser browser;
    TBrowseDlg dlg;
    dlg.SetFolderBrowser(&browser);
    dlg.SetOptions({doReturnFileSysDirs});
    browser.selections = {"/home"};
    dlg.Browse();
    QVERIFY(dlg.StatusText().isEmpty());
  }

  void liveAssignmentsWhileOpen() {
    ScriptedBrowser browser;
    TBrowseDlg dlg;
    dlg.SetFolderBrowser(&browser);
    browser.during = [&](ScriptedBrowser& b) {
      dlg.SetSelectedFolder("/x");
      dlg.SetSelectedFolder("/x");  // equal: nothing
      dlg.SetStatusText("s");
      b.confirm = false;
    };
    dlg.Browse();
    QCOMPARE(browser.dialog.log.mid(2), QStringList({"select /x", "status s"}));
    QCOMPARE(dlg.SelectedFolder(), QString("/x"));
  }

  void validation() {
    ScriptedBrowser browser;
    TBrowseDlg dlg;
    dlg.SetFolderBrowser(&browser);
    dlg.SetOptions({doAllowEdit});
    int answerWithout = -1, answerKeep = -1, answerLet = -1;
    QString typed;
    browser.during = [&](ScriptedBrowser& b) {
      answerWithout = b.Notify(TBrowseMessage::bmValidateFailed, nullptr, "nope");
      dlg.OnValidate = [&](QObject*, const QString& path, bool& cancel) {
        QVERIFY(!cancel);
        typed = path;
        cancel = path == "keep";
      };
      answerKeep = b.Notify(TBrowseMessage::bmValidateFailed, nullptr, "keep");
      answerLet = b.Notify(TBrowseMessage::bmValidateFailed, nullptr, "let");
    };
    dlg.Browse();
    QCOMPARE(browser.request.Flags, BIF_EDITBOX | BIF_VALIDATE);
    QCOMPARE(answerWithout, 0);
    QCOMPARE(answerKeep, 1);
    QCOMPARE(answerLet, 0);
    QCOMPARE(typed, QString("let"));
  }

  void callbackChecksItsContext() {
    FakeDialog d;
    QObject notADialog;
    QCOMPARE(
        TBrowseDlg::BrowseCallbackProc(&d, TBrowseMessage::bmInitialized, nullptr, {}, &notADialog),
        0);
    QCOMPARE(
        TBrowseDlg::BrowseCallbackProc(&d, TBrowseMessage::bmInitialized, nullptr, {}, nullptr), 0);
    QVERIFY(d.log.isEmpty());
  }

  void handleClearedWhenAHandlerThrows() {
    ScriptedBrowser browser;
    TBrowseDlg dlg;
    dlg.SetFolderBrowser(&browser);
    dlg.OnInit = [](QObject*) { throw std::runtime_error("init failed"); };
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, dlg.Browse());
    QVERIFY(!dlg.DialogHandle());
  }

  void mainFormIsTheParentWithoutOwner() {
    ScriptedBrowser browser;
    QWidget main;
    SetApplicationMainForm(&main);
    TBrowseDlg dlg;
    dlg.SetFolderBrowser(&browser);
    browser.confirm = false;
    dlg.Browse();
    SetApplicationMainForm(nullptr);
    QCOMPARE(browser.request.Parent, &main);
  }

  // ---- The Qt picker itself -------------------------------------------------

  void pickerShowsFoldersUnderTheRoot() {
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath("Photos/Holiday");
    QDir(tmp.path()).mkpath("Music");
    QFile(tmp.path() + "/notes.txt").open(QIODevice::WriteOnly);

    QStringList statuses;
    TBrowseDlg dlg;
    dlg.SetOptions({doReturnFileSysDirs, doShowPath, doStatusText});
    TBrowseRequest r;
    r.Root = tmp.path();
    r.Title = "Выберите папку с фотографиями";
    r.Flags = BrowseFlags(dlg.Options());
    r.Callback = &TBrowseDlg::BrowseCallbackProc;
    r.Context = &dlg;
    TFolderPickerDialog picker(r);
    picker.Initialize();
    QVERIFY(!picker.IsOKEnabled());
    QCOMPARE(picker.CaptionLine()->text(), r.Title);
    QVERIFY(!picker.CaptionLine()->isHidden());
    QVERIFY(!picker.StatusLine()->isHidden());
    QVERIFY(!picker.EditBox());

    auto* model = static_cast<QFileSystemModel*>(picker.Tree()->model());
    QTRY_COMPARE(model->rowCount(picker.Tree()->rootIndex()), 2);  // no files

    picker.SetSelection(tmp.path() + "/Photos/Holiday");
    QVERIFY(picker.IsOKEnabled());
    QCOMPARE(picker.StatusLine()->text(), MinimizeName(tmp.path() + "/Photos/Holiday", 40));
    picker.accept();
    QCOMPARE(picker.result(), int(QDialog::Accepted));
    QCOMPARE(picker.Result()->Path, tmp.path() + "/Photos/Holiday");
  }

  void pickerPlacedByItsFrame_data() {
    QTest::addColumn<int>("position");
    QTest::newRow("bottom right") << int(bpBottomRight);
    QTest::newRow("center") << int(bpCenter);
  }
  void pickerPlacedByItsFrame() {
    QFETCH(int, position);
    fixedScreen.reset();  // the real screen, on which the picker gets a frame
    TBrowseDlg dlg;
    dlg.SetRelatePos(brScreen);
    dlg.SetPosition(TDlgPosition(position));
    QRect outer, inner;
    QTimer::singleShot(0, [&] {
      QWidget* picker = QApplication::activeModalWidget();
      QVERIFY(picker);
      outer = picker->frameGeometry();
      inner = picker->geometry();
      picker->close();
    });
    QVERIFY(!dlg.Browse());
    QVERIFY(outer.size() != inner.size());
    const TRect screen = ScreenRect();
    QCOMPARE(outer.topLeft(), PlaceDialog(TDlgPosition(position), screen, outer.size(),
                                          QSize(screen.Right, screen.Bottom)));
  }

  void pickerEditBoxValidates() {
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath("Photos/Holiday");
    TBrowseDlg dlg;
    dlg.SetOptions({doReturnFileSysDirs, doAllowEdit});
    int failures = 0;
    bool keepOpen = true;
    dlg.OnValidate = [&](QObject*, const QString&, bool& cancel) {
      ++failures;
      cancel = keepOpen;
    };
    TBrowseRequest r;
    r.Root = tmp.path();
    r.Flags = BrowseFlags(dlg.Options());
    r.Callback = &TBrowseDlg::BrowseCallbackProc;
    r.Context = &dlg;
    TFolderPickerDialog picker(r);
    picker.Initialize();
    picker.show();
    QVERIFY(picker.CaptionLine()->isHidden());  // no caption, no empty line
    picker.SetSelection(tmp.path() + "/Photos");
    QCOMPARE(picker.EditBox()->text(), QString("Photos"));

    picker.EditBox()->setText("Holiday");  // inside the selected folder
    picker.accept();
    QCOMPARE(picker.Result()->Path, tmp.path() + "/Photos/Holiday");

    picker.setResult(0);
    picker.show();
    picker.EditBox()->setText("Nowhere");
    picker.accept();
    QCOMPARE(failures, 1);
    QVERIFY(picker.isVisible());  // kept open
    keepOpen = false;
    picker.accept();
    QCOMPARE(failures, 2);
    QVERIFY(!picker.isVisible());
    QCOMPARE(picker.result(), int(QDialog::Rejected));
  }

  // "Новая папка" makes a folder in the selected one, numbered when the name
  // is taken, and selects it; the dialog returns it.
  void pickerMakesANewFolder() {
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath("Photos");
    TBrowseDlg dlg;
    ScriptedBrowser browser;
    dlg.SetFolderBrowser(&browser);
    dlg.SetNewFolderButton(true);
    dlg.Browse();
    browser.request.Root = tmp.path();
    browser.request.Callback = nullptr;
    TFolderPickerDialog picker(browser.request);
    picker.show();
    for (const QString name : {"Новая папка", "Новая папка (2)"}) {
      picker.SetSelection(tmp.path() + "/Photos");
      QTest::mouseClick(picker.findChild<QPushButton*>("newFolderButton"), Qt::LeftButton);
      QVERIFY2(QFileInfo(tmp.path() + "/Photos/" + name).isDir(), qPrintable(name));
    }
    picker.accept();
    QCOMPARE(picker.Result()->Path, tmp.path() + "/Photos/Новая папка (2)");
  }
};

QTEST_MAIN(BrowseDlgTest)
#include "BrowseDlgTest.moc"

// TBrowseDlg: a non-visual component that runs a modal folder picker and
// hands back the chosen folder as a path.
//
// The component speaks to the picker through a narrow interface shaped like
// the shell's folder-browsing request (root, line above the tree, option
// flags, one callback with a context) so its own logic (flags, placement,
// the live status line, the callbacks) runs the same against the Qt dialog
// of FolderPicker.h and against a test double.
#pragma once

#include <QObject>
#include <QPoint>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

#include "DlgTypes.h"
#include "Events.h"
#include "WidgetsPlatform.h"

class QWidget;

namespace vizuvod {

// ---- The picker request ---------------------------------------------------------

// Request flags, with the values the Windows shell gives them.
inline constexpr std::uint32_t BIF_RETURNONLYFSDIRS = 0x0001;
inline constexpr std::uint32_t BIF_DONTGOBELOWDOMAIN = 0x0002;
inline constexpr std::uint32_t BIF_STATUSTEXT = 0x0004;
inline constexpr std::uint32_t BIF_RETURNFSANCESTORS = 0x0008;
inline constexpr std::uint32_t BIF_EDITBOX = 0x0010;
inline constexpr std::uint32_t BIF_VALIDATE = 0x0020;
inline constexpr std::uint32_t BIF_NEWDIALOGSTYLE = 0x0040;  // with a "new folder" button
inline constexpr std::uint32_t BIF_BROWSEFORCOMPUTER = 0x1000;
inline constexpr std::uint32_t BIF_BROWSEFORPRINTER = 0x2000;
inline constexpr std::uint32_t BIF_BROWSEINCLUDEFILES = 0x4000;

// One item of the picker's tree.
struct TBrowseItem {
  QString Path;  // its file-system path; empty when it has none
  QString DisplayName;
};

// The open picker window, as the component drives it.
class TBrowseDialogWindow {
 public:
  virtual ~TBrowseDialogWindow() = default;
  // Moves the tree's selection to the path (a path the tree lacks is ignored).
  virtual void SetSelection(const QString& path) = 0;
  virtual void SetStatusText(const QString& text) = 0;
  virtual void EnableOK(bool enable) = 0;
  virtual void SetTitle(const QString& title) = 0;
  // Outer size, frame included.
  virtual QSize OuterSize() const = 0;
  // Moves the window's outer top-left corner; size, stacking and activation stay.
  virtual void MoveTo(QPoint topLeft) = 0;
  // Runs `place` once the window's frame is known, so that OuterSize counts
  // it, and again should the frame change while the window is open. A window
  // without a frame of its own runs it at once.
  virtual void WhenFrameKnown(std::function<void()> place) { place(); }
  // The window itself, when it is a real one.
  virtual QWidget* Widget() { return nullptr; }
};

enum class TBrowseMessage { bmInitialized, bmSelChanged, bmValidateFailed, bmOther };

// Every notification of the open picker. `item` is the newly selected item
// (SelChanged), `text` the rejected typed name (ValidateFailed). The answer to
// ValidateFailed is 1 to keep the picker open, 0 to let it close.
using TBrowseCallback = int (*)(TBrowseDialogWindow* dialog, TBrowseMessage message,
                                const TBrowseItem* item, const QString& text, QObject* context);

struct TBrowseRequest {
  QWidget* Parent = nullptr;
  std::optional<QString> Root;  // none: the whole file system from its top
  QString Title;                // the line of text above the tree
  std::uint32_t Flags = 0;
  TBrowseCallback Callback = nullptr;
  QObject* Context = nullptr;
};

// A modal folder picker: the chosen item, or nothing when cancelled or closed.
class TFolderBrowser {
 public:
  virtual ~TFolderBrowser() = default;
  virtual std::optional<TBrowseItem> BrowseForFolder(const TBrowseRequest& request) = 0;
};

// The picker used by components that were given none: the Qt dialog unless a
// test put another in. Returns the previous one (null: the Qt dialog).
TFolderBrowser* SetDefaultFolderBrowser(TFolderBrowser* browser);
TFolderBrowser* DefaultFolderBrowser();

// ---- Pure steps --------------------------------------------------------------------

// The request flags for a set of options.
std::uint32_t BrowseFlags(TBrowseDlgOptions options);

// This platform's folder for a special-folder value; none when it has no
// such folder (bfoDesktopExpanded names none on purpose).
std::optional<QString> SpecialFolderPath(TSystemFolders folder);

// Where a window of the given outer size goes in the reference rectangle,
// kept on a screen of the given size.
QPoint PlaceDialog(TDlgPosition position, const TRect& reference, QSize window, QSize screen);

// Shortens a path to at most maxLength characters by replacing leading
// folders with "...", keeping the drive and the name; the bare name is the
// shortest it gets. The backslash form also knows drive letters.
QString MinimizeName(const QString& path, int maxLength, QChar separator = u'/');

// ---- The component ---------------------------------------------------------------

// A plain component: owner, name and tag.
class TBaseComponent : public QObject {
  Q_OBJECT
 public:
  explicit TBaseComponent(QObject* owner = nullptr) : QObject(owner) {}
  QObject* Owner() const { return parent(); }
  QString Name() const { return objectName(); }
  void SetName(const QString& name) { setObjectName(name); }
  long Tag() const { return tag_; }
  void SetTag(long tag) { tag_ = tag; }

 private:
  long tag_ = 0;
};

class TBrowseDlg : public TBaseComponent {
  Q_OBJECT
 public:
  using TBrowseDlgSelectionChangeEvent =
      std::function<void(QObject* Sender, TBrowseDialogWindow* DialogHandle, const QString& path,
                         const TBrowseItem& item)>;
  using TBrowseDlgEditValidateEvent =
      std::function<void(QObject* Sender, const QString& path, bool& Cancel)>;

  explicit TBrowseDlg(QObject* owner = nullptr);

  QString About() const { return about_; }
  void SetAbout(const QString& v) { about_ = v; }
  QString SelectedFolder() const { return selectedFolder_; }
  // Reaches the open picker at once; outside Browse it waits for the next one.
  void SetSelectedFolder(const QString& v);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& v) { caption_ = v; }
  QString CaptionTitle() const { return captionTitle_; }
  void SetCaptionTitle(const QString& v) { captionTitle_ = v; }
  QString StatusText() const { return statusText_; }
  void SetStatusText(const QString& v);
  // The open picker while Browse runs; null otherwise.
  TBrowseDialogWindow* DialogHandle() const { return dialog_; }

  TNotifyEvent<> OnInit;
  TBrowseDlgEditValidateEvent OnValidate;
  TBrowseDlgSelectionChangeEvent OnSelectionChanged;

  TDlgPosRel RelatePos() const { return relatePos_; }
  void SetRelatePos(TDlgPosRel v) { relatePos_ = v; }
  TBrowseDlgOptions Options() const { return options_; }
  void SetOptions(TBrowseDlgOptions v) { options_ = v; }
  TDlgPosition Position() const { return position_; }
  void SetPosition(TDlgPosition v) { position_ = v; }
  TSystemFolders StartFolder() const { return startFolder_; }
  void SetStartFolder(TSystemFolders v) { startFolder_ = v; }

  // A button in the picker that makes a new folder in the selected one; off
  // by default.
  bool NewFolderButton() const { return newFolderButton_; }
  void SetNewFolderButton(bool v) { newFolderButton_ = v; }

  // The picker this component runs (null: the default one).
  void SetFolderBrowser(TFolderBrowser* browser) { browser_ = browser; }

  // Runs the picker over the owner's window, else the main window, else none.
  // True when the user confirmed a choice, which is then in SelectedFolder.
  bool Browse();
  // The same over an explicit parent window.
  bool BrowseOver(QWidget* parent);

  static int BrowseCallbackProc(TBrowseDialogWindow* dialog, TBrowseMessage message,
                                const TBrowseItem* item, const QString& text, QObject* context);

  static constexpr int StatusPathLength = 40;

 private:
  void DialogInitialized();
  void SelectionChanged(const TBrowseItem& item);
  TRect ReferenceRect() const;

  QString about_;
  QString selectedFolder_;
  QString caption_;
  QString captionTitle_;
  QString statusText_;
  TBrowseDialogWindow* dialog_ = nullptr;
  TDlgPosRel relatePos_ = brActiveWindow;
  TBrowseDlgOptions options_{doReturnFileSysDirs, doShowPath};
  TDlgPosition position_ = bpCenter;
  TSystemFolders startFolder_ = bfoDesktopExpanded;
  TFolderBrowser* browser_ = nullptr;
  bool newFolderButton_ = false;
};

}  // namespace vizuvod

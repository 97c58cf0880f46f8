// The folder chooser component: builds the picker request from its fields,
// places and sets up the picker when it opens, keeps the status line and
// the selection live while it is open, and reads the chosen folder back.
#include "BrowseDlg.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QWidget>

#include "FolderPicker.h"

namespace vizuvod {

namespace {
TFolderBrowser*& DefaultBrowserSlot() {
  static TFolderBrowser* browser = nullptr;
  return browser;
}

// The platform flag each option adds, in option order.
// clang-format off
constexpr std::uint32_t OptionFlags[BrowseDlgOptionCount] = {
    BIF_BROWSEFORCOMPUTER, BIF_BROWSEFORPRINTER, BIF_DONTGOBELOWDOMAIN,
    BIF_RETURNFSANCESTORS, BIF_RETURNONLYFSDIRS, BIF_STATUSTEXT,
    BIF_BROWSEINCLUDEFILES, BIF_EDITBOX | BIF_VALIDATE, 0, 0};
// clang-format on

std::optional<QString> ExistingFolder(const QString& path) {
  if (path.isEmpty() || !QFileInfo(path).isDir()) return std::nullopt;
  return QDir::cleanPath(path);
}

std::optional<QString> StandardFolder(QStandardPaths::StandardLocation location) {
  return ExistingFolder(QStandardPaths::writableLocation(location));
}
}  // namespace

TFolderBrowser* SetDefaultFolderBrowser(TFolderBrowser* browser) {
  TFolderBrowser* old = DefaultBrowserSlot();
  DefaultBrowserSlot() = browser;
  return old;
}

TFolderBrowser* DefaultFolderBrowser() {
  if (DefaultBrowserSlot()) return DefaultBrowserSlot();
  return &QtFolderBrowser();
}

std::uint32_t BrowseFlags(TBrowseDlgOptions options) {
  std::uint32_t flags = 0;
  for (int i = 0; i < BrowseDlgOptionCount; ++i)
    if (options.Contains(TBrowseDlgOption(i))) flags |= OptionFlags[i];
  return flags;
}

std::optional<QString> SpecialFolderPath(TSystemFolders folder) {
  switch (folder) {
    // The top of the namespace, and "my computer" with its drives, are the
    // file system's root here.
    case bfoDesktop:
    case bfoMyComputer: return QStringLiteral("/");
    case bfoDesktopDirectory: return StandardFolder(QStandardPaths::DesktopLocation);
    case bfoPersonal: return StandardFolder(QStandardPaths::DocumentsLocation);
    case bfoPrograms:
    case bfoStartMenu: return StandardFolder(QStandardPaths::ApplicationsLocation);
    case bfoFonts: return StandardFolder(QStandardPaths::FontsLocation);
    case bfoAppData: return StandardFolder(QStandardPaths::GenericConfigLocation);
    case bfoInternetChache: return StandardFolder(QStandardPaths::GenericCacheLocation);
    case bfoTemplates: return ExistingFolder(QDir::homePath() + QStringLiteral("/Templates"));
    default:
      // No counterpart on this platform (control panel, printers, network,
      // the recycle bin...), like bfoDesktopExpanded's code: the lookup fails.
      return std::nullopt;
  }
}

QPoint PlaceDialog(TDlgPosition position, const TRect& ref, QSize window, QSize screen) {
  const int w = window.width(), h = window.height();
  const int L = ref.Left, T = ref.Top, R = ref.Right, B = ref.Bottom;
  const int centerX = L + (R - L - w) / 2;
  const int centerY = T + (B - T - h) / 2;
  int x = L, y = T;
  switch (position) {
    case bpCustom:
    case bpTopLeft: x = L, y = T; break;
    case bpTopCenter: x = centerX, y = T; break;
    case bpTopRight: x = R - w, y = T; break;
    case bpCenterLeft: x = L, y = centerY; break;
    case bpCenter: x = centerX, y = centerY; break;
    case bpCenterRight: x = R - w, y = centerY; break;
    case bpBottomLeft: x = L, y = B - h; break;
    case bpBottomCenter: x = centerX, y = B - h; break;
    case bpBottomRight: x = R - w, y = B - h; break;
  }
  if (y + h > screen.height()) y = B - h;
  if (x + w > screen.width()) x = R - w;
  if (x < 0) x = 0;
  if (y < 0) y = 0;
  return {x, y};
}

QString MinimizeName(const QString& path, int maxLength, QChar sep) {
  const bool drives = sep == u'\\';
  qsizetype split = path.lastIndexOf(sep);
  if (drives) split = std::max(split, path.lastIndexOf(u':'));
  QString dir = path.left(split + 1);
  const QString name = path.mid(split + 1);
  QString drive;
  if (drives && dir.size() >= 2 && dir[1] == u':') {
    drive = dir.left(2);
    dir.remove(0, 2);
  }
  const QString marker = QStringLiteral("...") + sep;  // left where folders were taken out
  const QString rootMarker = sep + marker;

  QString result = path;
  while ((!dir.isEmpty() || !drive.isEmpty()) && result.size() > maxLength) {
    if (dir == rootMarker) {
      drive.clear();
      dir = marker;
    } else if (dir.isEmpty()) {
      drive.clear();
    } else if (dir == QString(sep)) {
      dir.clear();
    } else {
      const bool rooted = dir.startsWith(sep);
      if (rooted) dir.remove(0, 1);
      // A leading dot is the marker an earlier pass left.
      if (dir.startsWith(u'.')) dir.remove(0, marker.size());
      const qsizetype k = dir.indexOf(sep);
      dir = k >= 0 ? marker + dir.mid(k + 1) : QString();
      if (rooted) dir.prepend(sep);
    }
    result = drive + dir + name;
  }
  return result;
}

// ---- TBrowseDlg -----------------------------------------------------------------------

TBrowseDlg::TBrowseDlg(QObject* owner) : TBaseComponent(owner) {}

void TBrowseDlg::SetSelectedFolder(const QString& v) {
  if (v == selectedFolder_) return;
  selectedFolder_ = v;
  if (dialog_) dialog_->SetSelection(v);
}

void TBrowseDlg::SetStatusText(const QString& v) {
  if (v == statusText_) return;
  statusText_ = v;
  if (dialog_) dialog_->SetStatusText(v);
}

bool TBrowseDlg::Browse() {
  QWidget* parent = qobject_cast<QWidget*>(Owner());
  if (!parent) parent = ApplicationMainForm();
  return BrowseOver(parent);
}

bool TBrowseDlg::BrowseOver(QWidget* parent) {
  TBrowseRequest request;
  request.Parent = parent;
  request.Root = SpecialFolderPath(startFolder_);
  request.Title = caption_;
  request.Flags = BrowseFlags(options_) | (newFolderButton_ ? BIF_NEWDIALOGSTYLE : 0);
  request.Callback = &TBrowseDlg::BrowseCallbackProc;
  request.Context = this;

  TFolderBrowser* browser = browser_ ? browser_ : DefaultFolderBrowser();
  // The handle must not outlive the picker, even when a handler throws.
  struct ClearHandle {
    TBrowseDialogWindow*& handle;
    ~ClearHandle() { handle = nullptr; }
  } clear{dialog_};
  const std::optional<TBrowseItem> item = browser->BrowseForFolder(request);
  dialog_ = nullptr;
  if (!item) return false;
  // Set directly: the picker is gone, nothing to pass on.
  selectedFolder_ = item->Path;
  return true;
}

int TBrowseDlg::BrowseCallbackProc(TBrowseDialogWindow* dialog, TBrowseMessage message,
                                   const TBrowseItem* item, const QString& text, QObject* context) {
  auto* self = qobject_cast<TBrowseDlg*>(context);
  if (!self) return 0;
  switch (message) {
    case TBrowseMessage::bmInitialized:
      self->dialog_ = dialog;
      self->DialogInitialized();
      return 0;
    case TBrowseMessage::bmSelChanged:
      self->SelectionChanged(item ? *item : TBrowseItem{});
      return 0;
    case TBrowseMessage::bmValidateFailed: {
      bool cancel = false;
      if (self->OnValidate) self->OnValidate(self, text, cancel);
      return cancel ? 1 : 0;
    }
    case TBrowseMessage::bmOther: break;
  }
  return 0;
}

TRect TBrowseDlg::ReferenceRect() const {
  switch (relatePos_) {
    case brScreen: return ScreenRect();
    case brScreenWorkArea: return ScreenWorkArea();
    case brMainForm:
      if (QWidget* main = ApplicationMainForm()) return TRect::FromQRect(main->frameGeometry());
      return ScreenRect();
    case brActiveWindow: {
      QWidget* active = QApplication::activeWindow();
      // The picker itself is not the window it is placed against.
      if (active && dialog_ && active == dialog_->Widget()) active = active->parentWidget();
      if (active) return TRect::FromQRect(active->window()->frameGeometry());
      return ScreenRect();
    }
  }
  return ScreenRect();
}

void TBrowseDlg::DialogInitialized() {
  // Placed by its outer size, which a real window knows only once framed.
  dialog_->WhenFrameKnown([this] {
    if (!dialog_) return;
    const TRect screen = ScreenRect();
    dialog_->MoveTo(PlaceDialog(position_, ReferenceRect(), dialog_->OuterSize(),
                                QSize(screen.Right, screen.Bottom)));
  });
  if (!captionTitle_.isEmpty()) dialog_->SetTitle(captionTitle_);
  if (!statusText_.isEmpty()) dialog_->SetStatusText(statusText_);
  if (!selectedFolder_.isEmpty()) dialog_->SetSelection(selectedFolder_);
  dialog_->EnableOK(options_.Contains(doEnableOK));
  if (OnInit) OnInit(this);
}

void TBrowseDlg::SelectionChanged(const TBrowseItem& item) {
  const bool showPath = options_.Contains(doShowPath);
  if (!showPath && !OnSelectionChanged) return;
  if (showPath) SetStatusText(MinimizeName(item.Path, StatusPathLength));
  if (OnSelectionChanged) OnSelectionChanged(this, dialog_, item.Path, item);
}

}  // namespace vizuvod

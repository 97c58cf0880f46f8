// The modal folder picker of this platform: a folder tree over the file
// system with the caption line above it, an optional status line and edit
// box, and OK / Cancel. It honours the picker request of BrowseDlg.h and
// makes the same three notifications the component expects.
#pragma once

#include <QDialog>
#include <QMargins>
#include <functional>
#include <optional>

#include "BrowseDlg.h"

class QDialogButtonBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QModelIndex;
class QTimer;
class QTreeView;

namespace vizuvod {

class TFolderPickerDialog : public QDialog, public TBrowseDialogWindow {
  Q_OBJECT
 public:
  explicit TFolderPickerDialog(const TBrowseRequest& request);

  // Sends the "initialised" notification; call once before exec().
  void Initialize();
  // The confirmed item after exec(), if any.
  const std::optional<TBrowseItem>& Result() const { return result_; }

  void SetSelection(const QString& path) override;
  void SetStatusText(const QString& text) override;
  void EnableOK(bool enable) override;
  void SetTitle(const QString& title) override;
  QSize OuterSize() const override;
  void MoveTo(QPoint topLeft) override;
  void WhenFrameKnown(std::function<void()> place) override;
  QWidget* Widget() override { return this; }

  QTreeView* Tree() const { return tree_; }
  QLineEdit* EditBox() const { return edit_; }
  QLabel* StatusLine() const { return status_; }
  QLabel* CaptionLine() const { return caption_; }
  bool IsOKEnabled() const;

 public slots:
  void accept() override;

 protected:
  void showEvent(QShowEvent* e) override;
  void moveEvent(QMoveEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  // The constructor's steps: the folders' model and tree; the selection kept
  // in view while folders load; the buttons; the dialog's layout.
  void CreateTree();
  void FollowSelectionWhileLoading();
  void CreateButtons();
  void LayOut();
  void ScrollToSelection();
  void PlaceIfFramed();
  // "Новая папка": a new folder in the selected one, selected and its name
  // open for editing.
  void MakeFolder();
  void CurrentChanged(const QModelIndex& current);
  TBrowseItem ItemAt(const QModelIndex& index) const;
  bool MayReturn(const QString& path) const;
  int Notify(TBrowseMessage message, const TBrowseItem* item, const QString& text);

  TBrowseRequest request_;
  QFileSystemModel* model_ = nullptr;
  QLabel* caption_ = nullptr;
  QTreeView* tree_ = nullptr;
  QLabel* status_ = nullptr;
  QLineEdit* edit_ = nullptr;
  QDialogButtonBox* buttons_ = nullptr;
  QTimer* scrollTimer_ = nullptr;
  bool followSelection_ = true;  // keep the selection in view while folders load
  std::optional<TBrowseItem> result_;
  std::function<void()> place_;
  std::optional<QMargins> placedWithFrame_;
};

// Runs TFolderPickerDialog modally.
class TQtFolderBrowser : public TFolderBrowser {
 public:
  std::optional<TBrowseItem> BrowseForFolder(const TBrowseRequest& request) override;
};

TFolderBrowser& QtFolderBrowser();

}  // namespace vizuvod

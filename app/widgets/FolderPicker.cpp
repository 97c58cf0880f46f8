// The folder picker dialog. Folders only unless files are asked for; hidden
// folders stay hidden as in a file manager. The OK button follows the
// selection (enabled for an item that may be returned) until the component
// overrides it. A picker is made for each choice, so its texts are in the
// window's language of the moment.
#include "FolderPicker.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>
#include <QWindow>

namespace vizuvod {

TFolderPickerDialog::TFolderPickerDialog(const TBrowseRequest& request)
    : QDialog(request.Parent), request_(request) {
  setWindowTitle(tr("Обзор папок"));
  setModal(true);

  caption_ = new QLabel(request.Title, this);
  caption_->setWordWrap(true);
  caption_->setVisible(!request.Title.isEmpty());

  CreateTree();
  FollowSelectionWhileLoading();

  status_ = new QLabel(this);
  status_->setVisible(request.Flags & BIF_STATUSTEXT);

  if (request.Flags & BIF_EDITBOX) {
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("folderEdit"));
  }

  CreateButtons();
  LayOut();
  resize(320, 400);
}

void TFolderPickerDialog::CreateTree() {
  model_ = new QFileSystemModel(this);
  QDir::Filters filter = QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives;
  if (request_.Flags & BIF_BROWSEINCLUDEFILES) filter |= QDir::Files;
  model_->setFilter(filter);
  model_->setReadOnly(true);
  const QString rootPath = request_.Root.value_or(QDir::rootPath());
  model_->setRootPath(rootPath);

  tree_ = new QTreeView(this);
  tree_->setModel(model_);
  for (int c = 1; c < model_->columnCount(); ++c) tree_->hideColumn(c);
  tree_->header()->hide();
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  if (request_.Root) {
    tree_->setRootIndex(model_->index(rootPath));
  } else {
    // The whole file system from its top, opened down to the user's home.
    for (QDir d(QDir::homePath());;) {
      tree_->expand(model_->index(d.absolutePath()));
      if (d.isRoot() || !d.cdUp()) break;
    }
  }
  // The selection, not the current item: the tree makes its first row current
  // when it gains the focus, which is not a choice by the user.
  connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    const QModelIndexList rows = tree_->selectionModel()->selectedRows();
    CurrentChanged(rows.isEmpty() ? QModelIndex() : rows.first());
  });
}

void TFolderPickerDialog::FollowSelectionWhileLoading() {
  // Folders are listed and sorted in the background, and every batch moves the
  // rows: the selection is brought back into view once they settle.
  scrollTimer_ = new QTimer(this);
  scrollTimer_->setSingleShot(true);
  scrollTimer_->setInterval(50);
  connect(scrollTimer_, &QTimer::timeout, this, &TFolderPickerDialog::ScrollToSelection);
  auto later = [this] {
    if (followSelection_) scrollTimer_->start();
  };
  // ...until the user moves around the tree by hand.
  tree_->viewport()->installEventFilter(this);
  connect(tree_->verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this] { followSelection_ = false; });
  connect(model_, &QFileSystemModel::directoryLoaded, this, later);
  connect(model_, &QAbstractItemModel::layoutChanged, this, later);
  connect(model_, &QAbstractItemModel::rowsInserted, this, later);
}

void TFolderPickerDialog::CreateButtons() {
  buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons_->button(QDialogButtonBox::Cancel)->setText(tr("Отмена"));
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);
  connect(buttons_, &QDialogButtonBox::accepted, this, &TFolderPickerDialog::accept);
  connect(buttons_, &QDialogButtonBox::rejected, this, &QDialog::reject);
  if (request_.Flags & BIF_NEWDIALOGSTYLE) {
    QPushButton* make = buttons_->addButton(tr("Новая папка"), QDialogButtonBox::ActionRole);
    make->setObjectName(QStringLiteral("newFolderButton"));
    connect(make, &QPushButton::clicked, this, &TFolderPickerDialog::MakeFolder);
    // Names are edited only where a new folder is made, never by a key or a click.
    model_->setReadOnly(false);
    tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(model_, &QFileSystemModel::fileRenamed, this,
            [this](const QString& path, const QString&, const QString& name) {
              SetSelection(path + QLatin1Char('/') + name);
            });
  }
}

void TFolderPickerDialog::LayOut() {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(caption_);
  layout->addWidget(tree_, 1);
  layout->addWidget(status_);
  if (edit_) {
    auto* label = new QLabel(tr("Папка:"), this);
    label->setBuddy(edit_);
    layout->addWidget(label);
    layout->addWidget(edit_);
  }
  layout->addWidget(buttons_);
}

void TFolderPickerDialog::MakeFolder() {
  const QModelIndexList rows = tree_->selectionModel()->selectedRows();
  const QModelIndex parent =
      rows.isEmpty() ? model_->index(request_.Root.value_or(QDir::homePath())) : rows.first();
  if (!parent.isValid() || !model_->isDir(parent)) return;
  const QString base = tr("Новая папка");
  QString name = base;
  for (int n = 2; QFileInfo::exists(model_->filePath(parent) + QLatin1Char('/') + name); ++n)
    name = QStringLiteral("%1 (%2)").arg(base).arg(n);
  const QModelIndex made = model_->mkdir(parent, name);
  if (!made.isValid()) {
    status_->setText(tr("Не удалось создать папку"));
    status_->show();
    return;
  }
  SetSelection(model_->filePath(made));
  tree_->edit(made);
}

void TFolderPickerDialog::ScrollToSelection() {
  const QModelIndexList rows = tree_->selectionModel()->selectedRows();
  if (!rows.isEmpty()) tree_->scrollTo(rows.first(), QAbstractItemView::PositionAtCenter);
}

bool TFolderPickerDialog::eventFilter(QObject* watched, QEvent* e) {
  if (watched == tree_->viewport() &&
      (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::Wheel))
    followSelection_ = false;
  return QDialog::eventFilter(watched, e);
}

void TFolderPickerDialog::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  PlaceIfFramed();
  // Only now does the tree know its height.
  scrollTimer_->start();
}

void TFolderPickerDialog::Initialize() { Notify(TBrowseMessage::bmInitialized, nullptr, {}); }

int TFolderPickerDialog::Notify(TBrowseMessage message, const TBrowseItem* item,
                                const QString& text) {
  if (!request_.Callback) return 0;
  return request_.Callback(this, message, item, text, request_.Context);
}

TBrowseItem TFolderPickerDialog::ItemAt(const QModelIndex& index) const {
  if (!index.isValid()) return {};
  return {model_->filePath(index), model_->fileName(index)};
}

bool TFolderPickerDialog::MayReturn(const QString& path) const {
  const QFileInfo info(path);
  if (info.isDir()) return true;
  return info.exists() && (request_.Flags & BIF_BROWSEINCLUDEFILES) &&
         !(request_.Flags & BIF_RETURNONLYFSDIRS);
}

void TFolderPickerDialog::CurrentChanged(const QModelIndex& current) {
  const TBrowseItem item = ItemAt(current);
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(current.isValid() && MayReturn(item.Path));
  if (edit_) edit_->setText(item.DisplayName);
  Notify(TBrowseMessage::bmSelChanged, &item, {});
}

void TFolderPickerDialog::SetSelection(const QString& path) {
  const QModelIndex index = model_->index(path);
  if (!index.isValid()) return;
  for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) tree_->expand(p);
  followSelection_ = true;
  tree_->selectionModel()->setCurrentIndex(
      index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  tree_->scrollTo(index);
}

void TFolderPickerDialog::SetStatusText(const QString& text) { status_->setText(text); }

void TFolderPickerDialog::EnableOK(bool enable) {
  buttons_->button(QDialogButtonBox::Ok)->setEnabled(enable);
}

bool TFolderPickerDialog::IsOKEnabled() const {
  return buttons_->button(QDialogButtonBox::Ok)->isEnabled();
}

void TFolderPickerDialog::SetTitle(const QString& title) { setWindowTitle(title); }

QSize TFolderPickerDialog::OuterSize() const {
  return isVisible() ? frameGeometry().size() : size();
}

void TFolderPickerDialog::MoveTo(QPoint topLeft) { move(topLeft); }

void TFolderPickerDialog::WhenFrameKnown(std::function<void()> place) {
  place_ = std::move(place);
  placedWithFrame_.reset();
  PlaceIfFramed();
}

// The frame exists once the window does; a window manager may add its own
// later, which shows as a move with new frame margins.
void TFolderPickerDialog::PlaceIfFramed() {
  if (!place_ || !isVisible() || !windowHandle()) return;
  const QMargins frame = windowHandle()->frameMargins();
  if (placedWithFrame_ == frame) return;
  placedWithFrame_ = frame;
  place_();
}

void TFolderPickerDialog::moveEvent(QMoveEvent* e) {
  QDialog::moveEvent(e);
  PlaceIfFramed();
}

void TFolderPickerDialog::accept() {
  const QModelIndexList rows = tree_->selectionModel()->selectedRows();
  const TBrowseItem selected = ItemAt(rows.isEmpty() ? QModelIndex() : rows.first());
  if (!edit_) {
    if (selected.Path.isEmpty()) return;
    result_ = selected;
    QDialog::accept();
    return;
  }
  // A typed name: the selected item's own name, a full path, or a name
  // inside the selected folder (inside the root when nothing is selected).
  const QString typed = edit_->text().trimmed();
  QString path;
  if (typed.isEmpty() || (typed == selected.DisplayName && !selected.Path.isEmpty()))
    path = selected.Path;
  else if (QDir::isAbsolutePath(typed))
    path = typed;
  else
    path = (selected.Path.isEmpty() ? request_.Root.value_or(QDir::rootPath()) : selected.Path) +
           QLatin1Char('/') + typed;
  if (!path.isEmpty() && MayReturn(path)) {
    result_ = TBrowseItem{QDir::cleanPath(path), QFileInfo(path).fileName()};
    QDialog::accept();
    return;
  }
  if (request_.Flags & BIF_VALIDATE) {
    if (Notify(TBrowseMessage::bmValidateFailed, nullptr, edit_->text()) != 0) return;
    // Let go without a folder: the typed name named none.
    QDialog::reject();
    return;
  }
  if (selected.Path.isEmpty()) return;
  result_ = selected;
  QDialog::accept();
}

std::optional<TBrowseItem> TQtFolderBrowser::BrowseForFolder(const TBrowseRequest& request) {
  TFolderPickerDialog dialog(request);
  dialog.Initialize();
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Result();
}

TFolderBrowser& QtFolderBrowser() {
  static TQtFolderBrowser browser;
  return browser;
}

}  // namespace vizuvod

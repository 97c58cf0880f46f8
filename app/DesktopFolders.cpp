#include "DesktopFolders.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace vizuvod {

std::optional<QString> DroppedFolder(const QMimeData* data) {
  if (!data || !data->hasUrls() || data->urls().isEmpty()) return std::nullopt;
  const QUrl url = data->urls().first();
  if (!url.isLocalFile()) return std::nullopt;
  const QString path = url.toLocalFile();
  if (!QFileInfo(path).isDir()) return std::nullopt;
  return path;
}

std::optional<QString> FolderArgument(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Resizes every photo of a folder in one run, in a three-step wizard."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("folder"),
                               QStringLiteral("The photo folder to start with (optional)."),
                               QStringLiteral("[folder]"));
  parser.process(arguments);
  const QStringList folders = parser.positionalArguments();
  if (folders.isEmpty()) return std::nullopt;
  const QString& folder = folders.first();
  const QUrl url(folder);
  return url.isLocalFile() ? url.toLocalFile() : folder;
}

}  // namespace vizuvod

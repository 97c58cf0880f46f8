// Folders handed to the window by the desktop: dragged from a file manager,
// or named on the command line by "Open with".
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

class QMimeData;

namespace vizuvod {

// The local folder a drag carries (its first item), or none when the first
// item is not a folder on this machine.
std::optional<QString> DroppedFolder(const QMimeData* data);

// The folder named on the command line (a path, or a file: URL as some
// desktops pass it); none without one. `--help` and `--version` print and
// exit as usual; an unknown option is reported and ends the program.
std::optional<QString> FolderArgument(const QStringList& arguments);

}  // namespace vizuvod

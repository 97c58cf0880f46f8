// The photo folder scan: the files directly inside a folder whose names end
// in the extensions of the chosen formats (TFormats; none chosen: "*.jpg",
// as page 1 does) become the photo list, sorted by PhotoNameLess. The
// wizard's list is PhotoFiles / PhotoCount (ScanPhotoFolder); vizuvod-batch's
// photo sources use ListPhotoFiles and, walking subfolders, ReadPhotoFolder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Warnings.h"
#include "formats/Formats.h"

namespace vizuvod {

// The photo list of the last folder scan: entries 0 to PhotoCount - 1 hold
// full paths in the order the scan found them. It grows as needed.
extern std::vector<std::string> PhotoFiles;
extern std::int32_t PhotoCount;

// The photos of folderText: every entry whose name ends in ".jpg" in any
// case, that does not start with '.', and that is a file (a link to a file
// counts, a directory does not), sorted case-insensitively. Each entry is
// folderText exactly as typed, '/', and the name; an empty text searches the
// root ("/*.jpg"), the way an empty path meant the root of the current drive.
// A folder that cannot be read gives no entries.
// With formats set, the names IsFormatName takes instead of "*.jpg". With
// leaveOutResults, "Resize of <name>" is left out where <name> is another
// photo's name there, or its result's name in any format: an earlier run's
// result, as vizuvod-batch tells it when it names results itself.
std::vector<std::string> ListPhotoFiles(const std::string& folderText, const TFormats& formats = {},
                                        bool leaveOutResults = false);

// A photo's file name: ".jpg" at its end in any case, not hidden.
bool IsPhotoName(const std::string& name);

// A name of one of those formats: not hidden, its extension in any case one
// of the formats' (.jpg .jpeg .jpe, .png, .webp, .heic .heif .hif, .avif).
bool IsFormatName(const std::string& name, const TFormats& formats);

// The photos in the open folder: files (or links to files) whose names
// isPhoto takes (the wizard's IsPhotoName unless given), unsorted. Every other entry that is not
// hidden goes to `other`, when set. Returns 0, or the system's error when the folder could not be
// listed (whole or to its end).
int ReadPhotoFolder(int folder, std::vector<std::string>& photos,
                    const std::function<void(const std::string& name)>& other,
                    const std::function<bool(const std::string& name)>& isPhoto = {});

// Replaces PhotoFiles and PhotoCount with ListPhotoFiles(folderText) and
// returns the count. When it is 0 the window shows NoPhotosWarning.
std::int32_t ScanPhotoFolder(const std::string& folderText, const TFormats& formats = {},
                             bool leaveOutResults = false);

// The order of the listing: names compared as upper case (ASCII, Latin-1 and
// Cyrillic letters), raw bytes breaking ties so the order is total.
bool PhotoNameLess(const std::string& a, const std::string& b);

}  // namespace vizuvod

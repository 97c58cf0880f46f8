#include "WindowOptions.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Errors.h"
#include "TargetSize.h"

namespace vizuvod {

namespace {

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

// Why a file at a result's path is not written over.
constexpr const char* PhotoOfTheRun = "it is a photo of this run; it is not written over";

// A refusal: the text names the file and the reason, as the error box shows it.
EFCreateError Refusal(const std::string& path, const std::string& reason) {
  return EFCreateError(path + ": " + reason, reason);
}

}  // namespace

TOptionsRun::TOptionsRun(const TWindowOptions& options, const std::vector<std::string>& photos)
    : options_(options) {
  if (!options_.resultFolder.empty()) folder_.emplace(options_.resultFolder);
  for (const std::string& path : photos) {
    struct stat info;
    if (::stat(path.c_str(), &info) == 0) photoIds_.emplace_back(info.st_dev, info.st_ino);
  }
  std::sort(photoIds_.begin(), photoIds_.end());
}

std::string TOptionsRun::ResultPath(const std::string& photo) const {
  const std::string name = "Resize of " + ResultNameOf(NameOf(photo), options_.format);
  if (options_.resultFolder.empty()) return photo.substr(0, photo.rfind('/') + 1) + name;
  return options_.resultFolder + "/" + name;
}

void TOptionsRun::RefuseToReplace(const std::string& photo, const std::string& path,
                                  const struct stat& there) const {
  if (std::binary_search(photoIds_.begin(), photoIds_.end(),
                         std::make_pair(there.st_dev, there.st_ino)))
    throw Refusal(path, PhotoOfTheRun);
  if (const std::string why = WhyNotOwnResult(path, PhotoKeyOf(photo)); !why.empty())
    throw Refusal(path, why + "; it is not overwritten");
}

void TOptionsRun::Check(const std::string& photo, const std::string& result) {
  const auto [claim, fresh] = claims_.emplace(result, photo);
  if (!fresh && claim->second != photo)
    throw Refusal(result, "it is also the result of " + claim->second + "; it is not overwritten");
  struct stat there;
  if (::stat(result.c_str(), &there) == 0) RefuseToReplace(photo, result, there);
}

TPhotoOutcome TOptionsRun::Resize(const std::string& photo, const TRunSettings& settings,
                                  const TRowHooks& hooks) {
  TPhotoRequest request;
  request.photo = photo;
  request.keepMetadata = options_.keepMetadata;
  request.stripLocation = options_.keepMetadata && options_.stripLocation;
  request.autoOrient = options_.autoOrient;
  request.anyFormat = options_.anyFormat;
  request.toSrgb = options_.toSrgb;
  TResultRequest result{&settings, {}, options_.quality, {}};
  if (options_.longEdge && settings.Mode() == TResizeMode::rmPixels &&
      settings.FitSideText() == LongEdgeItem) {
    // Read once for the photo: its width or height run, by its own sides.
    result.settings = nullptr;
    result.settingsFor = [size = TSizeRequest{TSizeKind::skLongEdge, settings.N()}](int w, int h) {
      return WizardSettingsFor(size, w, h, false);
    };
  }
  result.maxBytes = options_.maxBytes;
  result.format = options_.format;
  if (!options_.Checked()) {
    request.results.push_back(std::move(result));
    return ProcessPhoto(request, hooks);
  }

  const std::string path = ResultPath(photo);
  result.path = [path](const std::string&, int, int) { return path; };
  request.results.push_back(std::move(result));
  // Checked again at the moment of the write: the folder may have changed.
  request.guard = [this, photo](const std::string& at, const struct stat& there) {
    RefuseToReplace(photo, at, there);
  };
  TFolderFd folder;
  const auto where = [&folder](const std::string& p) {
    return folder.Get() < 0 ? p : folder.PathOf(NameOf(p));
  };
  request.writtenAt = where;

  TPhotoStep step(request);
  if (step.Plan().results.empty()) return step.Run(hooks);  // a percentage of 100
  Check(photo, path);
  if (folder_) {
    struct stat info;
    const mode_t mode = ::stat(options_.resultFolder.c_str(), &info) == 0 ? info.st_mode : 0777;
    folder = folder_->Open("", mode & 07777);
  }
  TPhotoOutcome outcome = step.Run(hooks);
  const std::string key = PhotoKeyOf(photo);
  for (const TResultOutcome& r : outcome.results) MarkMadeFrom(where(r.path), key);
  return outcome;
}

}  // namespace vizuvod

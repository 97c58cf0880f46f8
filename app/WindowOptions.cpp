#include "WindowOptions.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "core/Errors.h"
#include "photo/TargetSize.h"

namespace vizuvod {

namespace {

std::string NameOf(const std::string& path) { return path.substr(path.rfind('/') + 1); }

}  // namespace

TOptionsRun::TOptionsRun(const TWindowOptions& options, const std::vector<std::string>& photos)
    : options_(options), photos_(photos), guard_(photos_, "") {
  if (!options_.resultFolder.empty()) folder_.emplace(options_.resultFolder);
}

std::string TOptionsRun::ResultPath(const std::string& photo) const {
  const std::string name = "Resize of " + ResultNameOf(NameOf(photo), options_.format);
  if (options_.resultFolder.empty()) return photo.substr(0, photo.rfind('/') + 1) + name;
  return options_.resultFolder + "/" + name;
}

TPhotoOutcome TOptionsRun::Resize(std::size_t i, const TRunSettings& settings,
                                  const TRowHooks& hooks) {
  const std::string& photo = photos_[i];
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
  request.guard = [this, i](const std::string& at, const struct stat& there) {
    guard_.RefuseToReplace(i, at, there);
  };
  TFolderFd folder;
  const auto where = [&folder](const std::string& p) {
    return folder.Get() < 0 ? p : folder.PathOf(NameOf(p));
  };
  request.writtenAt = where;

  TPhotoStep step(request);
  if (step.Plan().results.empty()) return step.Run(hooks);  // a percentage of 100
  guard_.Claim(i, path);
  if (struct stat there; ::stat(path.c_str(), &there) == 0) {
    guard_.RefusePhotoOfTheRun(path, there);
    if (const std::string refusal = guard_.NotOurs(path, PhotoKeyOf(photo)); !refusal.empty())
      throw EResultRefused(refusal);
  }
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

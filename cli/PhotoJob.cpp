#include "PhotoJob.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <exception>
#include <filesystem>
#include <new>
#include <stdexcept>

#include "core/Errors.h"
#include "files/OutputFolder.h"

namespace vizuvod {

namespace {

std::string DefaultPattern(const TOptions& options) {
  if (options.name) return *options.name;
  return options.output ? "{name}" : "Resize of {name}";
}

// The folder part of a relative path, kept under --output unless it would
// climb out of it.
std::string RelativeFolder(const std::string& relative) {
  const std::size_t slash = relative.rfind('/');
  if (slash == std::string::npos || relative[0] == '/') return "";
  const std::string folder = relative.substr(0, slash + 1);
  if (folder == "../" || folder.starts_with("../") || folder.find("/../") != std::string::npos)
    return "";
  return folder;
}

// The permission bits of the photo's folder, which folders made for its
// results take (less the umask): a private album stays private.
mode_t FolderModeOf(const std::string& photo) {
  const std::size_t slash = photo.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : photo.substr(0, slash + 1);
  struct stat info;
  return ::stat(folder.c_str(), &info) == 0 ? info.st_mode & 07777 : 0777;
}

bool NotOlder(const struct stat& result, const struct stat& photo) {
  if (result.st_mtim.tv_sec != photo.st_mtim.tv_sec)
    return result.st_mtim.tv_sec > photo.st_mtim.tv_sec;
  return result.st_mtim.tv_nsec >= photo.st_mtim.tv_nsec;
}

constexpr std::size_t None = TResultGuard::None;

}  // namespace

TResultPlace::TResultPlace(const TOptions& options)
    : output_(options.output), pattern_(DefaultPattern(options), options.format) {}

std::string TResultPlace::Path(const std::string& photo, const std::string& relative, int width,
                               int height) const {
  const std::size_t cut = photo.rfind('/') + 1;  // 0 when there is no '/'
  const std::string name = photo.substr(cut);
  const std::string folder =
      output_ ? *output_ + "/" + RelativeFolder(relative) : photo.substr(0, cut);
  return folder + pattern_.Apply(name, width, height);
}

TPhotoJobs::TPhotoJobs(const TOptions& options, const TPhotoList& photos, TResultGuard& guard)
    : options_(options),
      photos_(photos),
      guard_(guard),
      place_(options),
      newNaming_(options.NewNaming() || options.filesFrom) {
  if (options.output && !options.dryRun) outputFolder_.emplace(*options.output);
  if (newNaming_ && !place_.Pattern().UsesSize()) FindSameResults();
}

// Results known before the run are claimed in list order: sorted by the
// hash of the path (16 bytes a photo, only while this runs), the first of
// each equal path keeps it. Only the photos that lose are remembered.
void TPhotoJobs::FindSameResults() {
  std::vector<std::pair<std::uint64_t, std::size_t>> byHash(photos_.paths.size());
  for (std::size_t i = 0; i < photos_.paths.size(); ++i)
    byHash[i] = {StableHash(KnownResultPath(i)), i};
  std::sort(byHash.begin(), byHash.end());
  for (std::size_t k = 0; k < byHash.size();) {
    std::size_t end = k + 1;
    while (end < byHash.size() && byHash[end].first == byHash[k].first) ++end;
    for (std::size_t m = k + 1; m < end; ++m) {
      const std::string result = KnownResultPath(byHash[m].second);
      for (std::size_t e = k; e < m; ++e)
        if (!sameResultAs_.count(byHash[e].second) && KnownResultPath(byHash[e].second) == result) {
          sameResultAs_[byHash[m].second] = byHash[e].second;
          break;
        }
    }
    k = end;
  }
}

std::string TPhotoJobs::KnownResultPath(std::size_t i) const {
  if (!newNaming_) return ResizedPhotoPath(photos_.paths[i]);
  if (place_.Pattern().UsesSize()) return "";
  return place_.Path(photos_.paths[i], photos_.Relative(i), 0, 0);
}

TJobStatus TPhotoJobs::Check(std::size_t i, const struct stat& photo, const TPhotoOutcome& plan) {
  bool allThere = !plan.results.empty();
  std::string notMadeHere;  // a result there that is not this run's own of this photo
  const std::string key = newNaming_ ? PhotoKeyOf(photos_.paths[i]) : "";
  for (std::size_t k = 0; k < plan.results.size(); ++k) {
    const TResultOutcome& r = plan.results[k];
    // Two sizes that come out alike for this photo but were made differently
    // (--width 800 and --height 600 of a 4:3 photo) would overwrite each other.
    for (std::size_t j = 0; j < k; ++j)
      if (plan.results[j].path == r.path)
        throw EResultRefused(r.path +
                             " is the result of two of the sizes; it is written by neither");
    const auto lost = sameResultAs_.find(i);
    guard_.Claim(i, r.path, lost == sameResultAs_.end() ? None : lost->second,
                 place_.Pattern().UsesSize());
    struct stat there;
    if (::stat(r.path.c_str(), &there) != 0) {
      allThere = false;
      continue;
    }
    if (there.st_dev == photo.st_dev && there.st_ino == photo.st_ino)
      throw EResultRefused(r.path + " would replace the photo itself");
    guard_.RefusePhotoOfTheRun(r.path, there);
    // Only a file is a result: a folder or a device at its name is not skipped.
    allThere = allThere && S_ISREG(there.st_mode) && NotOlder(there, photo);
    if (newNaming_ && notMadeHere.empty()) notMadeHere = guard_.NotOurs(r.path, key);
  }
  if (options_.dryRun) return TJobStatus::jsPlanned;
  if (options_.skipExisting && allThere) return TJobStatus::jsSkipped;
  if (!notMadeHere.empty()) throw EResultRefused(notMadeHere);
  return TJobStatus::jsWritten;
}

TPhotoRequest TPhotoJobs::Request(std::size_t i) const {
  TPhotoRequest request;
  request.photo = photos_.paths[i];
  request.keepMetadata = options_.keepMetadata;
  request.autoOrient = options_.autoOrient;
  request.toSrgb = options_.toSrgb;
  request.stripLocation = options_.stripLocation;
  request.progressive = options_.progressive;
  request.optimize = options_.optimize;
  request.refuseDamaged = options_.strict;
  request.anyFormat = options_.formats.Any();
  // --jobs photos at a time, a thread each; a run of fewer photos than jobs
  // leaves cores idle, which the decoder's own threads (a grid's tiles) use.
  request.oneThread = photos_.paths.size() >= options_.jobs;
  for (const TSizeRequest& size : options_.sizes) {
    // Resolved against each photo's (upright) size: a fit or a long edge
    // becomes that photo's width or height run.
    TResultRequest result{nullptr, {}, options_.quality, [this, size](int width, int height) {
                            return WizardSettingsFor(size, width, height, options_.noEnlarge);
                          }};
    result.maxBytes = options_.maxBytes;
    result.format = options_.format;
    if (size.kind == TSizeKind::skFill)
      result.crop = TCrop{size.value, size.height, options_.gravity.first, options_.gravity.second};
    if (newNaming_)
      result.path = [this, relative = photos_.Relative(i)](const std::string& p, int w, int h) {
        return place_.Path(p, relative, w, h);
      };
    request.results.push_back(std::move(result));
  }
  return request;
}

// Leaves by the exception that failed the photo; the caller says how it reads.
TJobStatus TPhotoJobs::Make(std::size_t i, TJobResult& job) {
  const std::string& photo = photos_.paths[i];
  struct stat photoInfo {};
  const bool checks = newNaming_ || options_.skipExisting || options_.dryRun;
  if ((checks || options_.keepDate) && ::stat(photo.c_str(), &photoInfo) != 0)
    throw EFOpenError(photo, std::strerror(errno));
  TPhotoRequest request = Request(i);
  // Checked again at the moment of the write: the folder may have changed.
  if (newNaming_)
    request.guard = [this, i](const std::string& path, const struct stat& there) {
      guard_.RefuseToReplace(i, path, there);
    };
  // Results under --output are written through their folder, opened level
  // by level from the output folder without following a link.
  TFolderFd folder;
  auto where = [&folder](const std::string& path) {
    return folder.Get() < 0 ? path : folder.PathOf(path.substr(path.rfind('/') + 1));
  };
  request.writtenAt = where;
  TPhotoStep step(request);
  const TJobStatus checked = checks ? Check(i, photoInfo, step.Plan()) : TJobStatus::jsWritten;
  if (checked != TJobStatus::jsWritten) {
    job.outcome = step.Plan();
    return checked;
  }
  if (outputFolder_)
    folder = outputFolder_->Open(RelativeFolder(photos_.Relative(i)), FolderModeOf(photo));
  job.outcome = step.Run();
  if (newNaming_) {
    const std::string key = PhotoKeyOf(photo);
    for (const TResultOutcome& r : job.outcome.results) MarkMadeFrom(where(r.path), key);
  }
  if (options_.keepDate && !job.outcome.results.empty()) {
    const timespec times[2] = {photoInfo.st_atim, photoInfo.st_mtim};
    for (const TResultOutcome& r : job.outcome.results)
      if (::utimensat(AT_FDCWD, where(r.path).c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("Cannot set the date of " + r.path);
  }
  return job.outcome.results.empty() ? TJobStatus::jsUnchanged : TJobStatus::jsWritten;
}

TJobResult TPhotoJobs::Run(std::size_t i) {
  const auto started = std::chrono::steady_clock::now();
  const std::string& photo = photos_.paths[i];
  TJobResult job;
  auto failed = [&](const std::string& text) {
    job.status = TJobStatus::jsFailed;
    job.error = photo + ": " + ErrorBoxText(text);
  };
  try {
    job.status = Make(i, job);
  } catch (const EAbandoned&) {
    job.status = TJobStatus::jsAbandoned;
  } catch (const Exception& e) {
    // The window's text, then the system's reason it does not show.
    failed(e.Detailed());
  } catch (const std::bad_alloc&) {
    failed("Out of memory");
  } catch (const std::logic_error&) {
    // A fault of this program, not of the photo: the library's own words
    // ("map::at") would tell the user nothing.
    failed("Internal fault of vizuvod-batch (please report it)");
  } catch (const std::exception& e) {
    failed(e.what());
  } catch (...) {
    failed("Unknown failure");
  }
  job.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  return job;
}

std::string DamageLine(const std::string& photo, const TJobResult& job) {
  const TPhotoWarning* damaged = job.outcome.First(TWarningKind::wkDamaged);
  return damaged && job.status != TJobStatus::jsFailed
             ? photo + ": written from damaged data: " + damaged->text
             : "";
}

std::vector<std::string> MetadataLines(const std::string& photo, const TJobResult& job) {
  std::vector<std::string> lines;
  for (const TPhotoWarning& w : job.outcome.warnings)
    if (w.kind == TWarningKind::wkMetadata || w.kind == TWarningKind::wkFrames)
      lines.push_back(photo + ": " + w.text);
  return lines;
}

}  // namespace vizuvod

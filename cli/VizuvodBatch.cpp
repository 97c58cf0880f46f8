// vizuvod-batch's main and its run: the options are read (BatchOptions), the
// photos found (PhotoScan, or PhotoSources for --recursive and --files-from),
// the --output folder made, each photo's job run several at a time
// (PhotoJob over ParallelRun), and the progress, summary, dry-run lines and
// report written (Progress and the report lines here).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "BatchOptions.h"
#include "ParallelRun.h"
#include "PhotoJob.h"
#include "PhotoSources.h"
#include "PrintableText.h"
#include "ProcessSetup.h"
#include "Progress.h"
#include "core/Bitmap.h"
#include "files/SafeFiles.h"
#include "formats/Formats.h"
#include "photo/BatchRun.h"
#include "photo/PhotoScan.h"

namespace vizuvod {

namespace {

constexpr int ExitOk = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

const char* StatusText(TJobStatus status) {
  switch (status) {
    case TJobStatus::jsWritten: return "written";
    case TJobStatus::jsUnchanged: return "unchanged";
    case TJobStatus::jsSkipped: return "skipped";
    case TJobStatus::jsPlanned: return "planned";
    case TJobStatus::jsFailed: return "failed";
    case TJobStatus::jsAbandoned: return "abandoned";
  }
  return "";
}

// Every result of the photo (several with several sizes) and its warnings,
// after the fields that describe the first result.
std::string ResultsAndWarnings(const TJobResult& job) {
  std::string text = ",\"results\":[";
  for (const TResultOutcome& r : job.outcome.results)
    text += std::string(text.back() == '[' ? "" : ",") + "{\"path\":" + JsonString(r.path) +
            ",\"width\":" + std::to_string(r.width) + ",\"height\":" + std::to_string(r.height) +
            ",\"bytes\":" + std::to_string(r.bytes) +
            (r.quality ? ",\"quality\":" + std::to_string(r.quality) +
                             ",\"encodes\":" + std::to_string(r.encodes)
                       : "") +
            "}";
  text += "],\"warnings\":[";
  // Damaged data the library completed, then metadata that was not carried.
  for (const TPhotoWarning& w : job.outcome.warnings)
    text += std::string(text.back() == '[' ? "" : ",") + JsonString(w.text);
  return text + "]";
}

std::string ReportLine(const std::string& photo, const TJobResult& job) {
  const TPhotoOutcome& o = job.outcome;
  std::uintmax_t bytesOut = 0;
  for (const TResultOutcome& r : o.results) bytesOut += r.bytes;
  const TResultOutcome first = o.results.empty() ? TResultOutcome{} : o.results.front();
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", job.seconds);
  // A photo written from damaged data says so, with the library's warning.
  const std::string damage = DamageLine(photo, job);
  const bool damaged = job.status == TJobStatus::jsWritten && !damage.empty();
  std::string error = damaged ? damage : job.error;
  if (error.starts_with(photo + ": ")) error.erase(0, photo.size() + 2);
  return "{\"photo\":" + JsonString(photo) + ",\"result\":" + JsonString(first.path) +
         ",\"source_width\":" + std::to_string(o.width) +
         ",\"source_height\":" + std::to_string(o.height) +
         ",\"result_width\":" + std::to_string(first.width) +
         ",\"result_height\":" + std::to_string(first.height) +
         ",\"bytes_in\":" + std::to_string(o.bytes) + ",\"bytes_out\":" + std::to_string(bytesOut) +
         ",\"seconds\":" + seconds + ",\"status\":\"" +
         (damaged ? "damaged" : StatusText(job.status)) + "\",\"error\":" + JsonString(error) +
         ResultsAndWarnings(job) + "}\n";
}

std::string DryRunLines(const std::string& photo, const TJobResult& job) {
  if (job.status != TJobStatus::jsPlanned) return "";
  std::string lines;
  for (const TResultOutcome& r : job.outcome.results)
    lines += PrintableText(photo) + " -> " + PrintableText(r.path) + " (" +
             std::to_string(r.width) + "x" + std::to_string(r.height) + ")\n";
  return lines;
}

// A run that cannot start: the line says why, the exit status is 1.
struct TCannotStart {
  std::string line;
};

// Made before the scan, so that the scan knows it and never walks into it.
void MakeOutputFolder(const TOptions& options) {
  if (!options.output || options.dryRun) return;
  std::error_code ec;
  const bool made = !std::filesystem::exists(*options.output, ec);
  std::filesystem::create_directories(*options.output, ec);
  // A private album's results stay private: a folder the run makes takes
  // the mode of the photos' folder, less the umask (never a file's mode,
  // which would leave a folder nobody can enter).
  struct stat folder;
  if (const int umask = CurrentUmask(); made && !ec && umask >= 0 && !options.filesFrom &&
                                        ::stat(options.folder.c_str(), &folder) == 0 &&
                                        S_ISDIR(folder.st_mode))
    ::chmod(options.output->c_str(), folder.st_mode & 07777 & ~mode_t(umask));
  if (ec || !std::filesystem::is_directory(*options.output))
    throw TCannotStart{"vizuvod-batch: cannot create the folder " + *options.output + ": " +
                       (ec ? ec.message() : "a file of that name is in the way")};
}

// When the scan found no photo: a line naming the files of formats it did
// not take ("no photos found; 12 PNG files here: add --formats png"), or "".
std::string OtherFormatsHint(const TOptions& options) {
  if (options.filesFrom) return "";
  TScan all;
  all.recursive = options.recursive;
  all.formats = {true, true, true, true, true};
  const TPhotoList found = ScanPhotos(options.folder, all);
  std::string counts, words;
  for (const TFormatRow& kind : FormatRows()) {
    if (!kind.readable) continue;
    TFormats only;
    only.*kind.chosen = true;
    std::size_t n = 0;
    for (const std::string& path : found.paths)
      n += IsFormatName(path.substr(path.rfind('/') + 1), only) &&
           !IsFormatName(path.substr(path.rfind('/') + 1), options.formats) &&
           !(!options.formats.Any() && IsPhotoName(path.substr(path.rfind('/') + 1)));
    if (n == 0) continue;
    counts += (counts.empty() ? "" : ", ") + std::to_string(n) + " " + kind.label +
              (n == 1 ? " file" : " files");
    words += (words.empty() ? "" : ",") + std::string(kind.name);
  }
  return counts.empty() ? "" : "\nno photos found; " + counts + " here: add --formats " + words;
}

TPhotoList FindPhotos(const TOptions& options, const TResultPlace& place) {
  TPhotoList photos;
  try {
    if (options.filesFrom) {
      photos = ReadPhotoList(*options.filesFrom, options.null);
    } else {
      if (const std::string problem = FolderProblem(options.folder); !problem.empty())
        throw std::runtime_error(problem);
      TScan scan;
      scan.recursive = options.recursive;
      scan.formats = options.formats;
      if (options.NewNaming()) scan.results = &place.Pattern();
      struct stat info;
      if (options.output && ::stat(options.output->c_str(), &info) == 0)
        scan.skip = std::make_pair(info.st_dev, info.st_ino);
      photos = ScanPhotos(options.folder, scan);
    }
  } catch (const std::exception& e) {
    throw TCannotStart{"vizuvod-batch: " + PrintableText(e.what())};
  }
  // What could not be walked is a failure of the run; the rest is still done.
  for (const std::string& problem : photos.problems)
    std::cerr << "vizuvod-batch: " << PrintableText(problem) << "\n";
  if (StopSignal() != 0) return photos;
  if (photos.paths.empty())
    throw TCannotStart{PrintableText(options.filesFrom ? *options.filesFrom : options.folder) +
                       ": " + NoPhotosWarning + OtherFormatsHint(options)};
  return photos;
}

// The report file, open for the whole run. It is refused before anything is
// written when it would land on a photo of the run or on a result, and a
// link planted at its name is not followed.
class TReportFile {
 public:
  TReportFile(const std::optional<std::string>& path, const TResultGuard& photos,
              const std::vector<std::string>& results)
      : path_(path) {
    if (!path) return;
    struct stat there;
    if (::stat(path->c_str(), &there) == 0 && photos.Holds(there))
      throw TCannotStart{"vizuvod-batch: the report " + *path +
                         " is a photo of this run; it is not written over"};
    std::error_code ec;
    const auto report = std::filesystem::weakly_canonical(*path, ec);
    for (const std::string& result : results)
      if (!result.empty() && !ec && std::filesystem::weakly_canonical(result, ec) == report)
        throw TCannotStart{"vizuvod-batch: the report " + *path + " is a result of this run"};
    const int fd = ::open(path->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC,
                          photos.AnyPrivate() ? 0600 : 0666);
    if (fd < 0 || !(file_ = ::fdopen(fd, "w"))) {
      const std::string reason = std::strerror(errno);
      if (fd >= 0) ::close(fd);
      throw TCannotStart{"vizuvod-batch: cannot write the report " + *path + ": " + reason};
    }
  }
  ~TReportFile() {
    if (file_) std::fclose(file_);
  }
  std::FILE* File() const { return file_; }
  // False, with a message, when the report could not be written whole.
  bool Close(TOrderedLines& lines) {
    if (!file_) return true;
    lines.Flush();
    const bool good = lines.Good() && std::fclose(std::exchange(file_, nullptr)) == 0;
    if (!good)
      std::cerr << "vizuvod-batch: the report " << *path_ << " could not be written whole\n";
    return good;
  }

 private:
  const std::optional<std::string> path_;
  std::FILE* file_ = nullptr;
};

TSummary RunPhotos(const TOptions& options, const TPhotoList& photos, TPhotoJobs& jobs,
                   TOrderedLines& report) {
  TOrderedLines dryRun(stdout);
  TProgress progress(photos.paths.size(), options.quiet);
  TParallelRun run(
      photos.paths,
      SharedFileOrder(photos.paths, [&](std::size_t i) { return jobs.KnownResultPath(i); }),
      {options.jobs, options.keepGoing},
      [&](std::size_t i) {
        TJobResult job = jobs.Run(i);
        if (options.dryRun) dryRun.Put(i, DryRunLines(photos.paths[i], job));
        if (options.report) report.Put(i, ReportLine(photos.paths[i], job));
        return job;
      },
      progress);
  run.Run();
  dryRun.Flush();

  TSummary summary;
  summary.written = run.Count(TJobStatus::jsWritten);
  summary.skipped = run.Count(TJobStatus::jsSkipped);
  summary.planned = run.Count(TJobStatus::jsPlanned);
  summary.dryRun = options.dryRun;
  summary.total = photos.paths.size();
  summary.seconds = std::chrono::duration<double>(run.Duration()).count();
  summary.failures = run.Failures();
  summary.damaged = run.Damaged();
  summary.warned = run.Warned();
  summary.keepGoing = options.keepGoing;
  summary.interrupted = StopSignal() != 0;
  return summary;
}

int Run(const TOptions& options) {
  if (options.stripLocation && !options.keepMetadata && !options.quiet)
    std::cerr << "vizuvod-batch: note: --strip-location has nothing to strip without "
                 "--keep-metadata: results carry no location (nor any other metadata)\n";
  MakeOutputFolder(options);
  const TResultPlace place(options);
  TPhotoList photos = FindPhotos(options, place);
  if (StopSignal() != 0) {
    std::cerr << "vizuvod-batch: stopped while finding the photos\n";
    return 128 + StopSignal();
  }
  const int found = photos.problems.empty() ? ExitOk : ExitFailed;
  // Every photo found, those of other shards too, is kept from being written over.
  TResultGuard guard(photos.paths, " (remove it, or use --skip-existing)");
  if (options.shardCount > 1) {
    // Photos that would share a result share a shard, so that one of the
    // shards sees both and refuses the second, as a single run does.
    // With sizes in the name they are left at 0: an approximation that the
    // result marks make safe.
    std::vector<std::string> keys(photos.paths.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
      keys[i] = options.NewNaming() ? place.Path(photos.paths[i], photos.Relative(i), 0, 0)
                                    : photos.Relative(i);
    KeepShard(photos, options.shardIndex, options.shardCount, keys);
    if (photos.paths.empty()) {
      if (!options.quiet)
        std::cout << "No photo falls in shard " << options.shardIndex << "/" << options.shardCount
                  << ".\n";
      return found;
    }
  }
  std::optional<TPhotoJobs> opened;
  try {
    opened.emplace(options, photos, guard);
  } catch (const std::exception& e) {
    throw TCannotStart{"vizuvod-batch: " + PrintableText(e.what())};
  }
  TPhotoJobs& jobs = *opened;
  std::vector<std::string> results(photos.paths.size());
  for (std::size_t i = 0; options.report && i < results.size(); ++i)
    results[i] = jobs.KnownResultPath(i);
  TReportFile reportFile(options.report, guard, results);
  TOrderedLines report(reportFile.File());
  const TSummary summary = RunPhotos(options, photos, jobs, report);
  PrintSummary(summary, options.quiet);
  const bool reportWritten = reportFile.Close(report);

  if (StopSignal() != 0) return 128 + StopSignal();
  const std::size_t done = summary.written + summary.skipped + summary.planned;
  return summary.failures.empty() && done == summary.total && reportWritten ? found : ExitFailed;
}

}  // namespace

}  // namespace vizuvod

int main(int argc, char** argv) {
  using namespace vizuvod;
  // Before anything is opened: a closed descriptor 2 would otherwise be the
  // next file's number, and progress text would land in a result.
  EnsureStandardDescriptors();
  InstallSignalHandlers();
  MapLargeBlocks();
  if (WantsHelp(argc, argv)) {
    std::cout << UsageText << "\n" << HelpText();
    return ExitOk;
  }
  if (WantsVersion(argc, argv)) {
    std::cout << VersionText;
    return ExitOk;
  }
  TOptions options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const TUsageError& error) {
    std::cerr << "vizuvod-batch: " << error.message << "\n"
              << UsageText << "Try 'vizuvod-batch --help' for more.\n";
    return ExitUsage;
  }
  try {
    return Run(options);
  } catch (const TCannotStart& e) {
    std::cerr << e.line << "\n";
    return ExitFailed;
  }
}

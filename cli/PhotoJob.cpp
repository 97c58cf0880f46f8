#include "PhotoJob.h"

#include <exception>

TJobResult RunPhotoJob(const std::string& photo, const TOptions& options) {
  TJobResult job;
  TPhotoRequest request;
  request.photo = photo;
  request.results.push_back({&*options.settings, {}, 0});
  try {
    job.outcome = ProcessPhoto(request);
    if (!job.outcome.results.empty()) job.status = TJobStatus::jsWritten;
  } catch (const std::exception& e) {
    job.status = TJobStatus::jsFailed;
    job.error = photo + ": " + ErrorBoxText(e);
  } catch (...) {
    job.status = TJobStatus::jsFailed;
    job.error = photo + ": " + ErrorBoxText(std::string("Unknown failure"));
  }
  return job;
}

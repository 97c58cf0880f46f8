// One photo's work in vizuvod-batch: the engine's per-photo step with the
// results the command line asks for, its failure put into words.
#pragma once

#include <string>

#include "BatchOptions.h"
#include "BatchRun.h"

enum class TJobStatus {
  jsWritten,    // every result was written
  jsUnchanged,  // the settings make no result (a percentage of 100)
  jsFailed,
};

struct TJobResult {
  TJobStatus status = TJobStatus::jsUnchanged;
  std::string error;  // "<photo>: <text>" as the wizard's error box reads
  TPhotoOutcome outcome;
};

TJobResult RunPhotoJob(const std::string& photo, const TOptions& options);

// The window's options (its "Параметры" menu) as the engine is asked for
// them, and their run (TOptionsRun, the TOptionedRun the window gives
// BatchResizeRun): each photo's TPhotoRequest is made as vizuvod-batch's
// options of the same names make it. Results written in another format or
// into another folder go the way vizuvod-batch writes them under new names,
// checked by the same TResultGuard: no photo of the run and no file an
// earlier run did not make of that photo is ever replaced, two photos never
// share a result, and a result folder is reached through its descriptor, so
// no link planted in it is followed.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/RowHooks.h"
#include "files/OutputFolder.h"
#include "files/ResultGuard.h"
#include "formats/ResultFormat.h"
#include "photo/BatchRun.h"
#include "photo/PhotoStep.h"
#include "photo/ResizeSettings.h"

namespace vizuvod {

struct TWindowOptions {
  bool keepMetadata = false;                     // --keep-metadata
  bool stripLocation = false;                    // --strip-location, with keepMetadata
  bool autoOrient = false;                       // --auto-orient
  bool anyFormat = false;                        // --formats all: photos told by their first bytes
  TResultFormat format = TResultFormat::rfJpeg;  // --format
  int quality = 0;                               // --quality; 0 keeps the codec's 90
  std::uintmax_t maxBytes = 0;                   // --max-bytes; 0: no limit
  std::string resultFolder;                      // --output; empty: beside each photo
  bool toSrgb = false;                           // --to-srgb
  bool longEdge = false;   // the fit side may be LongEdgeItem: --long-edge of page 2's size
  bool keepGoing = false;  // --keep-going: a failing photo is listed, the run goes on

  bool operator==(const TWindowOptions&) const = default;
  // Results under new names or in another folder, checked as vizuvod-batch
  // checks them.
  bool Checked() const {
    return anyFormat || format != TResultFormat::rfJpeg || !resultFolder.empty();
  }
};

// One run's photos under the options: the run BatchResizeRun is given by
// the window (TBatchWindow::OptionsRun).
class TOptionsRun : public TOptionedRun {
 public:
  // Opens the result folder; throws std::runtime_error when it cannot.
  TOptionsRun(const TWindowOptions& options, const std::vector<std::string>& photos);

  // "Resize of <name>" of photo i of the list, in the result's format, in
  // its place. Throws the engine's exceptions; a refusal (TResultGuard's) says
  // why, and nothing is written then. With the long-edge option, a fit
  // side of LongEdgeItem in pixel mode makes the photo's width or height run.
  TPhotoOutcome Resize(std::size_t i, const TRunSettings& settings,
                       const TRowHooks& hooks) override;
  bool KeepGoing() const override { return options_.keepGoing; }

  // Where a photo's result goes.
  std::string ResultPath(const std::string& photo) const;

 private:
  const TWindowOptions options_;
  const std::vector<std::string> photos_;
  TResultGuard guard_;
  std::optional<TOutputFolder> folder_;
};

}  // namespace vizuvod

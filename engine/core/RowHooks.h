// What the resampling routines need of a window: a current-photo progress
// bar (0-100) and a pump for pending messages, touched once per row.
#pragma once

#include <functional>

#include "core/Abandon.h"

namespace vizuvod {

struct TRowHooks {
  std::function<void(int)> setProgress;
  std::function<void()> pumpMessages;

  void Progress(int position) const {
    if (setProgress) setProgress(position);
  }
  // Also where an abandoned photo stops: once per row is often enough.
  void Pump() const {
    if (pumpMessages) pumpMessages();
    ThrowIfAbandoned();
  }
};

}  // namespace vizuvod

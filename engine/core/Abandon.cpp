#include "core/Abandon.h"

#include "core/Errors.h"

namespace vizuvod {

std::atomic<bool> AbandonRequested{false};

static_assert(std::atomic<bool>::is_always_lock_free,
              "AbandonRequested is set from a signal handler");

void ThrowIfAbandoned() {
  if (AbandonRequested.load(std::memory_order_relaxed)) throw EAbandoned();
}

}  // namespace vizuvod

// Abandoning photos in work: set (from a signal handler, say) when a run must
// stop at once rather than after the photos it has started. Every long loop
// of the engine looks at it: the decoder's progress hook, the resamplers'
// rows, the encoder's rows and the save before it renames.
#pragma once

#include <atomic>

namespace vizuvod {

extern std::atomic<bool> AbandonRequested;

// Leaves by EAbandoned once AbandonRequested is set.
void ThrowIfAbandoned();

}  // namespace vizuvod

// Key-value observation on the device, the backend half of port/Foundation/FoundationRuntime.h.
#pragma once

#include <objc/runtime.h>

namespace qv {

// Observation on the device is the runtime's own: observing a key wraps the object's setKey:
// setter, which tells the observers after it returns. A setter has nothing more to announce.
inline void willChangeValue(id, const char*) {}
inline void notifyObservers(id, const char*) {}

}  // namespace qv

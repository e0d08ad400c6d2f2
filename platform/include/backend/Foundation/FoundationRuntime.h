// Key-value observation on the stand-in, the backend half of port/Foundation/FoundationRuntime.h.
#pragma once

#include <objc/runtime.h>

namespace qv {

// Observation is explicit: a setter of an observable property calls `notifyObservers` after it
// has stored the new value (and `willChangeValue` before, when observers may ask for the old
// value). Every observer of the key then gets observeValueForKeyPath:ofObject:change:context:
// synchronously, on the setter's thread, in registration order.
void willChangeValue(id object, const char* key);
void notifyObservers(id object, const char* key);

}  // namespace qv

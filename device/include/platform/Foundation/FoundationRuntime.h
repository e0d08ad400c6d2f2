// Foundation's run-time services on the device: the version number and key-value observation.
#pragma once

#include "platform/Foundation/Foundation.h"

extern "C" {
extern double NSFoundationVersionNumber;
extern id NSKeyValueChangeNewKey;
extern id NSKeyValueChangeOldKey;
extern id NSKeyValueChangeKindKey;
}

inline constexpr NSUInteger NSKeyValueObservingOptionNew = 1;
inline constexpr NSUInteger NSKeyValueObservingOptionOld = 2;
inline constexpr NSUInteger NSKeyValueObservingOptionInitial = 4;
inline constexpr NSInteger NSKeyValueChangeSetting = 1;

namespace qv {

// Observation on the device is the runtime's own: observing a key wraps the object's setKey:
// setter, which tells the observers after it returns. A setter has nothing more to announce.
inline void willChangeValue(id, const char*) {}
inline void notifyObservers(id, const char*) {}

}  // namespace qv

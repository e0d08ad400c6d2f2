// Foundation's run-time services as the tweak uses them: the version number and key-value
// observation. The observation calls a setter makes (willChangeValue, notifyObservers) are the
// backend's (backend/Foundation/FoundationRuntime.h): explicit on the stand-in, nothing on the
// device, whose runtime wraps an observed object's setter.
#pragma once

#include "backend/Foundation/FoundationRuntime.h"
#include "port/Foundation/Foundation.h"

extern "C" {
// The Foundation version of the running system.
extern double NSFoundationVersionNumber;
// The change dictionary's keys ("new", "old", "kind").
extern id NSKeyValueChangeNewKey;
extern id NSKeyValueChangeOldKey;
extern id NSKeyValueChangeKindKey;
}

// Key-value observation options and change kinds.
inline constexpr NSUInteger NSKeyValueObservingOptionNew = 1;
inline constexpr NSUInteger NSKeyValueObservingOptionOld = 2;
inline constexpr NSUInteger NSKeyValueObservingOptionInitial = 4;
inline constexpr NSInteger NSKeyValueChangeSetting = 1;

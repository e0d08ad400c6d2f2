// Foundation's run-time services: timers, deferred and main-thread performs, threads, the
// notification center, key-value coding and observation, assertions, and the version number.
//
// The classes (NSTimer, NSThread, NSNotification, NSNotificationCenter, NSAssertionHandler) and
// the NSObject additions (performSelector:withObject:afterDelay:,
// cancelPreviousPerformRequestsWithTarget:, performSelectorOnMainThread:withObject:waitUntilDone:,
// addObserver:forKeyPath:options:context:, removeObserver:forKeyPath:[context:],
// willChangeValueForKey:, didChangeValueForKey:, valueForKey:, setValue:forKey:) answer the
// platform's selectors. The functions below are their C++ side.
#pragma once

#include "platform/Foundation/Foundation.h"

// The Foundation version of the running system; the host sets it at start from its device.
extern "C" double NSFoundationVersionNumber;

// Key-value observation options and change dictionary keys ("new", "old", "kind").
inline constexpr NSUInteger NSKeyValueObservingOptionNew = 1;
inline constexpr NSUInteger NSKeyValueObservingOptionOld = 2;
inline constexpr NSUInteger NSKeyValueObservingOptionInitial = 4;
inline constexpr NSInteger NSKeyValueChangeSetting = 1;
extern id NSKeyValueChangeNewKey;
extern id NSKeyValueChangeOldKey;
extern id NSKeyValueChangeKindKey;

namespace qv {

// Observation is explicit: a setter of an observable property calls `notifyObservers` after it
// has stored the new value (and `willChangeValue` before, when observers may ask for the old
// value). Every observer of the key then gets observeValueForKeyPath:ofObject:change:context:
// synchronously, on the setter's thread, in registration order.
void willChangeValue(id object, const char* key);
void notifyObservers(id object, const char* key);

// How many observations are registered on the object (tests and diagnostics).
std::size_t observationCount(id object);

// Drops every observation of the object and every one it makes, for an object that goes away
// while still registered (the platform would later call a dead observer). UIView's dealloc
// calls it.
void forgetObservations(id object);

// Key-value coding through accessors: the getter `getKey`, `key` or `isKey`, the setter
// `setKey:`. Scalars (float, double, BOOL, integers) are boxed in and unboxed from NSNumber.
// An unknown key raises NSUnknownKeyException; nil for a scalar raises
// NSInvalidArgumentException. valueForKey returns an autoreleased value.
id valueForKey(id object, const char* key);
void setValueForKey(id object, id value, const char* key);

}  // namespace qv

// Foundation's run-time services: timers, deferred and main-thread performs, threads, the
// notification center, key-value coding and observation, assertions, and the version number.
//
// The classes (NSTimer, NSThread, NSNotification, NSNotificationCenter, NSAssertionHandler) and
// the NSObject additions (performSelector:withObject:afterDelay:,
// cancelPreviousPerformRequestsWithTarget:, performSelectorOnMainThread:withObject:waitUntilDone:,
// addObserver:forKeyPath:options:context:, removeObserver:forKeyPath:[context:],
// willChangeValueForKey:, didChangeValueForKey:, valueForKey:, setValue:forKey:) answer the
// platform's selectors. The functions below are their C++ side beyond the tweak's part
// (port/Foundation/FoundationRuntime.h).
#pragma once

#include "platform/Foundation/Foundation.h"
#include "port/Foundation/FoundationRuntime.h"

namespace qv {

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

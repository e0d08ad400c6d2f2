// CoreFoundation as the tweak uses it, the same on every target: the types, CFLog, CFEqual, the
// Darwin notification center and the version number, with the platform's C names. CF references
// are the objects themselves (the platform bridges them toll-free): qv::bridge converts between
// the two. CFSTR("text"), a constant string, is the backend's (backend/CoreFoundation/).
#pragma once

#include <objc/runtime.h>

#include <cstdint>
#include <type_traits>

using CFTypeRef = const void*;
using CFStringRef = const struct __CFString*;
using CFDictionaryRef = const struct __CFDictionary*;
using CFNotificationCenterRef = struct __CFNotificationCenter*;
using CFIndex = long;
using Boolean = unsigned char;

namespace qv {

// Toll-free bridging: the same pointer seen as an object or as a CF reference.
template <typename To, typename From>
To bridge(From reference) {
  static_assert(std::is_pointer_v<To> && std::is_pointer_v<From>);
  return static_cast<To>(const_cast<void*>(static_cast<const void*>(reference)));
}

}  // namespace qv

// Log levels of CFLog.
enum : std::int32_t {
  kCFLogLevelEmergency = 0,
  kCFLogLevelAlert,
  kCFLogLevelCritical,
  kCFLogLevelError,
  kCFLogLevelWarning,
  kCFLogLevelNotice,
  kCFLogLevelInfo,
  kCFLogLevelDebug,
};

enum CFNotificationSuspensionBehavior : CFIndex {
  CFNotificationSuspensionBehaviorDrop = 1,
  CFNotificationSuspensionBehaviorCoalesce,
  CFNotificationSuspensionBehaviorHold,
  CFNotificationSuspensionBehaviorDeliverImmediately,
};

using CFNotificationCallback = void (*)(CFNotificationCenterRef center, void* observer,
                                        CFStringRef name, const void* object,
                                        CFDictionaryRef userInfo);

extern "C" {

// The CoreFoundation version of the simulated system; 0 until the host sets it at start.
extern double kCFCoreFoundationVersionNumber;

// Formats as stringWithFormat: does (%@ prints the object's description) and logs the message
// as one line. A NULL format raises NSInvalidArgumentException.
void CFLog(std::int32_t level, CFStringRef format, ...);

// isEqual: of the two objects; false when either is NULL.
Boolean CFEqual(CFTypeRef first, CFTypeRef second);

// The Darwin center delivers on the main run loop of every process that observes a name, to
// each observer of the name in the order of registration. Darwin notifications carry no object
// and no user info: callbacks receive NULL for both, and the object given to an observer or a
// post is ignored, as is deliverImmediately. Registering the same observer, callback and name
// again only updates the suspension behaviour. A center other than the Darwin center, a NULL
// name, a NULL callback or an unknown suspension behaviour raises NSInvalidArgumentException.
CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter();
void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callback, CFStringRef name,
                                     const void* object,
                                     CFNotificationSuspensionBehavior suspensionBehavior);
// Removes the observer's registrations for the name, or for every name when name is NULL.
void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, const void* observer,
                                        CFStringRef name, const void* object);
void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center, const void* observer);
void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name,
                                          const void* object, CFDictionaryRef userInfo,
                                          Boolean deliverImmediately);

}  // extern "C"

// The backend completes what is declared above.
#include "backend/CoreFoundation/CoreFoundation.h"

// CoreFoundation as the tweak uses it: CFLog, CFEqual, the Darwin notification center and the
// version number, with the platform's C names. CF references are the objects themselves (the
// platform bridges them toll-free): qv::bridge converts between the two.
//
// Seams for the simulator and the tests, each with a working default: the log sink (default:
// standard error), the Darwin post handler (default: deliver in this process) and the process's
// suspension.
#pragma once

#include <objc/runtime.h>

#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

struct QVOpaqueCFString;
struct QVOpaqueCFDictionary;
struct QVOpaqueCFNotificationCenter;

using CFTypeRef = const void*;
using CFStringRef = const QVOpaqueCFString*;
using CFDictionaryRef = const QVOpaqueCFDictionary*;
using CFNotificationCenterRef = QVOpaqueCFNotificationCenter*;
using CFIndex = long;
using Boolean = unsigned char;

// CFSTR("text"): a constant string. It is Foundation's "text"_ns, so the caller includes
// platform/Foundation/Foundation.h.
#define CFSTR(text) (reinterpret_cast<CFStringRef>(text##_ns))

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

namespace qv {

// Every line CFLog wrote in this process, oldest first.
std::vector<std::string> processLog();
void clearProcessLog();

// Seam: where CFLog's lines go besides the process log. The default writes each to standard
// error; an empty function restores it.
using LogSink = std::function<void(int level, const std::string& message)>;
void setLogSink(LogSink sink);

// What a library the platform uses says of itself (libav's diagnostics): never in the process
// log, which holds the lines of the platform, the apps and the tweak, but at the debug level in
// the simulator's trace. By default each goes to standard error.
void logDiagnostic(const std::string& message);

// Seam: where diagnostics go. An empty function restores standard error.
using DiagnosticSink = std::function<void(const std::string& message)>;
void setDiagnosticSink(DiagnosticSink sink);

// Seam for the simulator's supervisor, which carries a post to every process, the poster
// included: when set, posts go to the handler instead of being delivered here. An empty
// function restores local delivery.
void setDarwinPostHandler(std::function<void(const std::string& name)> handler);

// Delivers a Darwin notification that arrived from outside, as a local post does.
void deliverDarwinNotification(const std::string& name);

// While the process is suspended, each observer's behaviour decides: Drop loses the
// notification, Coalesce keeps one per name, Hold keeps each, DeliverImmediately delivers it.
// Resuming delivers what was kept, in the order it arrived.
void setProcessSuspended(bool suspended);

}  // namespace qv

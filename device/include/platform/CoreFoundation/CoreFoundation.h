// CoreFoundation as the tweak uses it, declared as the device's CoreFoundation exports it:
// CFLog, CFEqual, the Darwin notification center and the version number. CF references and
// objects are toll-free bridged: qv::bridge converts between the two.
#pragma once

#include <objc/runtime.h>

#include <cstdint>
#include <type_traits>

using CFTypeRef = const void*;
using CFStringRef = const struct __CFString*;
using CFDictionaryRef = const struct __CFDictionary*;
using CFAllocatorRef = const struct __CFAllocator*;
using CFNotificationCenterRef = struct __CFNotificationCenter*;
using CFIndex = long;
using Boolean = unsigned char;
using CFStringEncoding = std::uint32_t;

inline constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;

// A constant string in the library's own data, as the platform's compilers emit it.
#define CFSTR(text) \
  (reinterpret_cast<CFStringRef>(__builtin___CFStringMakeConstantString("" text "")))

namespace qv {

template <typename To, typename From>
To bridge(From reference) {
  static_assert(std::is_pointer_v<To> && std::is_pointer_v<From>);
  return static_cast<To>(const_cast<void*>(static_cast<const void*>(reference)));
}

}  // namespace qv

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

extern double kCFCoreFoundationVersionNumber;

void CFLog(std::int32_t level, CFStringRef format, ...);
Boolean CFEqual(CFTypeRef first, CFTypeRef second);
CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* text,
                                      CFStringEncoding encoding);
CFStringRef CFStringCreateWithBytes(CFAllocatorRef allocator, const std::uint8_t* bytes,
                                    CFIndex length, CFStringEncoding encoding,
                                    Boolean isExternalRepresentation);

CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter();
void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callback, CFStringRef name,
                                     const void* object,
                                     CFNotificationSuspensionBehavior suspensionBehavior);

}  // extern "C"

// CoreFoundation on the device, the backend half of port/CoreFoundation/CoreFoundation.h (which
// includes it at its end): the compiler's constant strings, and the string functions the device
// layer makes its strings with.
#pragma once

#include <cstdint>

using CFAllocatorRef = const struct __CFAllocator*;
using CFStringEncoding = std::uint32_t;

inline constexpr CFStringEncoding kCFStringEncodingUTF8 = 0x08000100;

// A constant string in the library's own data, as the platform's compilers emit it.
#define CFSTR(text) \
  (reinterpret_cast<CFStringRef>(__builtin___CFStringMakeConstantString("" text "")))

extern "C" {
CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* text,
                                      CFStringEncoding encoding);
CFStringRef CFStringCreateWithBytes(CFAllocatorRef allocator, const std::uint8_t* bytes,
                                    CFIndex length, CFStringEncoding encoding,
                                    Boolean isExternalRepresentation);
}

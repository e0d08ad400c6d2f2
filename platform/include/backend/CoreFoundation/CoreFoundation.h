// The stand-in's constant strings, the backend half of port/CoreFoundation/CoreFoundation.h
// (which includes it at its end).
#pragma once

// CFSTR("text"): a constant string. It is Foundation's "text"_ns, so the caller includes
// port/Foundation/Foundation.h.
#define CFSTR(text) (reinterpret_cast<CFStringRef>(text##_ns))

// The Apple Objective-C runtime's basic types on iOS, arm64 and armv7, as the device's
// libobjc.A.dylib defines them. Compatible with Objective-C++, where id, SEL and Class are built in.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

typedef struct objc_class* Class;
typedef struct objc_object {
  Class isa;
} * id;
typedef struct objc_selector* SEL;
typedef void (*IMP)(void);

// On arm64, BOOL is the C++ bool ('B' in type encodings); on 32-bit iOS a signed char ('c').
#if defined(__LP64__)
typedef bool BOOL;
#else
typedef signed char BOOL;
#endif
#define YES ((BOOL)1)
#define NO ((BOOL)0)

#ifndef nil
#define nil nullptr
#endif
#ifndef Nil
#define Nil nullptr
#endif

const char* sel_getName(SEL selector);
SEL sel_registerName(const char* name);

#ifdef __cplusplus
}
#endif

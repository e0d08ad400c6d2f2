// Foundation: the value classes (NSString, NSNumber, NSArray, NSMutableArray, NSDictionary,
// NSData, NSDate) with the platform's selectors, and the C++ side of them.
//
// Messages are the interface: code of the tweak and the hosts talks to these classes with the
// Apple selectors through `send`. The functions below are conveniences for C++ code of the
// platform, the hosts and the tests.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/objc/Object.h"

using NSInteger = long;
using NSUInteger = unsigned long;
using NSTimeInterval = double;

namespace qv {

// A new string (+1 reference).
Ref<> makeString(std::string_view utf8);

// The UTF-8 text of a string; empty for nil.
std::string utf8(id string);

// The `description` of any object as UTF-8 ("(null)" for nil), as %@ prints it.
std::string describe(id object);

// printf-style formatting with the platform's extensions, as stringWithFormat: and CFLog
// format: %@ prints an object's description; flags, width, precision and the length modifiers
// hh h l ll q z t j L apply to the C conversions d i u o x X c s p f F e E g G a A and %%.
std::string formatString(const char* format, va_list arguments);
std::string formatString(const char* format, ...);

// Numbers (+1 reference).
Ref<> makeNumber(bool value);
Ref<> makeNumber(long long value);
Ref<> makeNumber(unsigned long long value);
Ref<> makeNumber(float value);
Ref<> makeNumber(double value);

}  // namespace qv

// An immortal string for a literal, as @"text" is on the platform: "text"_ns. One object per
// literal text and library, never deallocated.
namespace qv::detail {
id immortalString(const char* utf8);
}

template <qv::detail::SelectorName Text>
id operator""_ns() {
  static const id string = qv::detail::immortalString(Text.text);
  return string;
}

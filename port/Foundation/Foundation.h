// Foundation's integer types and C functions, and the C++ conveniences that make and read its
// value classes through their messages: the same on every target.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "port/objc/Object.h"

// A word on every target: int on 32-bit devices, as their Foundation declares it.
#if defined(__LP64__)
using NSInteger = long;
using NSUInteger = unsigned long;
#else
using NSInteger = int;
using NSUInteger = unsigned int;
#endif
using NSTimeInterval = double;

// What indexOfObject: answers for an absent object.
constexpr NSUInteger NSNotFound = LONG_MAX;

extern "C" {
// The selector's name, autoreleased; nil for no selector.
id NSStringFromSelector(SEL selector);
// The class of that name, or Nil (also for a nil name).
Class NSClassFromString(id name);
}

namespace qv {

// A new string (+1 reference) of the UTF-8 text.
Ref<> makeString(std::string_view utf8);

// The UTF-8 text of a string; empty for nil.
std::string utf8(id string);

// The `description` of any object as UTF-8 ("(null)" for nil), as %@ prints it.
std::string describe(id object);

// Numbers (+1 reference).
Ref<> makeNumber(bool value);
Ref<> makeNumber(long long value);
Ref<> makeNumber(unsigned long long value);
Ref<> makeNumber(float value);
Ref<> makeNumber(double value);
// Integer literals and NSInteger values would otherwise be ambiguous among the overloads above.
Ref<> makeNumber(int value);
Ref<> makeNumber(long value);
Ref<> makeNumber(unsigned long value);

// Arrays and dictionaries (+1 reference); they retain their elements, dictionaries copy keys.
Ref<> makeArray(const std::vector<id>& elements);
Ref<> makeDictionary(const std::vector<std::pair<id, id>>& entries);

// The elements of an NSArray in order, as the array holds them now (empty for nil or another
// kind of object). The array keeps them alive while it is not changed.
std::vector<id> arrayElements(id array);

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

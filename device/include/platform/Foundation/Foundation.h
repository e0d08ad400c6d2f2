// Foundation on the device: the integer types, the C functions, and the C++ conveniences that
// make and read Foundation's value classes through their messages.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/objc/Object.h"

using NSInteger = long;
using NSUInteger = unsigned long;
using NSTimeInterval = double;

constexpr NSUInteger NSNotFound = LONG_MAX;

extern "C" {
id NSStringFromSelector(SEL selector);
Class NSClassFromString(id name);
}

namespace qv {

// A new string (+1 reference); nil for text that is not UTF-8, which NSString refuses.
Ref<> makeString(std::string_view utf8);

// The UTF-8 text of a string; empty for nil.
std::string utf8(id string);

// The `description` of any object as UTF-8 ("(null)" for nil).
std::string describe(id object);

// Numbers (+1 reference).
Ref<> makeNumber(bool value);
Ref<> makeNumber(long long value);
Ref<> makeNumber(unsigned long long value);
Ref<> makeNumber(float value);
Ref<> makeNumber(double value);
Ref<> makeNumber(int value);
Ref<> makeNumber(long value);
Ref<> makeNumber(unsigned long value);

// Arrays and dictionaries (+1 reference).
Ref<> makeArray(const std::vector<id>& elements);
Ref<> makeDictionary(const std::vector<std::pair<id, id>>& entries);

// The elements of an NSArray in order (empty for nil or another kind of object).
std::vector<id> arrayElements(id array);

}  // namespace qv

// A string for a literal: "text"_ns, made once per literal text and never released.
namespace qv::detail {
id immortalString(const char* utf8);
}

template <qv::detail::SelectorName Text>
id operator""_ns() {
  static const id string = qv::detail::immortalString(Text.text);
  return string;
}

// The value behind an NSNumber: the kind it was made as and its value, with every conversion
// between kinds defined. Integer to integer truncates as C does (two's complement); a floating
// value saturates at the target type's limits and NaN gives 0; nothing is undefined behaviour.
#pragma once

#include <cmath>
#include <concepts>
#include <cstddef>
#include <limits>
#include <string>

#include "port/Foundation/Saturate.h"

namespace qv::foundation {

// A double as the nearest float; beyond the float range, an infinity of the same sign.
inline float toFloat(double value) {
  constexpr double largest = std::numeric_limits<float>::max();
  if (value > largest) return value < 0x1.ffffffp127 ? largest : HUGE_VALF;
  if (value < -largest) return value > -0x1.ffffffp127 ? -largest : -HUGE_VALF;
  return static_cast<float>(value);
}

using qv::saturate;

template <typename To, typename From>
To convertNumber(From value) {
  if constexpr (std::floating_point<From>) {
    if constexpr (std::same_as<To, bool>) return value != 0 && !std::isnan(value);
    if constexpr (std::same_as<To, float>) return toFloat(value);
    if constexpr (std::same_as<To, double>) return value;
    if constexpr (std::integral<To> && !std::same_as<To, bool>) return saturate<To>(value);
  } else {
    if constexpr (std::same_as<To, bool>) return value != 0;
    if constexpr (!std::same_as<To, bool>) return static_cast<To>(value);
  }
}

enum class NumberKind { boolean, character, integer, longLong, unsignedLongLong, single, double_ };

class NumberValue {
 public:
  NumberValue() = default;
  static NumberValue ofBool(bool value);
  static NumberValue ofChar(char value);
  static NumberValue ofInt(int value);
  static NumberValue ofLongLong(long long value);
  static NumberValue ofUnsignedLongLong(unsigned long long value);
  static NumberValue ofFloat(float value);
  static NumberValue ofDouble(double value);

  NumberKind kind() const { return kind_; }

  template <typename T>
  T as() const {
    return visit([](auto value) { return convertNumber<T>(value); });
  }

  // The type encoding of the kind: "c" for booleans and characters, "i", "q", "Q", "f", "d".
  const char* objCType() const;

  // As the platform prints numbers: integers in decimal, booleans as 1 or 0, floats with 7 and
  // doubles with 16 significant digits.
  std::string text() const;

  // Ordering by mathematical value across kinds: -1, 0 or 1. Every NaN equals every NaN and
  // sorts below all other values; -0 equals 0.
  int compare(const NumberValue& other) const;

  // Equal values (compare() == 0) hash alike, whatever their kinds.
  std::size_t hash() const;

 private:
  // A number of `kind` holding `value` in the member that kind reads.
  static NumberValue ofSigned(NumberKind kind, long long value);
  static NumberValue ofFloating(NumberKind kind, double value);

  bool isFloating() const { return kind_ == NumberKind::single || kind_ == NumberKind::double_; }

  // Calls `f` with the stored member that is active for the kind.
  template <typename F>
  auto visit(F f) const {
    if (kind_ == NumberKind::unsignedLongLong) return f(unsigned_);
    if (isFloating()) return f(floating_);
    return f(signed_);
  }

  NumberKind kind_ = NumberKind::integer;
  union {
    long long signed_ = 0;
    unsigned long long unsigned_;
    double floating_;
  };
};

}  // namespace qv::foundation

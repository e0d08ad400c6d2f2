// Whole numbers from doubles without undefined behaviour: truncation toward zero, clamped to the
// target type's limits, NaN as 0. The platform's numeric conversions and every caller that turns
// a rate or a setting into an integer use this one rule.
#pragma once

#include <cmath>
#include <concepts>
#include <limits>

namespace qv {

template <std::integral Int>
Int saturate(double value) {
  using Limits = std::numeric_limits<Int>;
  if (std::isnan(value)) return 0;
  // Both bounds are powers of two (or zero), exact as doubles.
  constexpr double lowest = static_cast<double>(Limits::min());
  constexpr double pastHighest = 2.0 * static_cast<double>(Limits::max() / 2 + 1);
  if (value <= lowest) return Limits::min();
  if (value >= pastHighest) return Limits::max();
  return static_cast<Int>(value);
}

}  // namespace qv

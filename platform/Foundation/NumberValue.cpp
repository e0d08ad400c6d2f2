#include "platform/Foundation/NumberValue.h"

#include <cstdint>
#include <string>

#include "platform/Foundation/Foundation.h"

namespace qv::foundation {
namespace {

// Every value of every kind is exact as a 128-bit integer or as an x87 long double (a 64-bit
// significand holds any 64-bit integer and any double), so comparisons never round.
using Wide = __int128;

std::size_t hashWide(Wide value) {
  const auto low = static_cast<std::uint64_t>(value);
  const auto high = static_cast<std::uint64_t>(value >> 64);
  return static_cast<std::size_t>(low ^ (high * 0x9E3779B97F4A7C15ULL));
}

template <typename T>
int threeWay(T a, T b) {
  return a < b ? -1 : (b < a ? 1 : 0);
}

}  // namespace

NumberValue NumberValue::ofSigned(NumberKind kind, long long value) {
  NumberValue number;
  number.kind_ = kind;
  number.signed_ = value;
  return number;
}

NumberValue NumberValue::ofFloating(NumberKind kind, double value) {
  NumberValue number;
  number.kind_ = kind;
  number.floating_ = value;
  return number;
}

NumberValue NumberValue::ofBool(bool value) {
  return ofSigned(NumberKind::boolean, value ? 1 : 0);
}

NumberValue NumberValue::ofChar(char value) {
  return ofSigned(NumberKind::character, value);
}

NumberValue NumberValue::ofInt(int value) {
  return ofSigned(NumberKind::integer, value);
}

NumberValue NumberValue::ofLongLong(long long value) {
  return ofSigned(NumberKind::longLong, value);
}

NumberValue NumberValue::ofUnsignedLongLong(unsigned long long value) {
  NumberValue number;
  number.kind_ = NumberKind::unsignedLongLong;
  number.unsigned_ = value;
  return number;
}

NumberValue NumberValue::ofFloat(float value) {
  return ofFloating(NumberKind::single, value);
}

NumberValue NumberValue::ofDouble(double value) {
  return ofFloating(NumberKind::double_, value);
}

const char* NumberValue::objCType() const {
  switch (kind_) {
    case NumberKind::boolean:
    case NumberKind::character:
      return "c";
    case NumberKind::integer:
      return "i";
    case NumberKind::longLong:
      return "q";
    case NumberKind::unsignedLongLong:
      return "Q";
    case NumberKind::single:
      return "f";
    case NumberKind::double_:
      break;
  }
  return "d";
}

std::string NumberValue::text() const {
  switch (kind_) {
    case NumberKind::unsignedLongLong:
      return std::to_string(unsigned_);
    case NumberKind::single:
      return formatString("%.7g", floating_);
    case NumberKind::double_:
      return formatString("%.16g", floating_);
    default:
      return std::to_string(signed_);
  }
}

int NumberValue::compare(const NumberValue& other) const {
  if (!isFloating() && !other.isFloating()) {
    return threeWay(visit([](auto v) { return Wide(v); }),
                    other.visit([](auto v) { return Wide(v); }));
  }
  const long double mine = visit([](auto v) { return static_cast<long double>(v); });
  const long double theirs = other.visit([](auto v) { return static_cast<long double>(v); });
  if (std::isnan(mine) || std::isnan(theirs)) {
    return threeWay(!std::isnan(mine), !std::isnan(theirs));
  }
  return threeWay(mine, theirs);
}

std::size_t NumberValue::hash() const {
  if (!isFloating()) return hashWide(visit([](auto v) { return Wide(v); }));
  if (std::isnan(floating_)) return 0x7FF8;
  // Whole values in the range of the integer kinds hash as those integers do.
  constexpr double lowest = -0x1p63;
  constexpr double pastHighest = 0x1p64;
  if (floating_ >= lowest && floating_ < pastHighest && std::trunc(floating_) == floating_) {
    return hashWide(static_cast<Wide>(floating_));
  }
  return std::hash<double>{}(floating_);
}

}  // namespace qv::foundation

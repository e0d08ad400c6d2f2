// NSDate: an instant, kept as seconds since 1970-01-01 00:00:00 UTC. "Now" is the platform's
// clock, virtual unless the simulator paces it with the wall clock.
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/Foundation/Classes.h"
#include "platform/Foundation/Foundation.h"
#include "platform/dispatch/Clock.h"

namespace qv::foundation {
namespace {

struct DateState {
  NSTimeInterval since1970 = 0;
};

NSTimeInterval secondsOf(id date) {
  return stateOf<DateState>(date).since1970;
}

// Whole seconds and the rest apart, so that no nanosecond is lost to rounding at 1.7e18.
NSTimeInterval now() {
  constexpr std::int64_t perSecond = 1'000'000'000;
  const std::int64_t instant = Clock::now();
  return static_cast<double>(instant / perSecond) +
         static_cast<double>(instant % perSecond) / perSecond;
}

id initWithTimeIntervalSince1970(id self, SEL, NSTimeInterval seconds) {
  stateOf<DateState>(self).since1970 = seconds;
  return self;
}

id dateWithTimeIntervalSince1970(id cls, SEL, NSTimeInterval seconds) {
  return autorelease(
      send<id>(send<id>(cls, "alloc"_sel), "initWithTimeIntervalSince1970:"_sel, seconds));
}

id init(id self, SEL) {
  return initWithTimeIntervalSince1970(self, nullptr, now());
}

id date(id cls, SEL) {
  return dateWithTimeIntervalSince1970(cls, nullptr, now());
}

id dateWithTimeIntervalSinceNow(id cls, SEL, NSTimeInterval seconds) {
  return dateWithTimeIntervalSince1970(cls, nullptr, now() + seconds);
}

NSTimeInterval timeIntervalSinceNow(id self, SEL) {
  return secondsOf(self) - now();
}

NSTimeInterval timeIntervalSince1970(id self, SEL) {
  return secondsOf(self);
}

NSTimeInterval timeIntervalSinceDate(id self, SEL selector, id other) {
  if (!isKindOf(other, dateClass())) {
    raise("NSInvalidArgumentException",
          methodName(self, selector) + ": " + (other == nil ? "nil argument" : "not a date"));
  }
  return secondsOf(self) - secondsOf(other);
}

BOOL isEqualToDate(id self, SEL, id other) {
  return self == other || (isKindOf(other, dateClass()) && secondsOf(self) == secondsOf(other));
}

NSUInteger hash(id self, SEL) {
  return std::hash<double>{}(secondsOf(self));
}
struct CivilDate {
  long long year;
  unsigned month;
  unsigned day;
};

// Days since 1970-01-01 to a proleptic Gregorian date (H. Hinnant's days_from_civil inverse).
CivilDate civilFromDays(long long days) {
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const auto dayOfEra = static_cast<unsigned long long>(days - era * 146097);
  const auto yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const auto dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const auto shiftedMonth = (5 * dayOfYear + 2) / 153;
  const auto day = static_cast<unsigned>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
  const auto month = static_cast<unsigned>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
  const long long year = static_cast<long long>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
  return {year, month, day};
}

id description(id self, SEL) {
  return autoreleasedString(dateDescription(self));
}

}  // namespace

// "2015-06-01 12:30:00 +0000"; whole seconds, rounded down.
std::string dateDescription(id date) {
  const double seconds = std::floor(secondsOf(date));
  // Beyond about ±3 × 10^10 years the calendar arithmetic would overflow.
  if (!(std::fabs(seconds) < 1e18)) return formatString("%g", seconds);
  const auto whole = static_cast<long long>(seconds);
  const long long days = whole >= 0 ? whole / 86400 : (whole - 86399) / 86400;
  const long long secondOfDay = whole - days * 86400;
  const CivilDate civil = civilFromDays(days);
  return formatString("%04lld-%02u-%02u %02lld:%02lld:%02lld +0000", civil.year, civil.month,
                      civil.day, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
}

Class dateClass() {
  static const Class cls =
      addValueMethods(
          ClassBuilder("NSDate", NSObjectClass())
              .state<DateState>("_time")
              .classMethod("date", &date)
              .classMethod("dateWithTimeIntervalSince1970:", &dateWithTimeIntervalSince1970)
              .classMethod("dateWithTimeIntervalSinceNow:", &dateWithTimeIntervalSinceNow)
              .method("init", &init)
              .method("initWithTimeIntervalSince1970:", &initWithTimeIntervalSince1970)
              .method("timeIntervalSinceNow", &timeIntervalSinceNow)
              .method("timeIntervalSince1970", &timeIntervalSince1970)
              .method("timeIntervalSinceDate:", &timeIntervalSinceDate),
          "isEqualToDate:", &isEqualToDate, &hash, &description)
          .registerClass();
  return cls;
}

}  // namespace qv::foundation

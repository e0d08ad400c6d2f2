// CoreMedia's rational time, the same on every target: the types with the device's layout, and
// the functions CoreMedia exports.
#pragma once

#include <cstdint>

#include "port/objc/Encoding.h"

using CMTimeValue = std::int64_t;
using CMTimeScale = std::int32_t;
using CMTimeEpoch = std::int64_t;
using CMTimeFlags = std::uint32_t;

enum : CMTimeFlags {
  kCMTimeFlags_Valid = 1u << 0,
  kCMTimeFlags_HasBeenRounded = 1u << 1,
  kCMTimeFlags_PositiveInfinity = 1u << 2,
  kCMTimeFlags_NegativeInfinity = 1u << 3,
  kCMTimeFlags_Indefinite = 1u << 4,
};

struct CMTime {
  CMTimeValue value;
  CMTimeScale timescale;
  CMTimeFlags flags;
  CMTimeEpoch epoch;
};

struct CMVideoDimensions {
  std::int32_t width;
  std::int32_t height;
};

namespace qv {
QV_OBJC_STRUCT_ENCODING(CMTime, "{CMTime=qiIq}");
}  // namespace qv

extern "C" {

extern const CMTime kCMTimeInvalid;
extern const CMTime kCMTimeZero;

// A time of value/timescale seconds. A timescale of zero or below makes an invalid time, as on
// the platform. Replaceable with MSHookFunction.
CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale);

// The time in seconds (NaN for an invalid time).
double CMTimeGetSeconds(CMTime time);

// -1, 0 or 1 as `a` is earlier than, equal to or later than `b`, compared exactly whatever their
// timescales. As on the platform, invalid times equal each other and are later than any other
// time; positive infinity is later and negative infinity earlier than every numeric time.
std::int32_t CMTimeCompare(CMTime a, CMTime b);

}  // extern "C"

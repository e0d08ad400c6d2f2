// CoreMedia's rational time.
#pragma once

#include <cstdint>

#include "platform/objc/Encoding.h"

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

namespace qv {
QV_OBJC_STRUCT_ENCODING(CMTime, "{CMTime=qiIq}");
}

extern const CMTime kCMTimeInvalid;
extern const CMTime kCMTimeZero;

// A time of value/timescale seconds. A timescale of zero or below makes an invalid time, as on
// the platform. Replaceable with MSHookFunction.
CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale);

bool CMTIME_IS_VALID(CMTime time);

// The time in seconds (NaN for an invalid time).
double CMTimeGetSeconds(CMTime time);

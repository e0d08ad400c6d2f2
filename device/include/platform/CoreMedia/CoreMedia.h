// CoreMedia on the device: rational time and video format descriptions, declared as CoreMedia
// exports them.
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

using CMFormatDescriptionRef = const struct opaqueCMFormatDescription*;
using CMVideoFormatDescriptionRef = CMFormatDescriptionRef;

struct CMVideoDimensions {
  std::int32_t width;
  std::int32_t height;
};

namespace qv {
QV_OBJC_STRUCT_ENCODING(CMTime, "{CMTime=qiIq}");
QV_OBJC_ENCODING(CMFormatDescriptionRef, "^{opaqueCMFormatDescription=}");
}  // namespace qv

#define CMTIME_IS_VALID(time) ((bool)(((time).flags & kCMTimeFlags_Valid) != 0))

extern "C" {

extern const CMTime kCMTimeInvalid;
extern const CMTime kCMTimeZero;

CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale);
double CMTimeGetSeconds(CMTime time);
std::int32_t CMTimeCompare(CMTime a, CMTime b);
CMVideoDimensions CMVideoFormatDescriptionGetDimensions(CMVideoFormatDescriptionRef description);

}  // extern "C"

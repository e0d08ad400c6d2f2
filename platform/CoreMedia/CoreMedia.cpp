#include "platform/CoreMedia/CoreMedia.h"

#include <limits>

#include "platform/Substrate/Replaceable.h"

const CMTime kCMTimeInvalid{0, 0, 0, 0};
const CMTime kCMTimeZero{0, 1, kCMTimeFlags_Valid, 0};

namespace {

CMTime stockCMTimeMake(CMTimeValue value, CMTimeScale timescale) {
  if (timescale <= 0) return kCMTimeInvalid;
  return CMTime{value, timescale, kCMTimeFlags_Valid, 0};
}

const qv::Replaceable<CMTime(CMTimeValue, CMTimeScale)> cmTimeMake("CMTimeMake", &CMTimeMake,
                                                                   &stockCMTimeMake);

}  // namespace

CMTime CMTimeMake(CMTimeValue value, CMTimeScale timescale) {
  return cmTimeMake(value, timescale);
}

bool CMTIME_IS_VALID(CMTime time) {
  return (time.flags & kCMTimeFlags_Valid) != 0;
}

double CMTimeGetSeconds(CMTime time) {
  if (!CMTIME_IS_VALID(time)) return std::numeric_limits<double>::quiet_NaN();
  return static_cast<double>(time.value) / time.timescale;
}

namespace {

// Where a time stands among the kinds of time, earliest first. A time marked valid whose
// timescale is not positive was not made by CMTimeMake and counts as invalid.
int orderOfKind(CMTime time) {
  if (!CMTIME_IS_VALID(time) || time.timescale <= 0) return 4;
  if (time.flags & kCMTimeFlags_Indefinite) return 3;
  if (time.flags & kCMTimeFlags_PositiveInfinity) return 2;
  if (time.flags & kCMTimeFlags_NegativeInfinity) return 0;
  return 1;
}

}  // namespace

std::int32_t CMTimeCompare(CMTime a, CMTime b) {
  const int kindA = orderOfKind(a);
  const int kindB = orderOfKind(b);
  if (kindA != kindB) return kindA < kindB ? -1 : 1;
  if (kindA != 1) return 0;
  // 63-bit values times 31-bit timescales fit in 128 bits.
  const __int128 left = static_cast<__int128>(a.value) * b.timescale;
  const __int128 right = static_cast<__int128>(b.value) * a.timescale;
  return left < right ? -1 : (left > right ? 1 : 0);
}

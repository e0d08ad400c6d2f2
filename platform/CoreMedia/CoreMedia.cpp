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

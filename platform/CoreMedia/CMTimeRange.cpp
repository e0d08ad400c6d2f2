#include "port/CoreMedia/CMTimeRange.h"

#include <cmath>
#include <limits>

const CMTimeRange kCMTimeRangeZero{kCMTimeZero, kCMTimeZero};

namespace {

// Built directly rather than through CMTimeMake, which a hook may change.
CMTime validTime(CMTimeValue value, CMTimeScale timescale) {
  return CMTime{value, timescale, kCMTimeFlags_Valid, 0};
}

bool isNumeric(CMTime time) {
  return CMTIME_IS_VALID(time) && time.timescale > 0 &&
         (time.flags & (kCMTimeFlags_PositiveInfinity | kCMTimeFlags_NegativeInfinity |
                        kCMTimeFlags_Indefinite)) == 0;
}

}  // namespace

CMTimeRange CMTimeRangeMake(CMTime start, CMTime duration) {
  return CMTimeRange{start, duration};
}

CMTime CMTimeRangeGetEnd(CMTimeRange range) {
  return CMTimeAdd(range.start, range.duration);
}

CMTime CMTimeMakeWithSeconds(double seconds, CMTimeScale preferredTimescale) {
  if (preferredTimescale <= 0 || !std::isfinite(seconds)) return kCMTimeInvalid;
  const double value = std::round(seconds * preferredTimescale);
  constexpr double kLargest = 9.2e18;  // inside CMTimeValue's range
  if (std::fabs(value) > kLargest) return kCMTimeInvalid;
  return validTime(static_cast<CMTimeValue>(value), preferredTimescale);
}

CMTime CMTimeAdd(CMTime a, CMTime b) {
  if (!isNumeric(a) || !isNumeric(b)) return kCMTimeInvalid;
  if (a.timescale == b.timescale) return validTime(a.value + b.value, a.timescale);
  // In the finer timescale, rounding the coarser time's value to it.
  const CMTime& fine = a.timescale > b.timescale ? a : b;
  const CMTime& coarse = a.timescale > b.timescale ? b : a;
  const double scaled =
      std::round(static_cast<double>(coarse.value) * fine.timescale / coarse.timescale);
  return validTime(fine.value + static_cast<CMTimeValue>(scaled), fine.timescale);
}

// CoreMedia time ranges and the time arithmetic that media code needs, with C names as on the
// device.
#pragma once

#include "port/CoreMedia/CoreMedia.h"

struct CMTimeRange {
  CMTime start;
  CMTime duration;
};

namespace qv {
QV_OBJC_STRUCT_ENCODING(CMTimeRange, "{CMTimeRange={CMTime=qiIq}{CMTime=qiIq}}");
}  // namespace qv

extern "C" {

extern const CMTimeRange kCMTimeRangeZero;

CMTimeRange CMTimeRangeMake(CMTime start, CMTime duration);

// start + duration; invalid when either is.
CMTime CMTimeRangeGetEnd(CMTimeRange range);

// The nearest time to `seconds` in the timescale; invalid for a timescale of zero or below, or
// for a time that is not a finite number.
CMTime CMTimeMakeWithSeconds(double seconds, CMTimeScale preferredTimescale);

// The sum in the finer of the two timescales; invalid when either time is.
CMTime CMTimeAdd(CMTime a, CMTime b);

}  // extern "C"

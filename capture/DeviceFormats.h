// What the capture hooks read of the platform's capture devices, through messages.
#pragma once

#include <objc/runtime.h>

#include <cstdint>
#include <vector>

#include "capture/FrameRateChoice.h"
#include "port/CoreMedia/CoreMedia.h"

namespace quorvane {

// The elements of an array in order, read with count and objectAtIndexedSubscript:; empty for
// nil.
std::vector<id> elementsOf(id array);

// A format's media type (video or not), the maximum rates of its ranges and its dimensions.
FormatRecord formatRecordOf(id format);

// The records of formats, in their order.
std::vector<FormatRecord> formatRecordsOf(const std::vector<id>& formats);

// Whether one of the format's ranges allows the frame duration, as the capture device checks a
// duration it is given: a valid time between the range's minimum and maximum frame durations.
bool frameDurationAllowed(id format, CMTime duration);

// Whether the format allows one frame at the rate as a frame duration; never for a rate without
// a timescale (0, or beyond 32 bits).
bool frameRateAllowed(id format, std::uint64_t rate);

}  // namespace quorvane

// What the capture hooks read of the platform's capture devices, through messages.
#pragma once

#include <objc/runtime.h>

#include <vector>

#include "capture/FrameRateChoice.h"

namespace quorvane {

// The elements of an array in order, read with count and objectAtIndexedSubscript:; empty for
// nil.
std::vector<id> elementsOf(id array);

// A format's media type (video or not), the maximum rates of its ranges and its dimensions.
FormatRecord formatRecordOf(id format);

// The records of formats, in their order.
std::vector<FormatRecord> formatRecordsOf(const std::vector<id>& formats);

}  // namespace quorvane

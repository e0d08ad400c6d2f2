// What the capture classes share among themselves.
#pragma once

#include <objc/runtime.h>

#include "platform/AVFoundation/AVCapture.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "port/objc/Ref.h"

namespace qv::avfoundation {

Class frameRateRangeClass();
Class deviceFormatClass();
Class captureDeviceClass();

// A new format object (+1 reference) with its frame-rate ranges.
Ref<> makeDeviceFormat(const CaptureFormat& format);

// Whether `duration` is valid and lies within one of the format's frame-rate ranges (never for
// a nil format).
bool formatAllowsFrameDuration(id format, CMTime duration);

// The frame duration a device takes when the format becomes active: 30 frames per second where
// a range allows it, else the first range's shortest duration; invalid without ranges.
CMTime defaultFrameDuration(id format);

bool isVideoFormat(id format);

}  // namespace qv::avfoundation

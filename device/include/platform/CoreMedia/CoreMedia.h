// CoreMedia on the device: rational time as on every target, and video format descriptions as
// CoreMedia declares them.
#pragma once

#include "../../../../platform/CoreMedia/CMTime.h"

using CMFormatDescriptionRef = const struct opaqueCMFormatDescription*;
using CMVideoFormatDescriptionRef = CMFormatDescriptionRef;

namespace qv {
QV_OBJC_ENCODING(CMFormatDescriptionRef, "^{opaqueCMFormatDescription=}");
}  // namespace qv

#define CMTIME_IS_VALID(time) ((bool)(((time).flags & kCMTimeFlags_Valid) != 0))

extern "C" {
CMVideoDimensions CMVideoFormatDescriptionGetDimensions(CMVideoFormatDescriptionRef description);
}

// CoreMedia's video format descriptions on the device, the backend half of
// port/CoreMedia/CoreMedia.h, as CoreMedia declares them.
#pragma once

#include "port/CoreMedia/CMTime.h"
#include "port/objc/Encoding.h"

using CMFormatDescriptionRef = const struct opaqueCMFormatDescription*;
using CMVideoFormatDescriptionRef = CMFormatDescriptionRef;

namespace qv {
QV_OBJC_ENCODING(CMFormatDescriptionRef, "^{opaqueCMFormatDescription=}");
}  // namespace qv

#define CMTIME_IS_VALID(time) ((bool)(((time).flags & kCMTimeFlags_Valid) != 0))

extern "C" {
CMVideoDimensions CMVideoFormatDescriptionGetDimensions(CMVideoFormatDescriptionRef description);
}

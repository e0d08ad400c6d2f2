// CoreMedia's video format descriptions on the stand-in, the backend half of
// port/CoreMedia/CoreMedia.h.
#pragma once

#include "port/CoreMedia/CMTime.h"
#include "port/objc/Encoding.h"

// A video format: what CMVideoFormatDescriptionGetDimensions reads. The object behind the
// reference is a runtime object, retained and released as any other.
struct opaqueCMFormatDescription;
using CMFormatDescriptionRef = opaqueCMFormatDescription*;
using CMVideoFormatDescriptionRef = CMFormatDescriptionRef;

namespace qv {
QV_OBJC_ENCODING(CMFormatDescriptionRef, "^{opaqueCMFormatDescription=}");
}  // namespace qv

extern "C" {

bool CMTIME_IS_VALID(CMTime time);

// Width and height in pixels; zero for nil or for an object that is not a video format.
CMVideoDimensions CMVideoFormatDescriptionGetDimensions(CMVideoFormatDescriptionRef description);

}  // extern "C"

// CoreMedia: rational time and video format descriptions.
#pragma once

#include "platform/CoreMedia/CMTime.h"
#include "platform/objc/Encoding.h"
#include "platform/objc/Ref.h"

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

namespace qv {
// A new video format description (+1 reference).
Ref<opaqueCMFormatDescription> makeVideoFormatDescription(CMVideoDimensions dimensions);
}  // namespace qv

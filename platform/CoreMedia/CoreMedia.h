// CoreMedia on the stand-in: what every target declares (port/CoreMedia/), and how the
// platform's capture classes make a video format description.
#pragma once

#include "port/CoreMedia/CoreMedia.h"
#include "port/objc/Ref.h"

namespace qv {
// A new video format description (+1 reference).
Ref<opaqueCMFormatDescription> makeVideoFormatDescription(CMVideoDimensions dimensions);
}  // namespace qv

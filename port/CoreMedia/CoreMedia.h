// CoreMedia as the tweak uses it: rational time (CMTime.h), the same on every target, and video
// format descriptions with CMVideoFormatDescriptionGetDimensions and CMTIME_IS_VALID, which each
// backend declares as its CoreMedia does (backend/CoreMedia/CoreMedia.h).
#pragma once

#include "backend/CoreMedia/CoreMedia.h"
#include "port/CoreMedia/CMTime.h"

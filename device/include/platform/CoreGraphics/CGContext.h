// The drawing functions declared as CoreGraphics exports them; the device links the real ones.
#pragma once

#include "../../../../platform/CoreGraphics/CGContext.h"

// Geometry is plain arithmetic on both targets: CGFloat is a double on 64-bit devices, and the
// structures have the device's layout.
#pragma once

#include "../../../../platform/CoreGraphics/CGGeometry.h"

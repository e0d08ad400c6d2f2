// The owning handle is the same on both targets; the device's retain and release are the
// runtime's objc_retain and objc_release.
#pragma once

#include "../../../../platform/objc/Ref.h"

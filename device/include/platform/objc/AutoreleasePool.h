// Autorelease pools on the device: the runtime's per-thread pool stack (objc_autoreleasePoolPush
// and Pop), seen from C++ as the scope every target declares.
#pragma once

#include "../../../../platform/objc/AutoreleasePoolScope.h"

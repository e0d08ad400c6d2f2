// Type encodings are the same on both targets: the stand-in already writes the device's 64-bit
// conventions.
#pragma once

#include "../../../../platform/objc/Encoding.h"

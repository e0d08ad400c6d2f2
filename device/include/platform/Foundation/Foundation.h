// Foundation on the device: its types, C functions and value conveniences, implemented through
// Foundation's messages (src/Foundation.cpp).
#pragma once

#include "../../../../platform/Foundation/FoundationValues.h"

// UIKit on the device: its C functions, constants and types, declared as UIKit exports them.
#pragma once

#include "../../../../platform/UIKit/UIKitBase.h"

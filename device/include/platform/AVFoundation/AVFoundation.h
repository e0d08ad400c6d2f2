// AVFoundation on the device: the constants and values every target declares.
#pragma once

#include "../../../../platform/AVFoundation/AVFoundationBase.h"

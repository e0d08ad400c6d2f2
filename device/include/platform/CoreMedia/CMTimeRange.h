// Time ranges and their arithmetic, declared as CoreMedia exports them.
#pragma once

#include "../../../../platform/CoreMedia/CMTimeRange.h"

#pragma once

#include "../../../../platform/Foundation/Saturate.h"

// The hooking library's two functions, declared as CydiaSubstrate exports them.
#pragma once

#include "../../../../platform/Substrate/Substrate.h"

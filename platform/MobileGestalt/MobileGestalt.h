// libMobileGestalt on the stand-in: MGGetBoolAnswer (port/MobileGestalt/) answers from the
// simulated device's answers, which the host sets through platform/Seams.h.
#pragma once

#include "port/MobileGestalt/MobileGestalt.h"

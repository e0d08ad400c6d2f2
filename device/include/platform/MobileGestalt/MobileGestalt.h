// libMobileGestalt's yes-or-no questions about the device (the question is a CFString).
#pragma once

#include "platform/objc/Object.h"

extern "C" {
BOOL MGGetBoolAnswer(id question);
}

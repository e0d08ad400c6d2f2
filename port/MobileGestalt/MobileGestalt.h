// libMobileGestalt's yes-or-no questions about the device, the same on every target.
#pragma once

#include "port/objc/Object.h"

extern "C" {
// YES when the device answers the question (a string object) with YES; NO for an unknown
// question. Replaceable with MSHookFunction.
BOOL MGGetBoolAnswer(id question);
}

// libMobileGestalt: questions about the device, answered from the simulated device's answers.
#pragma once

#include <map>
#include <string>

#include "platform/objc/Object.h"

extern "C" {

// YES when the device answers the question (a string object) with YES; NO for an unknown
// question. Replaceable with MSHookFunction.
BOOL MGGetBoolAnswer(id question);

}  // extern "C"

namespace qv {
// The device's answers, set by the host when the app starts.
void setGestaltAnswers(std::map<std::string, bool> answers);
}  // namespace qv

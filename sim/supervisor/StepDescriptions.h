// A step as the trace names it: "camera_mode slow_motion on Camera", "settings_pane toggle
// EnableSlalom".
#pragma once

#include <string>

#include "sim/language/Scenario.h"

namespace qv::sim {

std::string describe(const Action& action);

}  // namespace qv::sim

// The scenario language in brief, from its own tables: every step with its forms, and every key
// of observable state. `--help` and the shell's `help` show it.
#pragma once

#include <string>

namespace qv::sim {

std::string stepsHelp();
std::string stateHelp();

}  // namespace qv::sim

// quorvane-sim shell: a session on one device, one step of the scenario language a line, each
// taken at once with its trace printed as it happens; `show`, `save`, `help` and `exit` besides.
#pragma once

#include <optional>
#include <string>

#include "host/devices/Catalog.h"
#include "sim/supervisor/Supervisor.h"

namespace qv::sim {

struct ShellOptions {
  RunOptions run;
  std::string device = "iPhone 6";
  std::string system;                 // empty: the device's own
  std::optional<std::string> report;  // the page written when the session ends
};

// Reads standard input to its end (or `exit`); answers the exit status: that of `run` for the
// steps taken, 1 also when a line could not be taken, 2 when the device cannot be set up.
int runShell(const ShellOptions& options, const host::Catalog& catalog);

}  // namespace qv::sim

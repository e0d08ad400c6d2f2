// The supervisor's run of one scenario: it lays out the device's file system, then takes the
// steps one by one, tracing what every process does and checking each expectation.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "host/loader/Loader.h"
#include "sim/Scenario.h"

namespace qv::sim {

struct RunOptions {
  bool json = false;
  bool realtime = false;
  std::optional<std::string> root;       // else a new temporary folder
  std::optional<std::string> snapshots;  // else "snapshots" in the root
  host::LibraryChoice library = host::LibraryChoice::BySystem;
  std::string libraryFolder;  // where the built libraries are
};

// Exit statuses.
inline constexpr int kPassed = 0;
inline constexpr int kFailed = 1;     // an expectation or a step failed, or an app crashed
inline constexpr int kCannotRun = 2;  // the scenario cannot be read or the device not set up

// Traces to `out`; problems that keep the scenario from running go to standard error.
int runScenario(const Scenario& scenario, const RunOptions& options, std::ostream& out);

}  // namespace qv::sim

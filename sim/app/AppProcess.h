// The app side of the simulator: a forked child that becomes one app of the device, starts it,
// and then obeys the supervisor's commands over its end of the socket pair.
#pragma once

#include <cstdint>
#include <string>

#include "host/App.h"

namespace qv::sim {

struct AppProcessConfig {
  host::AppLaunch launch;
  std::string root;           // the device's file system
  std::int64_t startInstant;  // the supervisor's time at launch
};

// The child's whole life; it never returns. Log lines, Darwin posts and `system` commands go to
// the supervisor; an exception from the host or the library ends the process as a crash, with
// its message.
[[noreturn]] void runAppProcess(int channelFd, const AppProcessConfig& config);

}  // namespace qv::sim

// The stand-in of the C library's `system`, and the identity of the process.
//
// `qv::system` never starts a shell. It records the command and hands it to the handler the
// simulator installs (whose supervisor understands "killall NAME..."); without a handler the
// command does nothing and succeeds.
#pragma once

#include <string>
#include <vector>

#include "port/System/System.h"

namespace qv {

// `qv::system` (port/System/System.h) records the command, then answers the handler's result
// (platform/Seams.h), or 0 without a handler. A null command asks whether a command processor
// exists: there is none unless a handler is installed.

// Every command passed to `system` in this process, oldest first.
std::vector<std::string> recordedSystemCommands();
void clearRecordedSystemCommands();

// The name of the running program, as "killall" matches it: "Camera", "MobileSlideShow".
// Defaults to the executable's file name.
std::string processName();
void setProcessName(const std::string& name);

}  // namespace qv

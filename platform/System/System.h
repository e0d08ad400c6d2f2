// The stand-in of the C library's `system`, and the identity of the process.
//
// `qv::system` never starts a shell. It records the command and hands it to the handler the
// simulator installs (whose supervisor understands "killall NAME..."); without a handler the
// command does nothing and succeeds.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qv {

// Records the command, then answers the handler's result, or 0 without a handler. A null
// command asks whether a command processor exists, as the C library's does: there is none
// unless a handler is installed.
int system(const char* command);

// Seam for the simulator: receives every command and answers its exit status. An empty
// function removes the handler.
void setSystemHandler(std::function<int(const std::string& command)> handler);

// Every command passed to `system` in this process, oldest first.
std::vector<std::string> recordedSystemCommands();
void clearRecordedSystemCommands();

// The name of the running program, as "killall" matches it: "Camera", "MobileSlideShow".
// Defaults to the executable's file name.
std::string processName();
void setProcessName(const std::string& name);

}  // namespace qv

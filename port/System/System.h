// The C library's shell command, the same on every target: the device runs it with /bin/sh -c
// through posix_spawn; the stand-in records it and hands it to the simulator.
#pragma once

namespace qv {

// Answers the command's exit status, or -1 when it could not be started. A null command
// answers whether a command processor is there.
int system(const char* command);

}  // namespace qv

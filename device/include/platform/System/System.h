// The shell command of the device's C library, started through posix_spawn.
#pragma once

namespace qv {

// Runs the command with /bin/sh -c and waits for it, as the C library's `system` does; answers
// its exit status, or -1 when it could not be started. A null command answers whether a shell
// is there.
int system(const char* command);

}  // namespace qv

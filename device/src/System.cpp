// The C library's `system`, through posix_spawn: the shell runs the command and the caller waits
// for it, so the command has ended when the call returns.
#include "port/System/System.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern "C" char*** _NSGetEnviron();

namespace qv {

int system(const char* command) {
  constexpr const char* kShell = "/bin/sh";
  if (command == nullptr) return access(kShell, X_OK) == 0 ? 1 : 0;
  const char* arguments[] = {"sh", "-c", command, nullptr};
  pid_t child = 0;
  if (posix_spawn(&child, kShell, nullptr, nullptr, const_cast<char* const*>(arguments),
                  *_NSGetEnviron()) != 0) {
    return -1;
  }
  int status = 0;
  while (waitpid(child, &status, 0) == -1) {
    if (errno != EINTR) return -1;
  }
  return status;
}

}  // namespace qv

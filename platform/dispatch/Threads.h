// Threads the platform starts. Each registers with the object runtime for its whole life (gcc's
// runtime frees replaced dispatch tables at once while it believes only one thread is alive)
// and runs its work inside an autorelease pool.
#pragma once

#include <functional>

namespace qv {

// Starts a detached thread for NSThread's detach. It counts as background work until `body`
// returns, so the virtual clock waits for it (it may sleep with Clock::sleepFor). An exception
// leaving `body` is raised from the main run loop's run method. An empty function is an
// std::invalid_argument; a thread the system refuses is an std::system_error.
void startThread(std::function<void()> body);

namespace detail {
// A detached thread registered with the runtime; no pool, not counted.
void spawnRuntimeThread(std::function<void()> body);
}  // namespace detail

}  // namespace qv

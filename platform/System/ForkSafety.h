// Process-wide locks that stay usable in a forked child. The simulator forks one process per
// app and the tests fork per case; a mutex that another thread held at the moment of the fork
// would stay locked forever in the child, where that thread does not exist.
#pragma once

#include <mutex>

namespace qv {

// Locks `mutex` around every fork and releases it again on both sides. The mutex must live for
// the rest of the process. Never hold two guarded mutexes at once: fork takes them in
// registration order.
void guardAcrossFork(std::mutex& mutex);

// Runs in the child of every fork, after the guarded mutexes are free again, to forget state
// that belonged to threads the child does not have.
void atForkChild(void (*reset)());

}  // namespace qv

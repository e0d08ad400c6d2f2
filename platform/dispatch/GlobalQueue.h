// The global queues' pool: a few real threads that start submitted work in FIFO order and run
// it concurrently. All priorities share it.
#pragma once

#include <functional>

namespace qv::detail {

// Submits work, counted as background work until it ends. A pool that has no thread and
// cannot start one raises the error (std::system_error) and keeps nothing.
void submitToGlobalQueue(std::function<void()> work);

// The most threads the pool starts: between 2 and 4, by the processors available.
int globalQueueWidth();

}  // namespace qv::detail

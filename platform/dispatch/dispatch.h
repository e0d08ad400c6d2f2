// libdispatch as the tweak and the hosts use it, with std::function in place of blocks: the main
// queue (drained by the main run loop), the global queues (a small pool of real threads, all
// priorities alike) and timed work on the platform's clock.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/dispatch/DispatchBase.h"

extern "C" {

dispatch_queue_t dispatch_get_main_queue();

// NULL for an identifier other than the four priorities, or for flags other than 0.
dispatch_queue_t dispatch_get_global_queue(long identifier, unsigned long flags);

// A NULL queue or an empty block is an std::invalid_argument.
void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);

// Runs the block on the queue at `when`; at once for DISPATCH_TIME_NOW, never for
// DISPATCH_TIME_FOREVER. Timed work reaches a global queue through the main run loop, which
// keeps the clock.
void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block);

// `when` (DISPATCH_TIME_NOW: the clock's present) plus `delta` nanoseconds. Past the end of time
// is DISPATCH_TIME_FOREVER; before its start is 1, an instant long passed.
dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta);

}  // extern "C"

// libdispatch's queues on the stand-in, the backend half of port/dispatch/dispatch.h, with
// std::function in place of blocks: the main queue (drained by the main run loop), the global
// queues (a small pool of real threads, all priorities alike) and timed work on the platform's
// clock.
#pragma once

#include "port/dispatch/DispatchTypes.h"

extern "C" {

dispatch_queue_t dispatch_get_main_queue();

// A NULL queue or an empty block is an std::invalid_argument.
void dispatch_async(dispatch_queue_t queue, dispatch_block_t block);

// Runs the block on the queue at `when`; at once for DISPATCH_TIME_NOW, never for
// DISPATCH_TIME_FOREVER. Timed work reaches a global queue through the main run loop, which
// keeps the clock.
void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block);

}  // extern "C"

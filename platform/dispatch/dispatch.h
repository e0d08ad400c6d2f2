// libdispatch as the tweak and the hosts use it, with std::function in place of blocks: the main
// queue (drained by the main run loop), the global queues (a small pool of real threads, all
// priorities alike) and timed work on the platform's clock.
#pragma once

#include <cstdint>
#include <functional>

struct dispatch_queue_s;
using dispatch_queue_t = dispatch_queue_s*;
using dispatch_block_t = std::function<void()>;
// An instant on the platform's clock, in nanoseconds since 1970.
using dispatch_time_t = std::uint64_t;

#define DISPATCH_TIME_NOW (0ull)
#define DISPATCH_TIME_FOREVER (~0ull)

#define NSEC_PER_SEC 1000000000ull
#define NSEC_PER_MSEC 1000000ull
#define NSEC_PER_USEC 1000ull
#define USEC_PER_SEC 1000000ull

#define DISPATCH_QUEUE_PRIORITY_HIGH 2
#define DISPATCH_QUEUE_PRIORITY_DEFAULT 0
#define DISPATCH_QUEUE_PRIORITY_LOW (-2)
#define DISPATCH_QUEUE_PRIORITY_BACKGROUND INT16_MIN

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

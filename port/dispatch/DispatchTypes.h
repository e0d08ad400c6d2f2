// libdispatch's types and constants, the same on every target: callables stand where the
// platform takes blocks, and a queue is an object of the runtime.
#pragma once

#include <cstdint>
#include <functional>

#include "port/objc/Encoding.h"

struct dispatch_queue_s;
using dispatch_queue_t = dispatch_queue_s*;
using dispatch_block_t = std::function<void()>;
// An instant, in nanoseconds of the system's clock.
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

namespace qv {
QV_OBJC_ENCODING(dispatch_queue_t, "@");
}

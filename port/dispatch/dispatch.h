// libdispatch as the tweak uses it: the types (DispatchTypes.h), the global queues and the
// clock's instants, the same on every target. The main queue, dispatch_async and dispatch_after
// are the backend's (backend/dispatch/dispatch.h): the stand-in's queues, or libdispatch's
// function variants on the device.
#pragma once

#include <cstdint>

#include "backend/dispatch/dispatch.h"
#include "port/dispatch/DispatchTypes.h"

extern "C" {

// NULL for an identifier other than the four priorities, or for flags other than 0.
dispatch_queue_t dispatch_get_global_queue(long identifier, unsigned long flags);

// `when` (DISPATCH_TIME_NOW: the clock's present) plus `delta` nanoseconds. Past the end of time
// is DISPATCH_TIME_FOREVER; before its start is 1, an instant long passed.
dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta);

}  // extern "C"

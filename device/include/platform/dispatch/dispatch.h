// libdispatch on the device: callables are handed to queues through the function variants
// (dispatch_async_f, dispatch_after_f), which run a heap copy of the callable and free it. The
// main queue is the object libdispatch exports.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "platform/objc/Encoding.h"

struct dispatch_queue_s;
using dispatch_queue_t = dispatch_queue_s*;
using dispatch_block_t = std::function<void()>;
using dispatch_time_t = std::uint64_t;
using dispatch_function_t = void (*)(void*);

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

// A queue is an object of the runtime on the device.
namespace qv {
QV_OBJC_ENCODING(dispatch_queue_t, "@");
}

extern "C" {
extern struct dispatch_queue_s _dispatch_main_q;
dispatch_queue_t dispatch_get_global_queue(long identifier, unsigned long flags);
void dispatch_async_f(dispatch_queue_t queue, void* context, dispatch_function_t work);
void dispatch_after_f(dispatch_time_t when, dispatch_queue_t queue, void* context,
                      dispatch_function_t work);
dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta);
}

namespace qv::detail {
inline void runDispatched(void* context) {
  auto* block = static_cast<dispatch_block_t*>(context);
  (*block)();
  delete block;
}
}  // namespace qv::detail

inline dispatch_queue_t dispatch_get_main_queue() {
  return &_dispatch_main_q;
}

inline void dispatch_async(dispatch_queue_t queue, dispatch_block_t block) {
  dispatch_async_f(queue, new dispatch_block_t(std::move(block)), &qv::detail::runDispatched);
}

inline void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block) {
  dispatch_after_f(when, queue, new dispatch_block_t(std::move(block)), &qv::detail::runDispatched);
}

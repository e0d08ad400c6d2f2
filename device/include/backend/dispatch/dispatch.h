// libdispatch on the device, the backend half of port/dispatch/dispatch.h: callables are handed to
// queues through the function variants (dispatch_async_f, dispatch_after_f), which run a heap copy
// of the callable and free it. The main queue is the object libdispatch exports.
#pragma once

#include <cstdint>
#include <functional>
#include <utility>

#include "port/dispatch/DispatchTypes.h"

using dispatch_function_t = void (*)(void*);

extern "C" {
extern struct dispatch_queue_s _dispatch_main_q;
void dispatch_async_f(dispatch_queue_t queue, void* context, dispatch_function_t work);
void dispatch_after_f(dispatch_time_t when, dispatch_queue_t queue, void* context,
                      dispatch_function_t work);
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

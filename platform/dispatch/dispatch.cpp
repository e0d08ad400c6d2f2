#include "port/dispatch/dispatch.h"

#include <limits>
#include <stdexcept>
#include <string>

#include "platform/System/Faults.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/GlobalQueue.h"
#include "platform/dispatch/RunLoop.h"

struct dispatch_queue_s {
  bool isMain;
};

namespace {

dispatch_queue_s mainQueue{true};
// One per priority, so callers can tell them apart; they share the pool.
dispatch_queue_s highQueue{false};
dispatch_queue_s defaultQueue{false};
dispatch_queue_s lowQueue{false};
dispatch_queue_s backgroundQueue{false};

constexpr std::int64_t kLastInstant = std::numeric_limits<std::int64_t>::max();

void checkArguments(dispatch_queue_t queue, const dispatch_block_t& block, const char* caller) {
  if (queue == nullptr) throw std::invalid_argument(std::string(caller) + ": NULL queue");
  if (!block) throw std::invalid_argument(std::string(caller) + ": no block given");
}

}  // namespace

dispatch_queue_t dispatch_get_main_queue() {
  return &mainQueue;
}

dispatch_queue_t dispatch_get_global_queue(long identifier, unsigned long flags) {
  if (flags != 0) return nullptr;
  switch (identifier) {
    case DISPATCH_QUEUE_PRIORITY_HIGH:
      return &highQueue;
    case DISPATCH_QUEUE_PRIORITY_DEFAULT:
      return &defaultQueue;
    case DISPATCH_QUEUE_PRIORITY_LOW:
      return &lowQueue;
    case DISPATCH_QUEUE_PRIORITY_BACKGROUND:
      return &backgroundQueue;
    default:
      return nullptr;
  }
}

void dispatch_async(dispatch_queue_t queue, dispatch_block_t block) {
  checkArguments(queue, block, "dispatch_async");
  if (queue->isMain) {
    qv::MainRunLoop::post(std::move(block));
  } else {
    qv::detail::submitToGlobalQueue(std::move(block));
  }
}

void dispatch_after(dispatch_time_t when, dispatch_queue_t queue, dispatch_block_t block) {
  checkArguments(queue, block, "dispatch_after");
  if (when == DISPATCH_TIME_FOREVER) return;
  if (when == DISPATCH_TIME_NOW) {
    dispatch_async(queue, std::move(block));
    return;
  }
  const auto deadline = static_cast<std::int64_t>(std::min<dispatch_time_t>(when, kLastInstant));
  if (queue->isMain) {
    if (qv::faultSwitchedOn("lost-timed-dispatch")) return;  // a broken build, on purpose
    qv::MainRunLoop::schedule(deadline, std::move(block));
  } else {
    qv::MainRunLoop::schedule(deadline, [block = std::move(block)]() mutable {
      qv::detail::submitToGlobalQueue(std::move(block));
    });
  }
}

dispatch_time_t dispatch_time(dispatch_time_t when, std::int64_t delta) {
  if (when == DISPATCH_TIME_FOREVER || when > static_cast<dispatch_time_t>(kLastInstant)) {
    return DISPATCH_TIME_FOREVER;
  }
  const std::int64_t base =
      when == DISPATCH_TIME_NOW ? qv::Clock::now() : static_cast<std::int64_t>(when);
  std::int64_t instant = 0;
  if (__builtin_add_overflow(base, delta, &instant)) {
    return delta > 0 ? DISPATCH_TIME_FOREVER : 1;
  }
  return instant <= 0 ? 1 : static_cast<dispatch_time_t>(instant);
}

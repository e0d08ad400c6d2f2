// NSObject's deferred and main-thread performs: performSelector:withObject:afterDelay:, the
// cancelPreviousPerformRequestsWithTarget: family and
// performSelectorOnMainThread:withObject:waitUntilDone:.
//
// A pending request holds its target and argument until it runs or is cancelled.
#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/Foundation/FoundationRuntime.h"
#include "platform/Foundation/RootAdditions.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

namespace qv {
namespace {

struct Request {
  std::uint64_t serial;
  id target;
  SEL selector;
  id argument;
  TimerId timer = 0;  // 0 while it is being scheduled
};

// Pending requests, so that they can be cancelled by target. A request leaves the list when it
// starts to run or is cancelled; one that is no longer listed never runs.
class PendingRequests {
 public:
  std::uint64_t add(id target, SEL selector, id argument) {
    std::lock_guard lock(mutex_);
    requests_.push_back({++lastSerial_, target, selector, argument});
    return lastSerial_;
  }

  void setTimer(std::uint64_t serial, TimerId timer) {
    std::lock_guard lock(mutex_);
    for (Request& r : requests_) {
      if (r.serial == serial) r.timer = timer;
    }
  }

  bool take(std::uint64_t serial) {
    std::lock_guard lock(mutex_);
    return std::erase_if(requests_, [serial](const Request& r) { return r.serial == serial; }) > 0;
  }

  // Removes the matching requests and answers their timers.
  template <typename Match>
  std::vector<TimerId> removeAll(Match match) {
    std::vector<TimerId> timers;
    std::lock_guard lock(mutex_);
    std::erase_if(requests_, [&](const Request& r) {
      if (!match(r)) return false;
      if (r.timer != 0) timers.push_back(r.timer);
      return true;
    });
    return timers;
  }

 private:
  std::mutex mutex_;
  std::uint64_t lastSerial_ = 0;
  std::vector<Request> requests_;
};

PendingRequests& pending() {
  static auto* requests = new PendingRequests;  // timers may still fire during exit
  return *requests;
}

void performAfterDelay(id self, SEL, SEL selector, id argument, double delay) {
  const std::uint64_t serial = pending().add(self, selector, argument);
  const double seconds = delay > 0 ? delay : 0;  // NaN and negative delays mean "now"
  const std::int64_t deadline = Clock::offset(Clock::now(), Clock::toNanoseconds(seconds));
  const TimerId timer = MainRunLoop::schedule(
      deadline, [serial, target = Ref<>(self), selector, held = Ref<>(argument)] {
        if (pending().take(serial)) foundation::performDropping(target, selector, held);
      });
  pending().setTimer(serial, timer);
}

void cancelTimers(const std::vector<TimerId>& timers) {
  for (TimerId timer : timers) MainRunLoop::cancel(timer);
}

void cancelPreviousRequests(id, SEL, id target) {
  cancelTimers(pending().removeAll([target](const Request& r) { return r.target == target; }));
}

void cancelPreviousRequestsMatching(id, SEL, id target, SEL selector, id argument) {
  cancelTimers(pending().removeAll([&](const Request& r) {
    return r.target == target && sel_isEqual(r.selector, selector) &&
           (r.argument == argument || send<BOOL>(r.argument, "isEqual:"_sel, argument));
  }));
}

void performOnMainThread(id self, SEL, SEL selector, id argument, BOOL wait) {
  if (wait && MainRunLoop::isMainThread()) {
    foundation::performDropping(self, selector, argument);
    return;
  }
  if (!wait) {
    MainRunLoop::post([target = Ref<>(self), selector, held = Ref<>(argument)] {
      foundation::performDropping(target, selector, held);
    });
    return;
  }
  // Another thread waits for the main thread to have run it, however the call ends.
  struct Completion {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
  };
  auto completion = std::make_shared<Completion>();
  MainRunLoop::post([completion, target = Ref<>(self), selector, held = Ref<>(argument)] {
    struct Signal {
      Completion& c;
      ~Signal() {
        std::lock_guard lock(c.mutex);
        c.finished = true;
        c.done.notify_all();
      }
    } signal{*completion};
    foundation::performDropping(target, selector, held);
  });
  std::unique_lock lock(completion->mutex);
  completion->done.wait(lock, [&] { return completion->finished; });
}

__attribute__((constructor(120))) void addDeferredPerforms() {
  Class root = NSObjectClass();
  Class rootMeta = object_getClass(asId(root));
  foundation::addMethod(root, "performSelector:withObject:afterDelay:", &performAfterDelay);
  foundation::addMethod(
      root, "performSelectorOnMainThread:withObject:waitUntilDone:", &performOnMainThread);
  foundation::addMethod(rootMeta,
                        "cancelPreviousPerformRequestsWithTarget:", &cancelPreviousRequests);
  foundation::addMethod(rootMeta, "cancelPreviousPerformRequestsWithTarget:selector:object:",
                        &cancelPreviousRequestsMatching);
}

}  // namespace
}  // namespace qv

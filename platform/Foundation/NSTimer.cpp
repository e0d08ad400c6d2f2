// NSTimer on the main run loop.
//
// A scheduled timer is held by the run loop until it fires (one-shot) or is invalidated, and it
// holds its target and user info until then, as on the platform.
#include <mutex>

#include "platform/Foundation/Classes.h"
#include "platform/Foundation/FoundationRuntime.h"
#include "platform/Foundation/RootAdditions.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

namespace qv {
namespace {

// The platform's shortest interval; shorter or invalid ones are raised to it.
constexpr double kMinimumInterval = 0.0001;

struct TimerState {
  std::mutex mutex;
  bool valid = false;
  bool repeats = false;
  double interval = 0;
  std::int64_t fireDate = 0;
  TimerId pending = 0;
  Ref<> target;
  SEL selector = nullptr;
  Ref<> userInfo;
};

void scheduleNext(id timer);

void invalidate(id self, SEL) {
  // Target and user info are let go after the lock: their dealloc may message the timer.
  Ref<> target, userInfo;
  TimerId pending = 0;
  {
    auto& state = stateOf<TimerState>(self);
    std::lock_guard lock(state.mutex);
    state.valid = false;
    target = std::move(state.target);
    userInfo = std::move(state.userInfo);
    pending = std::exchange(state.pending, 0);
  }
  if (pending != 0) MainRunLoop::cancel(pending);
}

void fire(id self, SEL) {
  auto& state = stateOf<TimerState>(self);
  Ref<> target;
  SEL selector;
  {
    std::lock_guard lock(state.mutex);
    if (!state.valid) return;
    target = state.target;
    selector = state.selector;
  }
  Ref<> keepAlive(self);
  foundation::performDropping(target, selector, self);
  bool again;
  {
    std::lock_guard lock(state.mutex);
    again = state.valid && state.repeats;
  }
  if (again) {
    scheduleNext(self);
  } else {
    invalidate(self, nullptr);
  }
}

void scheduleNext(id timer) {
  auto& state = stateOf<TimerState>(timer);
  std::lock_guard lock(state.mutex);
  state.fireDate =
      Clock::offset(std::max(state.fireDate, Clock::now()), Clock::toNanoseconds(state.interval));
  // The run loop holds the timer until it fires or is cancelled.
  state.pending = MainRunLoop::schedule(state.fireDate, [held = Ref<>(timer)] {
    {
      auto& s = stateOf<TimerState>(held);
      std::lock_guard lock(s.mutex);
      s.pending = 0;
    }
    fire(held, nullptr);
  });
}

BOOL isValid(id self, SEL) {
  auto& state = stateOf<TimerState>(self);
  std::lock_guard lock(state.mutex);
  return state.valid;
}

id fireDate(id self, SEL) {
  std::int64_t instant;
  {
    auto& state = stateOf<TimerState>(self);
    std::lock_guard lock(state.mutex);
    instant = state.fireDate;
  }
  return send<id>(objc_getClass("NSDate"), "dateWithTimeIntervalSince1970:"_sel,
                  static_cast<double>(instant) / 1e9);
}

double timeInterval(id self, SEL) {
  auto& state = stateOf<TimerState>(self);
  return state.repeats ? state.interval : 0.0;
}

id userInfo(id self, SEL) {
  auto& state = stateOf<TimerState>(self);
  std::lock_guard lock(state.mutex);
  return state.userInfo;
}

Class timerClass();

id scheduledTimer(id, SEL, double interval, id target, SEL selector, id info, BOOL repeats) {
  if (target == nil || selector == nullptr) {
    raise("NSInvalidArgumentException",
          "+[NSTimer scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:]: "
          "nil target or selector");
  }
  Ref<> timer = make(timerClass());
  auto& state = stateOf<TimerState>(timer);
  state.valid = true;
  state.repeats = repeats;
  state.interval = interval > kMinimumInterval ? interval : kMinimumInterval;
  state.target = Ref<>(target);
  state.selector = selector;
  state.userInfo = Ref<>(info);
  state.fireDate = Clock::now();
  scheduleNext(timer);
  return autorelease(timer.leak());
}

Class timerClass() {
  static const Class cls =
      ClassBuilder("NSTimer", NSObjectClass())
          .state<TimerState>()
          .method("invalidate", &invalidate)
          .method("fire", &fire)
          .method("isValid", &isValid)
          .method("fireDate", &fireDate)
          .method("timeInterval", &timeInterval)
          .method("userInfo", &userInfo)
          .classMethod("scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:",
                       &scheduledTimer)
          .registerClass();
  return cls;
}

__attribute__((constructor(130))) void registerTimer() {
  timerClass();
}

}  // namespace
}  // namespace qv

#include "platform/dispatch/Clock.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Scheduler.h"

namespace qv {
namespace {

std::atomic<bool> realtime{false};
std::atomic<std::int64_t> virtualNow{Clock::kVirtualStart};
// In realtime mode the clock reads the steady clock plus this offset, so it goes on from the
// instant it showed at the switch and never jumps with the system's wall clock.
std::atomic<std::int64_t> realtimeOffset{0};

std::int64_t steadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

std::int64_t Clock::now() {
  if (realtime.load(std::memory_order_acquire)) {
    return offset(steadyNow(), realtimeOffset.load(std::memory_order_relaxed));
  }
  return virtualNow.load(std::memory_order_acquire);
}

void Clock::setRealtime(bool on) {
  static std::mutex switching;
  std::lock_guard lock(switching);
  if (on == realtime.load()) return;
  if (on) {
    realtimeOffset.store(virtualNow.load() - steadyNow());
    realtime.store(true, std::memory_order_release);
  } else {
    virtualNow.store(now());
    realtime.store(false, std::memory_order_release);
  }
}

bool Clock::isRealtime() {
  return realtime.load(std::memory_order_acquire);
}

void Clock::advanceTo(std::int64_t instantNs) {
  std::int64_t current = virtualNow.load(std::memory_order_relaxed);
  while (current < instantNs &&
         !virtualNow.compare_exchange_weak(current, instantNs, std::memory_order_release)) {
  }
}

void Clock::sleepFor(double seconds) {
  sleepUntil(offset(now(), toNanoseconds(seconds)));
}

void Clock::sleepUntil(std::int64_t instantNs) {
  if (isRealtime()) {
    const std::int64_t remaining = instantNs - now();
    if (remaining > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(remaining));
    return;
  }
  if (instantNs <= now()) return;
  if (MainRunLoop::isMainThread()) {
    detail::Scheduler::instance().advanceForMainSleep(instantNs);
  } else {
    detail::Scheduler::instance().sleepUntil(instantNs);
  }
}

std::int64_t Clock::toNanoseconds(double seconds) {
  if (std::isnan(seconds)) throw std::invalid_argument("qv::Clock: an interval of NaN seconds");
  constexpr double kLimit = 9223372036854775808.0;  // 2^63
  const double ns = std::round(seconds * 1e9);
  if (ns >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (ns <= -kLimit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(ns);
}

std::int64_t Clock::offset(std::int64_t instantNs, std::int64_t intervalNs) {
  std::int64_t sum = 0;
  if (!__builtin_add_overflow(instantNs, intervalNs, &sum)) return sum;
  return intervalNs > 0 ? std::numeric_limits<std::int64_t>::max()
                        : std::numeric_limits<std::int64_t>::min();
}

}  // namespace qv

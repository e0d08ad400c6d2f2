// The platform's clock: nanoseconds since 1970, read by NSDate, timers and dispatch_time.
//
// It is virtual by default: it starts at kVirtualStart and moves only when the main run loop
// advances it to the next due piece of work, so a ten-second notice costs no real time and
// every run sees the same instants. Seam: setRealtime(true) paces it with the wall clock
// instead, from the instant it shows at the switch (the simulator's --realtime).
#pragma once

#include <cstdint>

namespace qv {

class Clock {
 public:
  Clock() = delete;

  // 2026-01-05 09:41:00 UTC.
  static constexpr std::int64_t kVirtualStart = 1'767'606'060'000'000'000;

  static std::int64_t now();

  static void setRealtime(bool realtime);
  static bool isRealtime();

  // Blocks the calling thread until the clock reaches the instant. On the virtual clock a
  // background thread counts as idle while it sleeps, and the main run loop wakes it when it
  // advances the clock to its wake time, as it fires a timer; the main thread advances the clock
  // itself. A thread that waits for virtual time in any other way stops the clock.
  static void sleepFor(double seconds);
  static void sleepUntil(std::int64_t instantNs);

  // Seconds as a nanosecond interval, saturating at the int64 range; NaN is an
  // std::invalid_argument.
  static std::int64_t toNanoseconds(double seconds);
  // `instantNs + intervalNs`, saturating at the int64 range.
  static std::int64_t offset(std::int64_t instantNs, std::int64_t intervalNs);

  // The run loop's part: moves the virtual clock forward to the instant (never back).
  static void advanceTo(std::int64_t instantNs);
};

}  // namespace qv

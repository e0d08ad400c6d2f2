// The main run loop of an app process: the main queue, timed work and the main thread's
// identity. NSTimer, performSelector:afterDelay:, dispatch_after and the Darwin notification
// center are built on it.
//
// Work runs in deadline order, FIFO among equal deadlines; posted work is due at the instant it
// is posted. Each item runs inside an autorelease pool of its own. An exception from an item
// propagates to the caller of the run method; the item is gone and the loop stays usable.
//
// On the virtual clock a run method moves the clock from one due item to the next and leaves
// it at the run's deadline; it never moves the clock while background work is in flight (see
// Clock::sleepFor), so every run sees the same instants.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace qv {

// Names one piece of timed work for cancel(); never 0.
using TimerId = std::uint64_t;

class MainRunLoop {
 public:
  MainRunLoop() = delete;

  // The main thread is the thread that first runs the loop or that adopted it here. Until one
  // has, it is the process's initial thread. A fork keeps it when the forking thread was it.
  static void adoptCurrentThread();
  static bool isMainThread();

  // Adds work to the main queue; any thread. An empty function is an std::invalid_argument.
  static void post(std::function<void()> work);

  // Work due at the instant (nanoseconds since 1970, as Clock::now); any thread.
  static TimerId schedule(std::int64_t deadlineNs, std::function<void()> work);
  // Whether the work was still waiting; it then never runs.
  static bool cancel(TimerId timer);

  // Run methods, for the main thread only (std::logic_error elsewhere). A work item may run the
  // loop again; stop() ends the innermost run.
  // Runs everything due now, including what that work posts. On the virtual clock it also
  // waits for background work in flight, since that belongs to this instant.
  static void runUntilIdle();
  // Runs due work up to the deadline and returns at it (virtual clock: with the clock there).
  static void runUntil(std::int64_t deadlineNs);
  static void runFor(double seconds);
  // Ends the innermost active run after its current item; any thread. Ignored when no run is
  // active.
  static void stop();

  // Posted and timed work waiting to run, and the earliest deadline among it.
  static std::size_t pendingCount();
  static std::optional<std::int64_t> nextDeadline();
};

}  // namespace qv

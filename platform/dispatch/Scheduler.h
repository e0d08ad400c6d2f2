// The shared state behind the main run loop, the global queues and the virtual clock: the main
// thread's timed work, the count of background work in flight, and the threads asleep on the
// virtual clock. One lock covers all of it, so that deciding to move the clock and moving it are
// one step that no platform thread can slip work into.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <unordered_map>

namespace qv::detail {

using Work = std::function<void()>;

class Scheduler {
 public:
  static Scheduler& instance();

  // Main-thread work, due at `deadline`, after everything scheduled earlier for the same
  // instant. Ids start at 1.
  std::uint64_t schedule(std::int64_t deadline, Work work);
  bool cancel(std::uint64_t id);
  // Removes and answers the first item due at `now`; an empty function when none is.
  Work takeDue(std::int64_t now);
  std::size_t pendingCount();
  bool nextDeadline(std::int64_t& deadline);

  // Run methods of the main loop, for stop(): a stop ends the innermost run and is ignored
  // when no run is active.
  void enterRun();
  void leaveRun();
  void requestStop();
  bool takeStop();
  int runDepth();
  // In a forked child whose main thread did not survive the fork.
  void abandonRuns();

  // Background work in flight: global-queue items from submission to end, detached threads
  // from start to end. The virtual clock does not move while any is.
  void beginBackgroundWork();
  void endBackgroundWork();

  // Continue: look for due work again.
  enum class Step { Continue, Stopped, ReachedLimit };
  // Virtual clock, main thread running its loop: waits until main-thread work is due, a stop
  // arrives, or the background is idle; then moves the clock to the next timer or sleeper's
  // wake time up to `limit`, waking the sleepers due by then.
  Step advanceForRunLoop(std::int64_t limit);
  // Virtual clock, main thread asleep: moves the clock to `limit` through the sleepers' wake
  // times without running main-thread work. Work posted for the main thread ends a wait for
  // the background, since the poster may be waiting for it.
  void advanceForMainSleep(std::int64_t limit);
  // Wall clock: waits until the next deadline, `limit`, new work or a stop.
  Step waitRealtime(std::int64_t limit);

  // A thread other than the main one asleep on the virtual clock until `instant`.
  void sleepUntil(std::int64_t instant);

  Scheduler(const Scheduler&) = delete;
  Scheduler& operator=(const Scheduler&) = delete;

 private:
  Scheduler() = default;

  struct Key {
    std::int64_t deadline;
    std::uint64_t id;
    bool operator<(const Key& other) const {
      return deadline != other.deadline ? deadline < other.deadline : id < other.id;
    }
  };
  struct Sleeper {
    bool counted;
    bool woken = false;
  };

  bool dueLocked(std::int64_t now) const;
  bool nextEventLocked(bool withTimers, std::int64_t& instant) const;
  void moveClockLocked(std::int64_t instant);
  void waitForBackgroundLocked(std::unique_lock<std::mutex>& lock,
                               const std::function<bool()>& interrupt);
  static void resetInChild();

  std::mutex mutex_;
  std::condition_variable mainWake_;
  std::condition_variable sleepersWake_;

  std::map<Key, Work> timed_;
  std::unordered_map<std::uint64_t, std::int64_t> deadlineOf_;
  std::uint64_t nextId_ = 1;
  std::uint64_t scheduledCount_ = 0;

  int runDepth_ = 0;
  bool stopRequested_ = false;

  int background_ = 0;
  std::multimap<std::int64_t, Sleeper*> sleepers_;
};

// Runs one piece of background work on a platform thread that counted it with
// beginBackgroundWork: inside an autorelease pool, ending the count when done. An exception is
// carried to the main run loop and raised from its run method, as an uncaught exception on the
// device ends the app.
void runAsBackgroundWork(Work work);

// Whether the calling thread is running background work that the clock waits for.
bool isCountedBackgroundThread();

}  // namespace qv::detail

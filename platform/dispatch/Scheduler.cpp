#include "platform/dispatch/Scheduler.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <utility>

#include "platform/System/ForkSafety.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv::detail {
namespace {

thread_local int countedDepth = 0;

// Background work that stays busy this long in real time is most likely waiting for virtual
// time without Clock::sleepFor, which stops the clock for good: say so rather than hang quietly.
constexpr auto kStallReport = std::chrono::seconds(10);

constexpr std::int64_t kMinute = 60'000'000'000;

}  // namespace

Scheduler& Scheduler::instance() {
  // Never destroyed: detached pool threads use it until the process ends.
  static Scheduler* scheduler = [] {
    auto* created = new Scheduler;
    guardAcrossFork(created->mutex_);
    atForkChild(&Scheduler::resetInChild);
    return created;
  }();
  return *scheduler;
}

void Scheduler::resetInChild() {
  // The child has only the thread that forked: no pool worker, detached thread or sleeper.
  Scheduler& s = instance();
  s.background_ = 0;
  s.sleepers_.clear();
}

std::uint64_t Scheduler::schedule(std::int64_t deadline, Work work) {
  std::uint64_t id = 0;
  {
    std::lock_guard lock(mutex_);
    id = nextId_++;
    auto indexed = deadlineOf_.emplace(id, deadline).first;
    try {
      timed_.emplace(Key{deadline, id}, std::move(work));
    } catch (...) {
      deadlineOf_.erase(indexed);
      throw;
    }
    ++scheduledCount_;
  }
  mainWake_.notify_all();
  return id;
}

bool Scheduler::cancel(std::uint64_t id) {
  // Destroyed after the lock is released: the work's captures may send messages that schedule.
  decltype(timed_)::node_type cancelled;
  std::lock_guard lock(mutex_);
  auto indexed = deadlineOf_.find(id);
  if (indexed == deadlineOf_.end()) return false;
  cancelled = timed_.extract(Key{indexed->second, id});
  deadlineOf_.erase(indexed);
  return true;
}

Work Scheduler::takeDue(std::int64_t now) {
  std::lock_guard lock(mutex_);
  if (!dueLocked(now)) return {};
  auto node = timed_.extract(timed_.begin());
  deadlineOf_.erase(node.key().id);
  return std::move(node.mapped());
}

std::size_t Scheduler::pendingCount() {
  std::lock_guard lock(mutex_);
  return timed_.size();
}

bool Scheduler::nextDeadline(std::int64_t& deadline) {
  std::lock_guard lock(mutex_);
  if (timed_.empty()) return false;
  deadline = timed_.begin()->first.deadline;
  return true;
}

void Scheduler::enterRun() {
  std::lock_guard lock(mutex_);
  ++runDepth_;
}

void Scheduler::leaveRun() {
  std::lock_guard lock(mutex_);
  if (--runDepth_ == 0) stopRequested_ = false;
}

void Scheduler::abandonRuns() {
  runDepth_ = 0;
  stopRequested_ = false;
}

void Scheduler::requestStop() {
  {
    std::lock_guard lock(mutex_);
    if (runDepth_ == 0) return;
    stopRequested_ = true;
  }
  mainWake_.notify_all();
}

bool Scheduler::takeStop() {
  std::lock_guard lock(mutex_);
  return std::exchange(stopRequested_, false);
}

int Scheduler::runDepth() {
  std::lock_guard lock(mutex_);
  return runDepth_;
}

void Scheduler::beginBackgroundWork() {
  std::lock_guard lock(mutex_);
  ++background_;
}

void Scheduler::endBackgroundWork() {
  bool idle = false;
  {
    std::lock_guard lock(mutex_);
    idle = --background_ == 0;
  }
  if (idle) mainWake_.notify_all();
}

Scheduler::Step Scheduler::advanceForRunLoop(std::int64_t limit) {
  std::unique_lock lock(mutex_);
  for (;;) {
    waitForBackgroundLocked(lock, [&] { return stopRequested_ || dueLocked(Clock::now()); });
    if (std::exchange(stopRequested_, false)) return Step::Stopped;
    if (dueLocked(Clock::now())) return Step::Continue;
    std::int64_t next = 0;
    if (!nextEventLocked(true, next) || next > limit) {
      moveClockLocked(limit);
      return Step::ReachedLimit;
    }
    moveClockLocked(next);
    // When only sleepers woke, the next round waits for them.
  }
}

void Scheduler::advanceForMainSleep(std::int64_t limit) {
  std::unique_lock lock(mutex_);
  for (;;) {
    const std::uint64_t seen = scheduledCount_;
    waitForBackgroundLocked(lock, [&] { return scheduledCount_ != seen; });
    std::int64_t next = 0;
    if (!nextEventLocked(false, next) || next > limit) {
      moveClockLocked(limit);
      return;
    }
    moveClockLocked(next);
  }
}

Scheduler::Step Scheduler::waitRealtime(std::int64_t limit) {
  std::unique_lock lock(mutex_);
  if (std::exchange(stopRequested_, false)) return Step::Stopped;
  const std::int64_t now = Clock::now();
  if (dueLocked(now)) return Step::Continue;
  if (now >= limit) return Step::ReachedLimit;
  std::int64_t wakeAt = limit;
  if (!timed_.empty()) wakeAt = std::min(wakeAt, timed_.begin()->first.deadline);
  // At most a minute per wait: an instant near the end of time would overflow the wait's own
  // arithmetic, and the caller simply looks again.
  mainWake_.wait_for(lock, std::chrono::nanoseconds(std::min<std::int64_t>(wakeAt - now, kMinute)));
  return std::exchange(stopRequested_, false) ? Step::Stopped : Step::Continue;
}

void Scheduler::sleepUntil(std::int64_t instant) {
  std::unique_lock lock(mutex_);
  if (instant <= Clock::now()) return;
  Sleeper self{isCountedBackgroundThread()};
  sleepers_.emplace(instant, &self);
  if (self.counted) --background_;
  mainWake_.notify_all();
  sleepersWake_.wait(lock, [&] { return self.woken; });
}

bool Scheduler::dueLocked(std::int64_t now) const {
  return !timed_.empty() && timed_.begin()->first.deadline <= now;
}

bool Scheduler::nextEventLocked(bool withTimers, std::int64_t& instant) const {
  const bool hasTimer = withTimers && !timed_.empty();
  const bool hasSleeper = !sleepers_.empty();
  if (!hasTimer && !hasSleeper) return false;
  if (hasTimer) instant = timed_.begin()->first.deadline;
  if (hasSleeper && (!hasTimer || sleepers_.begin()->first < instant)) {
    instant = sleepers_.begin()->first;
  }
  return true;
}

void Scheduler::moveClockLocked(std::int64_t instant) {
  Clock::advanceTo(instant);
  const std::int64_t now = Clock::now();
  bool woke = false;
  while (!sleepers_.empty() && sleepers_.begin()->first <= now) {
    Sleeper* sleeper = sleepers_.begin()->second;
    sleepers_.erase(sleepers_.begin());
    sleeper->woken = true;
    // Busy again from this instant, so the clock waits for what it does next.
    if (sleeper->counted) ++background_;
    woke = true;
  }
  if (woke) sleepersWake_.notify_all();
}

void Scheduler::waitForBackgroundLocked(std::unique_lock<std::mutex>& lock,
                                        const std::function<bool()>& interrupt) {
  bool reported = false;
  while (background_ > 0 && !interrupt()) {
    if (mainWake_.wait_for(lock, kStallReport) == std::cv_status::timeout && !reported &&
        background_ > 0) {
      std::fprintf(stderr,
                   "qv::MainRunLoop: the virtual clock has waited %lld s for background work; "
                   "a thread that waits for virtual time must use qv::Clock::sleepFor\n",
                   static_cast<long long>(kStallReport.count()));
      reported = true;
    }
  }
}

bool isCountedBackgroundThread() {
  return countedDepth > 0;
}

namespace {

// Counts the calling thread as running background work, and ends the count the caller began.
class CountedWork {
 public:
  CountedWork() { ++countedDepth; }
  ~CountedWork() {
    --countedDepth;
    Scheduler::instance().endBackgroundWork();
  }
  CountedWork(const CountedWork&) = delete;
  CountedWork& operator=(const CountedWork&) = delete;
};

}  // namespace

void runAsBackgroundWork(Work work) {
  CountedWork counted;
  AutoreleasePool pool;
  // Destroyed inside the count and the pool: releasing its captures is part of the work.
  const Work body = std::move(work);
  std::exception_ptr error;
  try {
    body();
  } catch (...) {
    error = std::current_exception();
  }
  // Posted once the handler has let go of the exception, so that from here on only the main
  // thread touches it.
  if (error) MainRunLoop::post([error = std::move(error)] { std::rethrow_exception(error); });
}

}  // namespace qv::detail

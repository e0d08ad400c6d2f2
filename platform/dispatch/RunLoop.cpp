#include "platform/dispatch/RunLoop.h"

#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/System/ForkSafety.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/Scheduler.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv {
namespace {

using detail::Scheduler;

std::atomic<std::thread::id> mainThread{};

void forgetMainThreadInChild() {
  if (mainThread.load() == std::this_thread::get_id()) return;
  mainThread.store(std::thread::id());
  Scheduler::instance().abandonRuns();
}

[[maybe_unused]] const bool forkHandled = (atForkChild(&forgetMainThreadInChild), true);

void claimMainThread(const char* caller) {
  std::thread::id claimed;
  const std::thread::id self = std::this_thread::get_id();
  if (mainThread.compare_exchange_strong(claimed, self) || claimed == self) return;
  throw std::logic_error(std::string("qv::MainRunLoop::") + caller +
                         " called on a thread other than the main thread");
}

// One active run of the loop, for stop() and nested runs.
class ActiveRun {
 public:
  explicit ActiveRun(const char* caller) {
    claimMainThread(caller);
    Scheduler::instance().enterRun();
  }
  ~ActiveRun() { Scheduler::instance().leaveRun(); }
  ActiveRun(const ActiveRun&) = delete;
  ActiveRun& operator=(const ActiveRun&) = delete;
};

std::function<void()> checked(std::function<void()> work, const char* caller) {
  if (!work) {
    throw std::invalid_argument(std::string("qv::MainRunLoop::") + caller + ": no work given");
  }
  return work;
}

// Runs one due item, if there is one; answers false when none was due.
bool runOneDue(std::int64_t now) {
  std::function<void()> due = Scheduler::instance().takeDue(now);
  if (!due) return false;
  AutoreleasePool pool;
  // Released inside the pool: what its captures' deallocation autoreleases goes there too.
  const std::function<void()> work = std::move(due);
  work();
  return true;
}

void runUntilLimit(std::int64_t limit) {
  Scheduler& scheduler = Scheduler::instance();
  for (;;) {
    if (runOneDue(Clock::now())) {
      if (scheduler.takeStop()) return;
      continue;
    }
    const Scheduler::Step step =
        Clock::isRealtime() ? scheduler.waitRealtime(limit) : scheduler.advanceForRunLoop(limit);
    if (step != Scheduler::Step::Continue) return;
  }
}

}  // namespace

void MainRunLoop::adoptCurrentThread() {
  if (!isMainThread() && Scheduler::instance().runDepth() > 0) {
    throw std::logic_error(
        "qv::MainRunLoop::adoptCurrentThread while the loop runs on another thread");
  }
  mainThread.store(std::this_thread::get_id());
}

bool MainRunLoop::isMainThread() {
  const std::thread::id main = mainThread.load(std::memory_order_acquire);
  if (main == std::thread::id()) return gettid() == getpid();
  return main == std::this_thread::get_id();
}

void MainRunLoop::post(std::function<void()> work) {
  Scheduler::instance().schedule(Clock::now(), checked(std::move(work), "post"));
}

TimerId MainRunLoop::schedule(std::int64_t deadlineNs, std::function<void()> work) {
  return Scheduler::instance().schedule(deadlineNs, checked(std::move(work), "schedule"));
}

bool MainRunLoop::cancel(TimerId timer) {
  return Scheduler::instance().cancel(timer);
}

void MainRunLoop::runUntilIdle() {
  ActiveRun run("runUntilIdle");
  if (!Clock::isRealtime()) {
    runUntilLimit(Clock::now());
    return;
  }
  while (runOneDue(Clock::now())) {
    if (Scheduler::instance().takeStop()) return;
  }
}

void MainRunLoop::runUntil(std::int64_t deadlineNs) {
  ActiveRun run("runUntil");
  runUntilLimit(deadlineNs);
}

void MainRunLoop::runFor(double seconds) {
  const std::int64_t interval = Clock::toNanoseconds(seconds);
  ActiveRun run("runFor");
  runUntilLimit(Clock::offset(Clock::now(), interval));
}

void MainRunLoop::stop() {
  Scheduler::instance().requestStop();
}

std::size_t MainRunLoop::pendingCount() {
  return Scheduler::instance().pendingCount();
}

std::optional<std::int64_t> MainRunLoop::nextDeadline() {
  std::int64_t deadline = 0;
  if (!Scheduler::instance().nextDeadline(deadline)) return std::nullopt;
  return deadline;
}

}  // namespace qv

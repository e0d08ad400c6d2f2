#include "platform/dispatch/GlobalQueue.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/System/ForkSafety.h"
#include "platform/dispatch/Scheduler.h"
#include "platform/dispatch/Threads.h"

namespace qv::detail {
namespace {

struct Pool {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::function<void()>> items;
  int threads = 0;
  int idle = 0;
};

void forgetThreadsInChild();

// Never destroyed: its threads wait on it until the process ends.
Pool& pool() {
  static Pool* created = [] {
    auto* p = new Pool;
    guardAcrossFork(p->mutex);
    atForkChild(&forgetThreadsInChild);
    return p;
  }();
  return *created;
}

void forgetThreadsInChild() {
  // The workers stayed behind in the parent, with the work they had; the scheduler forgets the
  // count of it.
  Pool& p = pool();
  p.items.clear();
  p.threads = 0;
  p.idle = 0;
}

[[noreturn]] void workerLoop() {
  Pool& p = pool();
  for (;;) {
    std::function<void()> work;
    {
      std::unique_lock lock(p.mutex);
      ++p.idle;
      p.wake.wait(lock, [&] { return !p.items.empty(); });
      --p.idle;
      work = std::move(p.items.front());
      p.items.pop_front();
    }
    runAsBackgroundWork(std::move(work));
  }
}

// Reserves a thread when the work would otherwise wait for a busy one.
bool reserveThread(Pool& p) {
  std::lock_guard lock(p.mutex);
  if (p.threads >= globalQueueWidth() || static_cast<int>(p.items.size()) < p.idle) return false;
  ++p.threads;
  return true;
}

// Starts a reserved thread. A failure is only an error when the pool is left without any
// thread to run the work.
void startReservedThread(Pool& p) {
  try {
    spawnRuntimeThread(&workerLoop);
  } catch (...) {
    std::lock_guard lock(p.mutex);
    if (--p.threads == 0) throw;
  }
}

}  // namespace

int globalQueueWidth() {
  static const int width = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 2, 4);
  return width;
}

void submitToGlobalQueue(std::function<void()> work) {
  Pool& p = pool();
  Scheduler& scheduler = Scheduler::instance();
  scheduler.beginBackgroundWork();
  try {
    if (reserveThread(p)) startReservedThread(p);
    std::lock_guard lock(p.mutex);
    p.items.push_back(std::move(work));
  } catch (...) {
    scheduler.endBackgroundWork();
    throw;
  }
  p.wake.notify_one();
}

}  // namespace qv::detail

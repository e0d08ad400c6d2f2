// An app process is a fork of the simulator, and tests fork per case: the child must get a
// working run loop and global queues even when the parent's threads were busy at the fork.
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/dispatch/Threads.h"
#include "platform/dispatch/dispatch.h"
#include "tests/platform/dispatch/LoopFixture.h"

namespace qv::test {
namespace {

class Gate {
 public:
  void open() {
    std::lock_guard lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  void wait() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool open_ = false;
};

// Runs the body in a forked child and fails the case with it. Unlike runForked it skips the
// child's leak check: what the parent's busy threads hold (their thread-locals) has no owner in
// the child and would be reported as leaked.
void inChild(const std::function<void()>& body) {
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    body();
    _exit(::testing::Test::HasFailure() ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child failed, see above";
}

using ForkTest = MainLoopTest;

TEST_F(ForkTest, ChildHasWorkingQueuesWhileParentThreadsAreBusy) {
  Gate release;
  // The parent's pool and a detached thread are busy, and a thread sleeps on the clock.
  dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                 [&] { release.wait(); });
  startThread([&] { Clock::sleepFor(100); });
  startThread([&] { release.wait(); });

  inChild([&] {
    EXPECT_TRUE(MainRunLoop::isMainThread());
    Trace trace;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0), [&] {
      Clock::sleepFor(1);
      dispatch_async(dispatch_get_main_queue(), [&] { trace.add("from-global" + at()); });
    });
    MainRunLoop::schedule(Clock::now() + 2 * kSecond, [&] { trace.add("timer" + at()); });
    MainRunLoop::runFor(3);
    EXPECT_EQ(trace.str(), "from-global@1 timer@2");
  });

  release.open();
  MainRunLoop::runFor(100);
}

TEST(ForkMainThreadTest, ChildForkedOffTheMainThreadMakesItsOwnMainThread) {
  MainRunLoop::adoptCurrentThread();
  std::thread forker([] {
    inChild([] {
      EXPECT_TRUE(MainRunLoop::isMainThread());
      bool ran = false;
      MainRunLoop::post([&] { ran = true; });
      MainRunLoop::runUntilIdle();
      EXPECT_TRUE(ran);
    });
  });
  forker.join();
  EXPECT_TRUE(MainRunLoop::isMainThread());
}

}  // namespace
}  // namespace qv::test

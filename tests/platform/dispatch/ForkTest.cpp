// An app process is a fork of the simulator, and tests fork per case: the child must get a
// working run loop and global queues even when the parent's threads were busy at the fork.
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <thread>

#include "platform/dispatch/Threads.h"
#include "port/dispatch/dispatch.h"
#include "tests/platform/dispatch/LoopFixture.h"

namespace qv::test {
namespace {

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
  Arrivals ready;
  Arrivals release;
  // The parent's pool and a detached thread are busy, and a thread sleeps on the clock.
  dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [&] {
    ready.arrive();
    release.reached(1);
  });
  startThread([&] {
    ready.arrive();
    release.reached(1);
  });
  startThread([&] {
    ready.arrive();
    Clock::sleepFor(100);
  });
  ASSERT_TRUE(ready.reached(3));
  // Under AddressSanitizer a fork while another thread is inside the allocator leaves the
  // allocator's lock taken in the child: let the sleeper finish registering first.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));

  inChild([&] {
    EXPECT_TRUE(MainRunLoop::isMainThread());
    Trace trace;
    dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_HIGH, 0), [&] {
      Clock::sleepFor(1);
      dispatch_async(dispatch_get_main_queue(), [&] { trace.add(at("from-global")); });
    });
    MainRunLoop::schedule(Clock::now() + 2 * kSecond, [&] { trace.add(at("timer")); });
    MainRunLoop::runFor(3);
    EXPECT_EQ(trace.str(), "from-global@1 timer@2");
  });

  release.arrive();
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

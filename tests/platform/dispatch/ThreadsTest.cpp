// The main loop with real threads: global queues, detached threads, and the virtual clock
// waiting for them. Run under ThreadSanitizer too.
#include <map>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/dispatch/GlobalQueue.h"
#include "platform/dispatch/Threads.h"
#include "platform/objc/Object.h"
#include "port/dispatch/dispatch.h"
#include "tests/platform/dispatch/LoopFixture.h"

namespace qv::test {
namespace {

dispatch_queue_t globalQueue() {
  return dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
}

using ThreadsTest = MainLoopTest;

TEST_F(ThreadsTest, GlobalQueueRunsWorkConcurrentlyOffTheMainThread) {
  Arrivals arrivals;
  Trace trace;
  for (int i = 0; i < 2; ++i) {
    dispatch_async(globalQueue(), [&] {
      arrivals.arrive();
      // Each waits for the other: only two items running at once both meet.
      trace.add(arrivals.reached(2) && !MainRunLoop::isMainThread() ? "met" : "alone");
    });
  }
  MainRunLoop::runUntilIdle();
  EXPECT_EQ(trace.str(), "met met");
}

TEST_F(ThreadsTest, GlobalQueueStartsWorkInFifoOrder) {
  // All threads but one are held, so the rest runs one at a time in the order it started.
  const int held = detail::globalQueueWidth() - 1;
  Arrivals holding;
  Arrivals released;
  for (int i = 0; i < held; ++i) {
    dispatch_async(globalQueue(), [&] {
      holding.arrive();
      released.reached(1);
    });
  }
  ASSERT_TRUE(holding.reached(held));
  Trace trace;
  for (int i = 0; i < 8; ++i) {
    dispatch_async(globalQueue(), [&, i] {
      trace.add(std::to_string(i));
      if (i == 7) released.arrive();
    });
  }
  MainRunLoop::runUntilIdle();
  EXPECT_EQ(trace.str(), "0 1 2 3 4 5 6 7");
}

// The clock may not pass the instant at which background work began until that work is done:
// its post reaches the main thread before the timer one second later.
TEST_F(ThreadsTest, BackgroundWorkHoldsTheVirtualClock) {
  Trace trace;
  dispatch_async(globalQueue(), [&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    trace.add(at("background"));
    dispatch_async(dispatch_get_main_queue(), [&] { trace.add(at("posted")); });
  });
  MainRunLoop::schedule(start + kSecond, [&] { trace.add(at("timer")); });
  MainRunLoop::runFor(2);
  EXPECT_EQ(trace.str(), "background@0 posted@0 timer@1");
}

TEST_F(ThreadsTest, SleepingThreadsWakeAtTheirVirtualTimeAmongTimers) {
  Trace trace;
  dispatch_async(globalQueue(), [&] {
    Clock::sleepFor(1.5);
    trace.add(at("a"));
    Clock::sleepFor(1.5);
    trace.add(at("a"));
  });
  startThread([&] {
    Clock::sleepUntil(start + 2 * kSecond);
    trace.add(at("b"));
  });
  MainRunLoop::schedule(start + kSecond, [&] { trace.add(at("t")); });
  MainRunLoop::schedule(start + 4 * kSecond, [&] { trace.add(at("t")); });
  const auto realStart = std::chrono::steady_clock::now();
  MainRunLoop::runFor(5);
  EXPECT_EQ(trace.str(), "t@1 a@1.5 b@2 a@3 t@4");
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(2));
}

TEST_F(ThreadsTest, MainThreadSleepMovesTheClockThroughSleepersButRunsNoWork) {
  Trace trace;
  startThread([&] {
    Clock::sleepFor(1);
    trace.add(at("b"));
  });
  MainRunLoop::schedule(start + kSecond, [&] { trace.add(at("timer")); });
  Clock::sleepFor(2);
  trace.add(at("main"));
  MainRunLoop::runUntilIdle();
  EXPECT_EQ(trace.str(), "b@1 main@2 timer@2");
}

TEST_F(ThreadsTest, PostsFromManyThreadsArriveInEachThreadsOrder) {
  constexpr int kThreads = 4;
  constexpr int kPosts = 500;
  std::map<int, std::vector<int>> received;  // touched on the main thread only
  for (int t = 0; t < kThreads; ++t) {
    startThread([&received, t] {
      for (int i = 0; i < kPosts; ++i) {
        MainRunLoop::post([&received, t, i] { received[t].push_back(i); });
      }
    });
  }
  MainRunLoop::runUntilIdle();
  ASSERT_EQ(received.size(), static_cast<std::size_t>(kThreads));
  for (const auto& [thread, sequence] : received) {
    ASSERT_EQ(sequence.size(), static_cast<std::size_t>(kPosts)) << "thread " << thread;
    for (int i = 0; i < kPosts; ++i) ASSERT_EQ(sequence[i], i) << "thread " << thread;
  }
}

TEST_F(ThreadsTest, BackgroundWorkRunsInsideAnAutoreleasePool) {
  Ref<> object = make(NSObjectClass());
  startThread([&] { autorelease(retain(object)); });
  dispatch_async(globalQueue(), [&] { autorelease(retain(object)); });
  MainRunLoop::runUntilIdle();
  EXPECT_EQ(retainCount(object), 1u);
}

TEST_F(ThreadsTest, BackgroundExceptionsAreRaisedOnTheMainThread) {
  Trace trace;
  auto raisedOnMain = [&] {
    try {
      MainRunLoop::runUntilIdle();
      trace.add("nothing");
    } catch (const std::runtime_error& error) {
      trace.add(error.what());
    }
  };
  dispatch_async(globalQueue(), [] { throw std::runtime_error("global"); });
  raisedOnMain();
  startThread([] { throw std::runtime_error("thread"); });
  raisedOnMain();
  EXPECT_THROW(startThread({}), std::invalid_argument);
  raisedOnMain();
  EXPECT_EQ(trace.str(), "global thread nothing");
}

TEST_F(ThreadsTest, DispatchAfterToAGlobalQueueRunsInTheBackgroundOnTime) {
  Trace trace;
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC), globalQueue(),
                 [&] { trace.add(at(MainRunLoop::isMainThread() ? "main" : "background")); });
  MainRunLoop::runFor(2);
  EXPECT_EQ(trace.str(), "background@1");
}

}  // namespace
}  // namespace qv::test

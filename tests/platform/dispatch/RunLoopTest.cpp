#include "platform/dispatch/RunLoop.h"

#include <stdexcept>
#include <thread>

#include "platform/objc/AutoreleasePool.h"
#include "platform/objc/Object.h"
#include "tests/platform/dispatch/LoopFixture.h"

namespace qv::test {
namespace {

using RunLoopTest = MainLoopTest;

TEST_F(RunLoopTest, PostedWorkRunsInFifoOrder) {
  Trace trace;
  for (const char* name : {"a", "b", "c"}) MainRunLoop::post([&, name] { trace.add(name); });
  MainRunLoop::runUntilIdle();
  EXPECT_EQ(trace.str(), "a b c");
}

TEST_F(RunLoopTest, TimedWorkRunsInDeadlineOrderAtItsDeadline) {
  Trace trace;
  auto record = [&](const char* name) { return [&, name] { trace.add(name + at()); }; };
  MainRunLoop::schedule(start + 3 * kSecond, record("c"));
  MainRunLoop::schedule(start + 1 * kSecond, record("a"));
  MainRunLoop::schedule(start + 3 * kSecond, record("d"));
  MainRunLoop::schedule(start + 2 * kSecond, record("b"));
  MainRunLoop::post(record("posted"));
  MainRunLoop::runFor(5);
  EXPECT_EQ(trace.str(), "posted@0 a@1 b@2 c@3 d@3");
  EXPECT_EQ(Clock::now(), start + 5 * kSecond);
}

TEST_F(RunLoopTest, WorkAddedByWorkRunsInTheSameRun) {
  Trace trace;
  MainRunLoop::post([&] {
    trace.add("outer");
    MainRunLoop::schedule(Clock::now(), [&] { trace.add("timer-now"); });
    MainRunLoop::post([&] { trace.add("posted"); });
  });
  MainRunLoop::runUntilIdle();
  EXPECT_EQ(trace.str(), "outer timer-now posted");
}

TEST_F(RunLoopTest, PostedWorkIsDueAtItsPostingInstant) {
  Trace trace;
  MainRunLoop::schedule(start + kSecond, [&] {
    trace.add("timer" + at());
    MainRunLoop::post([&] { trace.add("posted" + at()); });
  });
  // Scheduled earlier for the same instant than the post, so it runs first.
  MainRunLoop::schedule(start + kSecond, [&] { trace.add("second" + at()); });
  MainRunLoop::runFor(2);
  EXPECT_EQ(trace.str(), "timer@1 second@1 posted@1");
}

TEST_F(RunLoopTest, RunUntilIdleNeitherMovesTheClockNorRunsFutureWork) {
  Trace trace;
  MainRunLoop::schedule(start - kSecond, [&] { trace.add("overdue"); });
  MainRunLoop::schedule(start + 1, [&] { trace.add("future"); });
  MainRunLoop::runUntilIdle();
  EXPECT_EQ(trace.str(), "overdue");
  EXPECT_EQ(Clock::now(), start);
  EXPECT_EQ(MainRunLoop::pendingCount(), 1u);
  EXPECT_EQ(MainRunLoop::nextDeadline(), start + 1);
  MainRunLoop::runUntil(start + 1);
  EXPECT_EQ(trace.str(), "overdue future");
}

TEST_F(RunLoopTest, RunUntilThePastLeavesTheClockAlone) {
  MainRunLoop::runUntil(start - kSecond);
  EXPECT_EQ(Clock::now(), start);
  MainRunLoop::runFor(-1);
  EXPECT_EQ(Clock::now(), start);
}

TEST_F(RunLoopTest, CancelledWorkNeverRuns) {
  Trace trace;
  const TimerId kept = MainRunLoop::schedule(start + kSecond, [&] { trace.add("kept"); });
  const TimerId dropped = MainRunLoop::schedule(start + kSecond, [&] { trace.add("dropped"); });
  EXPECT_NE(kept, 0u);
  EXPECT_TRUE(MainRunLoop::cancel(dropped));
  EXPECT_FALSE(MainRunLoop::cancel(dropped));
  EXPECT_FALSE(MainRunLoop::cancel(0));
  MainRunLoop::runFor(2);
  EXPECT_EQ(trace.str(), "kept");
  EXPECT_FALSE(MainRunLoop::cancel(kept));
}

// Work may cancel other work that is due at the same instant.
TEST_F(RunLoopTest, WorkCanCancelWorkDueAtTheSameInstant) {
  Trace trace;
  TimerId second = 0;
  MainRunLoop::schedule(start + kSecond,
                        [&] { trace.add(MainRunLoop::cancel(second) ? "x" : "?"); });
  second = MainRunLoop::schedule(start + kSecond, [&] { trace.add("second"); });
  MainRunLoop::runFor(1);
  EXPECT_EQ(trace.str(), "x");
}

TEST_F(RunLoopTest, ExceptionsReachTheCallerAndLeaveTheLoopUsable) {
  Trace trace;
  MainRunLoop::post([&] { trace.add("a"); });
  MainRunLoop::post([] { throw std::runtime_error("boom"); });
  MainRunLoop::post([&] { trace.add("b"); });
  EXPECT_THROW(MainRunLoop::runUntilIdle(), std::runtime_error);
  EXPECT_EQ(trace.str(), "a");
  MainRunLoop::runUntilIdle();
  EXPECT_EQ(trace.str(), "a b");

  MainRunLoop::schedule(start + kSecond, [] { throw std::runtime_error("timer"); });
  MainRunLoop::schedule(start + 2 * kSecond, [&] { trace.add("c" + at()); });
  EXPECT_THROW(MainRunLoop::runFor(3), std::runtime_error);
  EXPECT_EQ(Clock::now(), start + kSecond);
  MainRunLoop::runUntil(start + 3 * kSecond);
  EXPECT_EQ(trace.str(), "a b c@2");
  // The throwing run ended cleanly: a stop now finds no run to end.
  MainRunLoop::stop();
  MainRunLoop::post([&] { trace.add("d"); });
  MainRunLoop::runUntilIdle();
  EXPECT_EQ(trace.str(), "a b c@2 d");
}

// Without a pool per item, what an item autoreleases would live until the run ends.
TEST_F(RunLoopTest, EachItemDrainsItsOwnAutoreleasePool) {
  Ref<> object = make(NSObjectClass());
  std::uint64_t countInNextItem = 0;
  MainRunLoop::post([&] { autorelease(retain(object)); });
  MainRunLoop::post([&] { countInNextItem = retainCount(object); });
  MainRunLoop::runUntilIdle();
  EXPECT_EQ(countInNextItem, 1u);
}

TEST_F(RunLoopTest, StopEndsTheRunAfterTheCurrentItem) {
  Trace trace;
  MainRunLoop::schedule(start + kSecond, [&] {
    trace.add("stop" + at());
    MainRunLoop::stop();
  });
  MainRunLoop::schedule(start + kSecond, [&] { trace.add("same-instant"); });
  MainRunLoop::runFor(5);
  EXPECT_EQ(trace.str(), "stop@1");
  EXPECT_EQ(Clock::now(), start + kSecond);
  MainRunLoop::runUntilIdle();
  EXPECT_EQ(trace.str(), "stop@1 same-instant");
}

TEST_F(RunLoopTest, StopEndsOnlyTheInnermostRun) {
  Trace trace;
  MainRunLoop::post([&] {
    MainRunLoop::schedule(Clock::now() + kSecond, [&] {
      trace.add("inner-stop" + at());
      MainRunLoop::stop();
    });
    MainRunLoop::runFor(10);
    trace.add("inner-returned" + at());
  });
  MainRunLoop::schedule(start + 3 * kSecond, [&] { trace.add("outer" + at()); });
  MainRunLoop::runFor(4);
  EXPECT_EQ(trace.str(), "inner-stop@1 inner-returned@1 outer@3");
  EXPECT_EQ(Clock::now(), start + 4 * kSecond);
}

TEST_F(RunLoopTest, StopWithoutARunIsIgnored) {
  Trace trace;
  MainRunLoop::stop();
  MainRunLoop::post([&] { trace.add("a"); });
  MainRunLoop::post([&] { trace.add("b"); });
  MainRunLoop::runUntilIdle();
  EXPECT_EQ(trace.str(), "a b");
}

TEST_F(RunLoopTest, OnlyTheMainThreadRunsTheLoop) {
  bool otherIsMain = true;
  bool refused = false;
  std::thread other([&] {
    otherIsMain = MainRunLoop::isMainThread();
    try {
      MainRunLoop::runUntilIdle();
    } catch (const std::logic_error&) {
      refused = true;
    }
  });
  other.join();
  EXPECT_TRUE(MainRunLoop::isMainThread());
  EXPECT_FALSE(otherIsMain);
  EXPECT_TRUE(refused);
}

TEST_F(RunLoopTest, EmptyWorkIsRefused) {
  EXPECT_THROW(MainRunLoop::post({}), std::invalid_argument);
  EXPECT_THROW(MainRunLoop::schedule(start, {}), std::invalid_argument);
  EXPECT_EQ(MainRunLoop::pendingCount(), 0u);
}

}  // namespace
}  // namespace qv::test

#include "platform/dispatch/RunLoop.h"

#include <stdexcept>
#include <thread>

#include "platform/objc/Object.h"
#include "tests/platform/dispatch/LoopFixture.h"

namespace qv::test {
namespace {

using RunLoopTest = MainLoopTest;

TEST_F(RunLoopTest, WorkRunsInDeadlineOrderFifoAmongEqualsAtItsDeadline) {
  Trace trace;
  auto record = [&](const char* name) { return [&, name] { trace.add(at(name)); }; };
  MainRunLoop::schedule(start + 3 * kSecond, record("c"));
  MainRunLoop::schedule(start + 1 * kSecond, record("a"));
  MainRunLoop::schedule(start + 3 * kSecond, record("d"));
  MainRunLoop::schedule(start + 2 * kSecond, record("b"));
  MainRunLoop::post(record("p1"));
  MainRunLoop::post(record("p2"));
  MainRunLoop::runFor(5);
  EXPECT_EQ(trace.str(), "p1@0 p2@0 a@1 b@2 c@3 d@3");
  EXPECT_EQ(Clock::now(), start + 5 * kSecond);
}

// Posted work is due at its posting instant, after what was scheduled for that instant before.
TEST_F(RunLoopTest, WorkAddedByWorkRunsInTheSameRun) {
  Trace trace;
  MainRunLoop::schedule(start + kSecond, [&] {
    trace.add(at("timer"));
    MainRunLoop::post([&] { trace.add(at("posted")); });
  });
  MainRunLoop::schedule(start + kSecond, [&] { trace.add(at("second")); });
  MainRunLoop::runFor(1);
  EXPECT_EQ(trace.str(), "timer@1 second@1 posted@1");
}

TEST_F(RunLoopTest, RunUntilIdleRunsWhatIsDueWithoutMovingTheClock) {
  Trace trace;
  MainRunLoop::schedule(start - kSecond, [&] { trace.add("overdue"); });
  MainRunLoop::schedule(start + 1, [&] { trace.add("future"); });
  MainRunLoop::runUntilIdle();
  MainRunLoop::runUntil(start - kSecond);
  EXPECT_EQ(trace.str(), "overdue");
  EXPECT_EQ(Clock::now(), start);
  EXPECT_EQ(MainRunLoop::nextDeadline(), start + 1);
  MainRunLoop::runUntil(start + 1);
  EXPECT_EQ(trace.str(), "overdue future");
}

TEST_F(RunLoopTest, CancelledWorkNeverRuns) {
  Trace trace;
  TimerId second = 0;
  const TimerId first = MainRunLoop::schedule(start + kSecond, [&] {
    trace.add(MainRunLoop::cancel(second) ? "first-cancels-second" : "?");
  });
  second = MainRunLoop::schedule(start + kSecond, [&] { trace.add("second"); });
  const TimerId third = MainRunLoop::schedule(start + kSecond, [&] { trace.add("third"); });
  EXPECT_NE(first, 0u);
  EXPECT_TRUE(MainRunLoop::cancel(third));
  EXPECT_FALSE(MainRunLoop::cancel(third));
  EXPECT_FALSE(MainRunLoop::cancel(0));
  MainRunLoop::runFor(1);
  EXPECT_EQ(trace.str(), "first-cancels-second");
  EXPECT_FALSE(MainRunLoop::cancel(first));
}

TEST_F(RunLoopTest, ExceptionsReachTheCallerAndLeaveTheLoopUsable) {
  Trace trace;
  MainRunLoop::post([&] { trace.add("a"); });
  MainRunLoop::schedule(start + kSecond, [] { throw std::runtime_error("boom"); });
  MainRunLoop::schedule(start + 2 * kSecond, [&] { trace.add(at("b")); });
  EXPECT_THROW(MainRunLoop::runFor(3), std::runtime_error);
  EXPECT_EQ(trace.str(), "a");
  EXPECT_EQ(Clock::now(), start + kSecond);
  // The failed run is over: a stop now finds no run to end.
  MainRunLoop::stop();
  MainRunLoop::runUntil(start + 3 * kSecond);
  EXPECT_EQ(trace.str(), "a b@2");
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

TEST_F(RunLoopTest, StopEndsTheInnermostRunAfterTheCurrentItem) {
  Trace trace;
  MainRunLoop::post([&] {
    MainRunLoop::schedule(Clock::now() + kSecond, [&] {
      trace.add(at("stop"));
      MainRunLoop::stop();
    });
    MainRunLoop::schedule(Clock::now() + kSecond, [&] { trace.add(at("same-instant")); });
    MainRunLoop::runFor(10);
    trace.add(at("inner-returned"));
  });
  MainRunLoop::schedule(start + 3 * kSecond, [&] { trace.add(at("outer")); });
  MainRunLoop::runFor(4);
  EXPECT_EQ(trace.str(), "stop@1 inner-returned@1 same-instant@1 outer@3");
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
  EXPECT_THROW(MainRunLoop::post({}), std::invalid_argument);
  EXPECT_THROW(MainRunLoop::schedule(start, {}), std::invalid_argument);
}

}  // namespace
}  // namespace qv::test

#include "port/dispatch/dispatch.h"

#include <stdexcept>

#include "tests/platform/dispatch/LoopFixture.h"

namespace qv::test {
namespace {

using DispatchTest = MainLoopTest;

TEST_F(DispatchTest, GlobalQueuesExistForTheFourPrioritiesOnly) {
  for (long priority : {DISPATCH_QUEUE_PRIORITY_HIGH, DISPATCH_QUEUE_PRIORITY_DEFAULT,
                        DISPATCH_QUEUE_PRIORITY_LOW, DISPATCH_QUEUE_PRIORITY_BACKGROUND}) {
    EXPECT_NE(dispatch_get_global_queue(priority, 0), nullptr) << priority;
    EXPECT_NE(dispatch_get_global_queue(priority, 0), dispatch_get_main_queue());
  }
  EXPECT_EQ(dispatch_get_global_queue(1, 0), nullptr);
  EXPECT_EQ(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 1), nullptr);
}

TEST_F(DispatchTest, DispatchTimeCountsFromNowOrAnInstantAndSaturates) {
  const auto now = static_cast<dispatch_time_t>(start);
  EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, 2 * NSEC_PER_SEC), now + 2 * NSEC_PER_SEC);
  EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, -1000), now - 1000);
  EXPECT_EQ(dispatch_time(now + 5, 10), now + 15);
  EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER, -1), DISPATCH_TIME_FOREVER);
  EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, INT64_MAX), DISPATCH_TIME_FOREVER);
  EXPECT_EQ(dispatch_time(DISPATCH_TIME_NOW, INT64_MIN), 1u);
  EXPECT_EQ(dispatch_time(5, -10), 1u);
}

TEST_F(DispatchTest, MainQueueWorkRunsInOrderOfItsTime) {
  Trace trace;
  dispatch_queue_t main = dispatch_get_main_queue();
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 2 * NSEC_PER_SEC), main,
                 [&] { trace.add(at("after2")); });
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, NSEC_PER_SEC / 2), main,
                 [&] { trace.add(at("after0.5")); });
  dispatch_async(main, [&] { trace.add(at("async")); });
  dispatch_after(DISPATCH_TIME_NOW, main, [&] { trace.add(at("now")); });
  dispatch_after(DISPATCH_TIME_FOREVER, main, [&] { trace.add("never"); });
  MainRunLoop::runFor(3);
  EXPECT_EQ(trace.str(), "async@0 now@0 after0.5@0.5 after2@2");
}

TEST_F(DispatchTest, MissingQueueOrBlockIsRefused) {
  EXPECT_THROW(dispatch_async(nullptr, [] {}), std::invalid_argument);
  EXPECT_THROW(dispatch_async(dispatch_get_main_queue(), {}), std::invalid_argument);
  EXPECT_THROW(dispatch_after(DISPATCH_TIME_NOW, nullptr, [] {}), std::invalid_argument);
  EXPECT_THROW(dispatch_after(DISPATCH_TIME_FOREVER, dispatch_get_main_queue(), {}),
               std::invalid_argument);
}

}  // namespace
}  // namespace qv::test

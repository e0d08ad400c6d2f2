#include "platform/dispatch/Clock.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <limits>
#include <stdexcept>
#include <thread>

#include "port/dispatch/dispatch.h"
#include "tests/platform/dispatch/LoopFixture.h"
#include "tests/support/Forked.h"

namespace qv::test {
namespace {

constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();

TEST(ClockTest, VirtualClockStartsOnTheFifthOfJanuary2026At0941Utc) {
  std::tm start{};
  start.tm_year = 2026 - 1900;
  start.tm_mday = 5;
  start.tm_hour = 9;
  start.tm_min = 41;
  EXPECT_EQ(Clock::kVirtualStart, static_cast<std::int64_t>(timegm(&start)) * kSecond);
}

TEST(ClockTest, ArithmeticRoundsAndSaturates) {
  EXPECT_EQ(Clock::toNanoseconds(0.3), 300'000'000);
  EXPECT_EQ(Clock::toNanoseconds(-2), -2 * kSecond);
  EXPECT_EQ(Clock::toNanoseconds(1e10), kMax);
  EXPECT_EQ(Clock::toNanoseconds(-INFINITY), kMin);
  EXPECT_THROW(Clock::toNanoseconds(NAN), std::invalid_argument);
  EXPECT_EQ(Clock::offset(kMax - 1, 5), kMax);
  EXPECT_EQ(Clock::offset(kMin + 1, -5), kMin);
}

using VirtualTimeTest = MainLoopTest;

TEST_F(VirtualTimeTest, TenSecondDispatchAfterCostsNoRealTime) {
  Trace trace;
  const auto realStart = std::chrono::steady_clock::now();
  dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 10 * NSEC_PER_SEC), dispatch_get_main_queue(),
                 [&] { trace.add(at("notice-hidden")); });
  MainRunLoop::runFor(60);
  EXPECT_EQ(trace.str(), "notice-hidden@10");
  EXPECT_EQ(Clock::now(), start + 60 * kSecond);
  EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(2));
}

TEST(RealtimeClockTest, RealtimeClockGoesOnFromTheVirtualInstantAtWallPace) {
  runForked([] {
    MainRunLoop::adoptCurrentThread();
    const std::int64_t virtualNow = Clock::now();
    Clock::setRealtime(true);
    const std::int64_t switched = Clock::now();
    EXPECT_GE(switched, virtualNow);
    EXPECT_LT(switched - virtualNow, kSecond);

    bool fired = false;
    MainRunLoop::schedule(switched + 30'000'000, [&] { fired = true; });
    const auto realStart = std::chrono::steady_clock::now();
    MainRunLoop::runFor(0.1);
    EXPECT_TRUE(fired);
    EXPECT_GE(std::chrono::steady_clock::now() - realStart, std::chrono::milliseconds(100));

    Clock::setRealtime(false);
    const std::int64_t frozen = Clock::now();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(Clock::now(), frozen);
  });
}

}  // namespace
}  // namespace qv::test

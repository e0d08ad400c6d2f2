#include <gtest/gtest.h>

#include <cmath>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/platform/Foundation/RunLoopRecorder.h"
#include "tests/support/Forked.h"

namespace qv::test {
namespace {

id schedule(id target, double seconds, SEL selector, id info, bool repeats) {
  return send<id>(objc_getClass("NSTimer"),
                  "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:"_sel, seconds,
                  target, selector, info, static_cast<BOOL>(repeats));
}

TEST(Timer, OneShotHoldsItsTargetUntilItFires) {
  runForked([] {
    Ref<> target = make(recorderClass());
    Ref<> info = make(NSObjectClass());
    Ref<> timer;
    {
      AutoreleasePool pool;
      timer = Ref<>(schedule(target, 1.0, "tick:"_sel, info, false));
    }
    EXPECT_EQ(retainCount(target), 2u);
    EXPECT_EQ(retainCount(info), 2u);
    EXPECT_TRUE(send<BOOL>(timer, "isValid"_sel));

    MainRunLoop::runFor(0.5);
    EXPECT_EQ(stateOf<Recorder>(target).trace, "");
    MainRunLoop::runFor(1.0);
    EXPECT_EQ(stateOf<Recorder>(target).trace, "tick@1;");
    EXPECT_FALSE(send<BOOL>(timer, "isValid"_sel));
    EXPECT_EQ(retainCount(target), 1u);
    EXPECT_EQ(retainCount(info), 1u);
    EXPECT_EQ(retainCount(timer), 1u) << "the run loop let the timer go";
  });
}

TEST(Timer, InvalidateReleasesAndNeverFires) {
  runForked([] {
    Ref<> target = make(recorderClass());
    AutoreleasePool pool;
    id timer = schedule(target, 2.0, "tick:"_sel, nil, false);
    send(timer, "invalidate"_sel);
    EXPECT_EQ(retainCount(target), 1u);
    MainRunLoop::runFor(5);
    EXPECT_EQ(stateOf<Recorder>(target).calls, 0);
  });
}

TEST(Timer, RepeatingFiresEachIntervalUntilInvalidated) {
  runForked([] {
    Ref<> target = make(recorderClass());
    AutoreleasePool pool;
    id timer = schedule(target, 1.5, "ping"_sel, nil, true);
    MainRunLoop::runFor(4);
    send(timer, "invalidate"_sel);
    MainRunLoop::runFor(4);
    EXPECT_EQ(stateOf<Recorder>(target).trace, "ping@1.5;ping@3;");
    EXPECT_EQ(retainCount(target), 1u);
  });
}

TEST(Timer, ARepeatingTimerInvalidatedByItsTargetStops) {
  runForked([] {
    Ref<> target = make(recorderClass());
    AutoreleasePool pool;
    id timer = schedule(target, 1, "tick:"_sel, nil, true);
    stateOf<Recorder>(target).invalidateOnCall = timer;
    MainRunLoop::runFor(3);
    EXPECT_EQ(stateOf<Recorder>(target).trace, "tick@1;");
  });
}

TEST(Timer, FireDateAndDatesReadThePlatformClock) {
  runForked([] {
    Ref<> target = make(recorderClass());
    AutoreleasePool pool;
    Class date = objc_getClass("NSDate");
    id start = send<id>(date, "date"_sel);
    id timer = schedule(target, 10, "ping"_sel, nil, false);
    EXPECT_EQ(send<double>(send<id>(timer, "fireDate"_sel), "timeIntervalSinceDate:"_sel, start),
              10.0);
    MainRunLoop::runFor(2.5);
    EXPECT_EQ(send<double>(send<id>(date, "date"_sel), "timeIntervalSinceDate:"_sel, start), 2.5);
    EXPECT_EQ(send<double>(start, "timeIntervalSinceNow"_sel), -2.5);
    send(timer, "invalidate"_sel);
  });
}

TEST(Timer, ShortAndInvalidIntervalsFireAtTheMinimum) {
  runForked([] {
    Ref<> target = make(recorderClass());
    AutoreleasePool pool;
    schedule(target, -1, "ping"_sel, nil, false);
    schedule(target, NAN, "ping"_sel, nil, false);
    MainRunLoop::runFor(0.001);
    EXPECT_EQ(stateOf<Recorder>(target).calls, 2);
  });
}

}  // namespace
}  // namespace qv::test

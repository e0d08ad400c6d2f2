#include <gtest/gtest.h>
#include <objc/thr.h>

#include <thread>

#include "platform/dispatch/RunLoop.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/platform/Foundation/RunLoopRecorder.h"
#include "tests/support/Forked.h"

namespace qv::test {
namespace {

void performLater(id target, SEL selector, id argument, double delay) {
  send(target, "performSelector:withObject:afterDelay:"_sel, selector, argument, delay);
}

TEST(DeferredPerform, RunsAfterTheDelayHoldingTargetAndArgument) {
  runForked([] {
    Ref<> target = make(recorderClass());
    Ref<> argument = makeString("yes");
    performLater(target, "take:"_sel, argument, 2.0);
    performLater(target, "ping"_sel, nil, 1.0);
    EXPECT_EQ(retainCount(target), 3u);
    EXPECT_EQ(retainCount(argument), 2u);
    MainRunLoop::runFor(3);
    EXPECT_EQ(stateOf<Recorder>(target).trace, "ping@1;take yes@2;");
    EXPECT_EQ(retainCount(target), 1u);
    EXPECT_EQ(retainCount(argument), 1u);
  });
}

TEST(DeferredPerform, CancelDropsEveryRequestForThatTargetOnly) {
  runForked([] {
    Ref<> hud = make(recorderClass());
    Ref<> other = make(recorderClass());
    performLater(hud, "ping"_sel, nil, 5.0);
    performLater(hud, "take:"_sel, makeNumber(true), 1.0);
    performLater(other, "ping"_sel, nil, 1.0);
    send(NSObjectClass(), "cancelPreviousPerformRequestsWithTarget:"_sel, hud.get());
    EXPECT_EQ(retainCount(hud), 1u) << "cancelled requests let their target go";
    MainRunLoop::runFor(6);
    EXPECT_EQ(stateOf<Recorder>(hud).calls, 0);
    EXPECT_EQ(stateOf<Recorder>(other).trace, "ping@1;");
  });
}

TEST(DeferredPerform, CancelBySelectorAndObjectIsSelective) {
  runForked([] {
    Ref<> target = make(recorderClass());
    performLater(target, "take:"_sel, makeString("a"), 1.0);
    performLater(target, "take:"_sel, makeString("b"), 1.0);
    send(NSObjectClass(), "cancelPreviousPerformRequestsWithTarget:selector:object:"_sel,
         target.get(), "take:"_sel, makeString("a").get());
    MainRunLoop::runFor(2);
    EXPECT_EQ(stateOf<Recorder>(target).trace, "take b@1;");
  });
}

TEST(DeferredPerform, OnTheMainThreadWaitingRunsAtOnceAndNotWaitingRunsLater) {
  runForked([] {
    Ref<> target = make(recorderClass());
    send(target, "performSelectorOnMainThread:withObject:waitUntilDone:"_sel, "ping"_sel, nil,
         static_cast<BOOL>(YES));
    EXPECT_EQ(stateOf<Recorder>(target).calls, 1);
    send(target, "performSelectorOnMainThread:withObject:waitUntilDone:"_sel, "ping"_sel, nil,
         static_cast<BOOL>(NO));
    EXPECT_EQ(stateOf<Recorder>(target).calls, 1);
    MainRunLoop::runUntilIdle();
    EXPECT_EQ(stateOf<Recorder>(target).trace, "ping@0;ping@0;");
  });
}

TEST(DeferredPerform, AnotherThreadWaitingBlocksUntilTheMainThreadHasRunIt) {
  runForked([] {
    Ref<> target = make(recorderClass());
    std::atomic<bool> returned = false;
    std::thread worker([&] {
      objc_thread_add();
      send(target, "performSelectorOnMainThread:withObject:waitUntilDone:"_sel, "ping"_sel, nil,
           static_cast<BOOL>(YES));
      returned = stateOf<Recorder>(target).calls == 1;
      objc_thread_remove();
    });
    while (MainRunLoop::pendingCount() == 0) std::this_thread::yield();
    EXPECT_EQ(stateOf<Recorder>(target).calls, 0);
    MainRunLoop::runUntilIdle();
    worker.join();
    EXPECT_TRUE(returned) << "the waiting thread saw the call done";
    EXPECT_EQ(stateOf<Recorder>(target).trace, "ping@0;");
  });
}

}  // namespace
}  // namespace qv::test

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/dispatch/RunLoop.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/platform/Foundation/RunLoopRecorder.h"
#include "tests/support/Forked.h"

namespace qv::test {
namespace {

std::atomic<int> observedRetains{0};
std::atomic<bool> sawMainThread{true};
std::atomic<bool> currentIsMain{true};

void work(id self, SEL, id argument) {
  Class thread = objc_getClass("NSThread");
  sawMainThread = send<BOOL>(thread, "isMainThread"_sel);
  currentIsMain = send<BOOL>(send<id>(thread, "currentThread"_sel), "isMainThread"_sel);
  observedRetains = static_cast<int>(retainCount(self) + retainCount(argument));
}

Class workerClass() {
  static const Class cls =
      ClassBuilder("ThreadWorker", NSObjectClass()).method("work:", &work).registerClass();
  return cls;
}

TEST(Thread, DetachedThreadRunsOffTheMainThreadHoldingItsTargetAndArgument) {
  runForked([] {
    Class thread = objc_getClass("NSThread");
    EXPECT_TRUE(send<BOOL>(thread, "isMainThread"_sel));
    EXPECT_TRUE(send<BOOL>(send<id>(thread, "currentThread"_sel), "isMainThread"_sel));
    EXPECT_EQ(send<id>(thread, "currentThread"_sel), send<id>(thread, "mainThread"_sel));

    Ref<> target = make(workerClass());
    Ref<> argument = make(NSObjectClass());
    send(thread, "detachNewThreadSelector:toTarget:withObject:"_sel, "work:"_sel, target.get(),
         argument.get());
    MainRunLoop::runUntilIdle();  // waits for background work in flight
    while (retainCount(target) != 1) std::this_thread::yield();
    EXPECT_FALSE(sawMainThread);
    EXPECT_FALSE(currentIsMain);
    EXPECT_EQ(observedRetains, 4) << "target and argument held by the thread while it ran";
    EXPECT_EQ(retainCount(argument), 1u);
  });
}

TEST(Thread, FoundationVersionIsWhatTheHostSets) {
  runForked([] {
    EXPECT_EQ(NSFoundationVersionNumber, 0.0);
    NSFoundationVersionNumber = 1140.11;
    EXPECT_GE(NSFoundationVersionNumber, 1140.1);
  });
}

}  // namespace
}  // namespace qv::test

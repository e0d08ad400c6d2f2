// NSThread: detached threads through the platform's thread starter, the main-thread tests, and
// the per-thread NSThread objects. Also the Foundation version number the host sets.
#include "platform/Foundation/FoundationRuntime.h"
#include "platform/Foundation/RootAdditions.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/Threads.h"

__attribute__((visibility("default"))) double NSFoundationVersionNumber = 0;

namespace qv {
namespace {

struct ThreadState {
  bool main = false;
};

Class threadClass();

// The NSThread object of the calling thread; a detached thread gets the one made for it.
thread_local Ref<> currentThreadObject;

id mainThread(id, SEL) {
  static const id thread = [] {
    id made = make(threadClass()).leak();  // lives as long as the process
    stateOf<ThreadState>(made).main = true;
    return made;
  }();
  return thread;
}

id currentThread(id cls, SEL) {
  if (MainRunLoop::isMainThread()) return mainThread(cls, nullptr);
  if (!currentThreadObject) currentThreadObject = make(threadClass());
  return currentThreadObject;
}

BOOL classIsMainThread(id, SEL) {
  return MainRunLoop::isMainThread();
}
BOOL isMainThread(id self, SEL) {
  return stateOf<ThreadState>(self).main;
}

void detach(id, SEL, SEL selector, id target, id argument) {
  if (target == nil || selector == nullptr) {
    raise("NSInvalidArgumentException",
          "+[NSThread detachNewThreadSelector:toTarget:withObject:]: nil target or selector");
  }
  // The thread holds its target and argument while it runs.
  startThread(
      [thread = make(threadClass()), target = Ref<>(target), selector, argument = Ref<>(argument)] {
        currentThreadObject = thread;
        foundation::performDropping(target, selector, argument);
        currentThreadObject = nullptr;
      });
}

void sleepForTimeInterval(id, SEL, double seconds) {
  Clock::sleepFor(seconds > 0 ? seconds : 0);
}

Class threadClass() {
  static const Class cls = ClassBuilder("NSThread", NSObjectClass())
                               .state<ThreadState>()
                               .method("isMainThread", &isMainThread)
                               .classMethod("isMainThread", &classIsMainThread)
                               .classMethod("mainThread", &mainThread)
                               .classMethod("currentThread", &currentThread)
                               .classMethod("detachNewThreadSelector:toTarget:withObject:", &detach)
                               .classMethod("sleepForTimeInterval:", &sleepForTimeInterval)
                               .registerClass();
  return cls;
}

__attribute__((constructor(120))) void registerThreadClass() {
  threadClass();
}

}  // namespace
}  // namespace qv

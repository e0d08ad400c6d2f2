// The HUD's life on screen: showing and hiding with the grace and minimum-show timers and their
// animations, the end of every hide (`done`), delayed hides, tasks on a thread or a queue, and
// the observation of its own properties with the hand-off of updates to the main thread.
//
// Whoever starts a hide holds the HUD until it returns: `done` may take it out of its parent,
// which may hold the only other reference, and the hide still has work to do afterwards.
#include <string>
#include <utility>

#include "hud/HUDState.h"
#include "hud/RuvelProgressHUD.h"
#include "port/UIKit/UIKit.h"
#include "port/dispatch/dispatch.h"
#include "port/objc/AutoreleasePool.h"

namespace quorvane::hud {
namespace {

constexpr double kFadeDuration = 0.30;
// The scales the shrink and grow animations start from or end at.
constexpr float kShrunk = 0.5f, kGrown = 1.5f;
// An animated hide ends just short of transparent; `done` makes it 0.
constexpr float kHiddenAlpha = 0.02f;

Class viewClass() {
  static const Class cls = objc_getClass("UIView");
  return cls;
}

bool isMainThread() {
  return send<BOOL>(objc_getClass("NSThread"), "isMainThread"_sel);
}

CGAffineTransform scaled(const CGAffineTransform& base, float scale) {
  return CGAffineTransformConcat(base, CGAffineTransformMakeScale(scale, scale));
}

// The show transform an animation type starts from, or its hide transform ends at.
bool scaleFor(int animationType, bool showing, float& scale) {
  if (animationType == RuvelProgressHUDAnimationShrink) {
    scale = showing ? kGrown : kShrunk;
    return true;
  }
  if (animationType == RuvelProgressHUDAnimationGrow) {
    scale = showing ? kShrunk : kGrown;
    return true;
  }
  return false;
}

id scheduleTimer(id self, double seconds, SEL selector) {
  return send<id>(objc_getClass("NSTimer"),
                  "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:"_sel, seconds,
                  self, selector, id{nil}, BOOL{NO});
}

// Showing.

void show(id self, SEL, BOOL animated) {
  HUDState& s = hudState(self);
  s.useAnimation = animated;
  const float grace = load(s.graceTime);
  if (grace > 0) {
    qv::AutoreleasePool pool;
    send(self, "setGraceTimer:"_sel,
         scheduleTimer(self, static_cast<double>(grace), "handleGraceTimer:"_sel));
    return;
  }
  send(self, "setNeedsDisplay"_sel);
  send(self, "showUsingAnimation:"_sel, BOOL(s.useAnimation));
}

void handleGraceTimer(id self, SEL, id) {
  HUDState& s = hudState(self);
  if (!load(s.taskInProgress)) return;
  send(self, "setNeedsDisplay"_sel);
  send(self, "showUsingAnimation:"_sel, BOOL(s.useAnimation));
}

void showUsingAnimation(id self, SEL, BOOL animated) {
  qv::AutoreleasePool pool;
  HUDState& s = hudState(self);
  const int type = load(s.animationType);
  float scale = 1;
  const bool scales = scaleFor(type, true, scale);
  if (animated && scales) send(self, "setTransform:"_sel, scaled(s.rotationTransform, scale));
  send(self, "setShowStarted:"_sel, send<id>(objc_getClass("NSDate"), "date"_sel));
  if (!animated) {
    send(self, "setAlpha:"_sel, CGFloat{1});
    return;
  }
  Class view = viewClass();
  send(view, "beginAnimations:context:"_sel, id{nil}, static_cast<void*>(nullptr));
  send(view, "setAnimationDuration:"_sel, kFadeDuration);
  send(self, "setAlpha:"_sel, CGFloat{1});
  if (scales) send(self, "setTransform:"_sel, s.rotationTransform);
  send(view, "commitAnimations"_sel);
}

// Hiding.

void hide(id self, SEL, BOOL animated) {
  Ref<> keepAlive(self);
  HUDState& s = hudState(self);
  s.useAnimation = animated;
  const float minimum = load(s.minShowTime);
  if (minimum > 0) {
    qv::AutoreleasePool pool;
    if (Ref<> started = objectOf(self, &HUDState::showStarted)) {
      const double elapsed = send<double>(send<id>(objc_getClass("NSDate"), "date"_sel),
                                          "timeIntervalSinceDate:"_sel, started.get());
      if (elapsed < static_cast<double>(minimum)) {
        const double remaining = static_cast<double>(minimum) - elapsed;
        send(self, "setMinShowTimer:"_sel,
             scheduleTimer(self, remaining, "handleMinShowTimer:"_sel));
        return;
      }
    }
  }
  send(self, "hideUsingAnimation:"_sel, BOOL(s.useAnimation));
}

void handleMinShowTimer(id self, SEL, id) {
  send(self, "hideUsingAnimation:"_sel, BOOL(hudState(self).useAnimation));
}

void hideUsingAnimation(id self, SEL, BOOL animated) {
  Ref<> keepAlive(self);
  HUDState& s = hudState(self);
  if (animated && objectOf(self, &HUDState::showStarted)) {
    Class view = viewClass();
    send(view, "beginAnimations:context:"_sel, id{nil}, static_cast<void*>(nullptr));
    send(view, "setAnimationDuration:"_sel, kFadeDuration);
    send(view, "setAnimationDelegate:"_sel, self);
    send(view, "setAnimationDidStopSelector:"_sel, "animationFinished:finished:context:"_sel);
    float scale = 1;
    if (scaleFor(load(s.animationType), false, scale)) {
      send(self, "setTransform:"_sel, scaled(s.rotationTransform, scale));
    }
    send(self, "setAlpha:"_sel, static_cast<CGFloat>(kHiddenAlpha));
    send(view, "commitAnimations"_sel);
  } else {
    send(self, "setAlpha:"_sel, CGFloat{0});
    send(self, "done"_sel);
  }
  send(self, "setShowStarted:"_sel, id{nil});
}

void animationFinished(id self, SEL, id, id, void*) {
  send(self, "done"_sel);  // whatever the finished flag says
}

void done(id self, SEL) {
  Ref<> keepAlive(self);
  send(objc_getClass("NSObject"), "cancelPreviousPerformRequestsWithTarget:"_sel, self);
  send(self, "setAlpha:"_sel, CGFloat{0});
  if (load(hudState(self).removeFromSuperViewOnHide)) send(self, "removeFromSuperview"_sel);
  if (std::function<void()> completion = send<std::function<void()>>(self, "completionBlock"_sel)) {
    completion();
    send(self, "setCompletionBlock:"_sel, std::function<void()>{});
  }
  id delegate = send<id>(self, "delegate"_sel);
  if (qv::responds(delegate, "hudWasHidden:"_sel)) send(delegate, "hudWasHidden:"_sel, self);
}

void hideAfterDelay(id self, SEL, BOOL animated, double delay) {
  Ref<> flag = qv::makeNumber(static_cast<bool>(animated));
  send(self, "performSelector:withObject:afterDelay:"_sel, "hideDelayed:"_sel, flag.get(), delay);
}

void hideDelayed(id self, SEL, id animated) {
  send(self, "hide:"_sel, send<BOOL>(animated, "boolValue"_sel));
}

// Tasks.

// Calls the task's method as a deferred perform does: with the argument when it takes one.
void performTask(id target, SEL method, id argument) {
  Method found = class_getInstanceMethod(object_getClass(target), method);
  if (found == nullptr) {
    send(target, method, argument);  // raises: unrecognized selector
    return;
  }
  IMP imp = method_getImplementation(found);
  if (method_getNumberOfArguments(found) == 2) {
    qv::invoke(imp, target, method);
  } else {
    qv::invoke(imp, target, method, argument);
  }
}

// Posts cleanUp to the main thread however the task ends, so that a task that raises still
// takes its HUD down.
struct PostCleanUp {
  id hud;
  ~PostCleanUp() {
    send(hud, "performSelectorOnMainThread:withObject:waitUntilDone:"_sel, "cleanUp"_sel, id{nil},
         BOOL{NO});
  }
};

void showWhileExecuting(id self, SEL, SEL method, id target, id object, BOOL animated) {
  if (target == nil || method == nullptr) {
    qv::raise("NSInvalidArgumentException",
              qv::methodName(self, "showWhileExecuting:onTarget:withObject:animated:"_sel) +
                  ": nil target or selector");
  }
  HUDState& s = hudState(self);
  {
    std::lock_guard guard(s.lock);
    s.methodForExecution = method;
    s.targetForExecution = Ref<>(target);
    s.objectForExecution = Ref<>(object);
  }
  send(self, "setTaskInProgress:"_sel, BOOL{YES});
  send(objc_getClass("NSThread"), "detachNewThreadSelector:toTarget:withObject:"_sel,
       "launchExecution"_sel, self, id{nil});
  send(self, "show:"_sel, animated);
}

void launchExecution(id self, SEL) {
  qv::AutoreleasePool pool;
  HUDState& s = hudState(self);
  SEL method;
  Ref<> target, object;
  {
    std::lock_guard guard(s.lock);
    method = s.methodForExecution;
    target = s.targetForExecution;
    object = s.objectForExecution;
  }
  PostCleanUp cleanUp{self};
  performTask(target, method, object);
}

void showWhileExecutingBlock(id self, SEL, BOOL animated, std::function<void()> task,
                             dispatch_queue_t queue, std::function<void()> completion) {
  if (!task || queue == nullptr) {
    qv::raise(
        "NSInvalidArgumentException",
        qv::methodName(self, "showAnimated:whileExecutingBlock:onQueue:completionBlock:"_sel) +
            ": no task or no queue");
  }
  send(self, "setTaskInProgress:"_sel, BOOL{YES});
  send(self, "setCompletionBlock:"_sel, std::move(completion));
  dispatch_async(queue, [hud = Ref<>(self), task = std::move(task)] {
    struct PostToMain {
      Ref<> hud;
      ~PostToMain() {
        dispatch_async(dispatch_get_main_queue(), [hud = hud] { send(hud, "cleanUp"_sel); });
      }
    } cleanUp{hud};
    task();
  });
  send(self, "show:"_sel, animated);
}

dispatch_queue_t defaultGlobalQueue() {
  return dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0);
}

void showWhileExecutingBlockOnly(id self, SEL, BOOL animated, std::function<void()> task) {
  showWhileExecutingBlock(self, nullptr, animated, std::move(task), defaultGlobalQueue(), {});
}

void showWhileExecutingBlockWithCompletion(id self, SEL, BOOL animated, std::function<void()> task,
                                           std::function<void()> completion) {
  showWhileExecutingBlock(self, nullptr, animated, std::move(task), defaultGlobalQueue(),
                          std::move(completion));
}

void showWhileExecutingBlockOnQueue(id self, SEL, BOOL animated, std::function<void()> task,
                                    dispatch_queue_t queue) {
  showWhileExecutingBlock(self, nullptr, animated, std::move(task), queue, {});
}

void cleanUp(id self, SEL) {
  HUDState& s = hudState(self);
  s.taskInProgress.store(NO, std::memory_order_relaxed);
  {
    Ref<> target, object;
    std::lock_guard guard(s.lock);
    target = std::exchange(s.targetForExecution, nullptr);
    object = std::exchange(s.objectForExecution, nullptr);
  }  // released here, after the lock and before the hide
  send(self, "hide:"_sel, BOOL(s.useAnimation));
}

// Observation of the HUD's own properties.

id observableKeypaths(id, SEL) {
  const std::vector<id> paths{"mode"_ns,
                              "customView"_ns,
                              "labelText"_ns,
                              "labelFont"_ns,
                              "labelColor"_ns,
                              "detailsLabelText"_ns,
                              "detailsLabelFont"_ns,
                              "detailsLabelColor"_ns,
                              "progress"_ns,
                              "activityIndicatorColor"_ns};
  return qv::autorelease(qv::makeArray(paths).leak());
}

// The key paths as strings, whatever the pool does meanwhile.
std::vector<Ref<>> keypathsOf(id self) {
  qv::AutoreleasePool pool;
  std::vector<Ref<>> paths;
  for (id path : qv::arrayElements(send<id>(self, "observableKeypaths"_sel))) {
    paths.emplace_back(path);
  }
  return paths;
}

void registerForKVO(id self, SEL) {
  for (const Ref<>& path : keypathsOf(self)) {
    send(self, "addObserver:forKeyPath:options:context:"_sel, self, path.get(),
         NSUInteger{NSKeyValueObservingOptionNew}, static_cast<void*>(nullptr));
  }
}

void unregisterFromKVO(id self, SEL) {
  for (const Ref<>& path : keypathsOf(self)) {
    send(self, "removeObserver:forKeyPath:"_sel, self, path.get());
  }
}

void observeValue(id self, SEL, id keyPath, id, id, void*) {
  if (isMainThread()) {
    send(self, "updateUIForKeypath:"_sel, keyPath);
  } else {
    send(self, "performSelectorOnMainThread:withObject:waitUntilDone:"_sel,
         "updateUIForKeypath:"_sel, keyPath, BOOL{NO});
  }
}

// What a key path of the labels updates: which label, from which property, through which
// label setter.
struct LabelUpdate {
  const char* keyPath;
  Ref<> HUDState::*label;
  Ref<> HUDState::*value;
  const char* setter;
};

const LabelUpdate kLabelUpdates[] = {
    {"labelText", &HUDState::label, &HUDState::labelText, "setText:"},
    {"labelFont", &HUDState::label, &HUDState::labelFont, "setFont:"},
    {"labelColor", &HUDState::label, &HUDState::labelColor, "setTextColor:"},
    {"detailsLabelText", &HUDState::detailsLabel, &HUDState::detailsLabelText, "setText:"},
    {"detailsLabelFont", &HUDState::detailsLabel, &HUDState::detailsLabelFont, "setFont:"},
    {"detailsLabelColor", &HUDState::detailsLabel, &HUDState::detailsLabelColor, "setTextColor:"},
};

void updateProgress(id self) {
  Ref<> indicator = objectOf(self, &HUDState::indicator);
  if (!qv::responds(indicator, "setProgress:"_sel)) return;
  Ref<> value = qv::makeNumber(load(hudState(self).progress));
  send(indicator, "setValue:forKey:"_sel, value.get(), "progress"_ns);
}

void updateUIForKeypath(id self, SEL, id keyPath) {
  const std::string path = qv::utf8(keyPath);
  if (path == "progress") return updateProgress(self);
  HUDState& s = hudState(self);
  if (path == "mode" || path == "customView" || path == "activityIndicatorColor") {
    send(self, "updateIndicators"_sel);
  } else {
    for (const LabelUpdate& update : kLabelUpdates) {
      if (path != update.keyPath) continue;
      send(s.*update.label, sel_registerName(update.setter), objectOf(self, update.value).get());
    }
  }
  send(self, "setNeedsLayout"_sel);
  send(self, "setNeedsDisplay"_sel);
}

// Notifications.

void registerForNotifications(id self, SEL) {
  id center = send<id>(objc_getClass("NSNotificationCenter"), "defaultCenter"_sel);
  send(center, "addObserver:selector:name:object:"_sel, self, "statusBarOrientationDidChange:"_sel,
       UIApplicationDidChangeStatusBarOrientationNotification, id{nil});
}

void unregisterFromNotifications(id self, SEL) {
  id center = send<id>(objc_getClass("NSNotificationCenter"), "defaultCenter"_sel);
  send(center, "removeObserver:name:object:"_sel, self,
       UIApplicationDidChangeStatusBarOrientationNotification, id{nil});
}

}  // namespace

void addLifecycleMethods(qv::ClassBuilder& b) {
  b.method("show:", &show)
      .method("handleGraceTimer:", &handleGraceTimer)
      .method("showUsingAnimation:", &showUsingAnimation)
      .method("hide:", &hide)
      .method("handleMinShowTimer:", &handleMinShowTimer)
      .method("hideUsingAnimation:", &hideUsingAnimation)
      .method("animationFinished:finished:context:", &animationFinished)
      .method("done", &done)
      .method("hide:afterDelay:", &hideAfterDelay)
      .method("hideDelayed:", &hideDelayed)
      .method("showWhileExecuting:onTarget:withObject:animated:", &showWhileExecuting)
      .method("launchExecution", &launchExecution)
      .method("showAnimated:whileExecutingBlock:onQueue:completionBlock:", &showWhileExecutingBlock)
      .method("showAnimated:whileExecutingBlock:", &showWhileExecutingBlockOnly)
      .method("showAnimated:whileExecutingBlock:completionBlock:",
              &showWhileExecutingBlockWithCompletion)
      .method("showAnimated:whileExecutingBlock:onQueue:", &showWhileExecutingBlockOnQueue)
      .method("cleanUp", &cleanUp)
      .method("observableKeypaths", &observableKeypaths)
      .method("registerForKVO", &registerForKVO)
      .method("unregisterFromKVO", &unregisterFromKVO)
      .method("observeValueForKeyPath:ofObject:change:context:", &observeValue)
      .method("updateUIForKeypath:", &updateUIForKeypath)
      .method("registerForNotifications", &registerForNotifications)
      .method("unregisterFromNotifications", &unregisterFromNotifications);
}

}  // namespace quorvane::hud

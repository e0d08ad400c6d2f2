// The HUD's life on the virtual clock: construction, the class-level search and hides, the
// grace and minimum-show timers, animations, `done` and tasks.
#include <gtest/gtest.h>

#include <atomic>

#include "platform/Foundation/FoundationRuntime.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "port/dispatch/dispatch.h"
#include "tests/hud/HUDTestSupport.h"

namespace quorvane::test {
namespace {

using qv::Ref;
using qv::send;

double alphaOf(id view) {
  return send<CGFloat>(view, "alpha"_sel);
}

using HUDLifecycle = HUDTest;

TEST_F(HUDLifecycle, ConstructionSetsTheDefaultsAndTheChildren) {
  Ref<> hud = makeHUD(parent);
  EXPECT_EQ(send<float>(hud, "opacity"_sel), 0.8f);
  EXPECT_EQ(send<float>(hud, "margin"_sel), 20.0f);
  EXPECT_EQ(send<float>(hud, "cornerRadius"_sel), 10.0f);
  EXPECT_EQ(send<int>(hud, "mode"_sel), 0);
  EXPECT_EQ(send<id>(hud, "color"_sel), nil);
  EXPECT_EQ(send<CGFloat>(send<id>(hud, "labelFont"_sel), "pointSize"_sel), 16);
  EXPECT_EQ(send<CGFloat>(send<id>(hud, "detailsLabelFont"_sel), "pointSize"_sel), 12);
  EXPECT_EQ(qv::utf8(send<id>(send<id>(hud, "labelFont"_sel), "fontName"_sel)), "DejaVuSans-Bold");
  EXPECT_EQ(alphaOf(hud), 0);
  EXPECT_EQ(send<NSUInteger>(hud, "autoresizingMask"_sel), 45u);
  EXPECT_EQ(send<NSInteger>(hud, "contentMode"_sel), 4);
  EXPECT_FALSE(send<BOOL>(hud, "isOpaque"_sel));
  EXPECT_TRUE(CGRectEqualToRect(frameOf(hud), CGRectMake(0, 0, 320, 480)));
  // Label, details label, then the spinner of mode 0 on top.
  const std::vector<id> children = childrenOf(hud);
  ASSERT_EQ(children.size(), 3u);
  EXPECT_TRUE(qv::isKindOf(children[0], objc_getClass("UILabel")));
  EXPECT_EQ(send<NSInteger>(children[1], "numberOfLines"_sel), 0);
  EXPECT_EQ(children[2], send<id>(hud, "indicator"_sel));
  EXPECT_TRUE(send<BOOL>(children[2], "isAnimating"_sel));
}

void recordKeyPath(id, SEL, id keyPath, id, id, void*) {
  trace() += qv::utf8(keyPath) + ";";
}

// Every public property set through its setter, as key-value coding names it from the key,
// reaches the observers of that key.
TEST_F(HUDLifecycle, EverySetterTellsTheObserversOfItsKey) {
  static const Class observerClass =
      qv::ClassBuilder("HUDKeyObserver", qv::NSObjectClass())
          .method("observeValueForKeyPath:ofObject:change:context:", &recordKeyPath)
          .registerClass();
  Ref<> observer = qv::make(observerClass);
  Ref<> hud = makeHUD(parent);
  Ref<> number = qv::makeNumber(1);
  Ref<> text = makeString("text");
  const std::vector<std::pair<const char*, id>> properties{
      {"mode", number},
      {"animationType", number},
      {"customView", parent},
      {"delegate", observer},
      {"labelText", text},
      {"detailsLabelText", text},
      {"opacity", number},
      {"color", nil},
      {"xOffset", number},
      {"yOffset", number},
      {"margin", number},
      {"cornerRadius", number},
      {"dimBackground", number},
      {"graceTime", number},
      {"minShowTime", number},
      {"taskInProgress", number},
      {"removeFromSuperViewOnHide", number},
      {"labelFont", nil},
      {"labelColor", nil},
      {"detailsLabelFont", nil},
      {"detailsLabelColor", nil},
      {"activityIndicatorColor", nil},
      {"progress", number},
      {"square", number},
  };
  std::string expected;
  for (const auto& [key, value] : properties) {
    send(hud, "addObserver:forKeyPath:options:context:"_sel, observer.get(), makeString(key).get(),
         NSUInteger{0}, static_cast<void*>(nullptr));
    expected += std::string(key) + ";";
  }
  trace().clear();
  for (const auto& [key, value] : properties) qv::setValueForKey(hud, value, key);
  EXPECT_EQ(trace(), expected);
  send(hud, "setDelegate:"_sel, id{nil});
  for (const auto& [key, value] : properties) {
    send(hud, "removeObserver:forKeyPath:"_sel, observer.get(), makeString(key).get());
  }
}

TEST_F(HUDLifecycle, InitWithoutViewFailsItsPreconditionAndMakesNoHUD) {
  Class cls = objc_getClass("RuvelProgressHUD");
  try {
    send<id>(send<id>(cls, "alloc"_sel), "initWithView:"_sel, id{nil});
    FAIL() << "no exception";
  } catch (const qv::ObjCException& e) {
    EXPECT_EQ(e.name(), "NSInternalInconsistencyException");
    EXPECT_EQ(e.reason(),
              "*** Assertion failure in -[RuvelProgressHUD initWithView:], "
              "../RuvelProgressHUD:214\nView must not be nil.");
  }
  // The half-made HUD is gone (LeakSanitizer would report it), and nothing was added.
  EXPECT_THROW(send<id>(cls, "showHUDAddedTo:animated:"_sel, id{nil}, BOOL{YES}),
               qv::ObjCException);
}

TEST_F(HUDLifecycle, DeallocReleasesWhatItHoldsButNotItsDelegate) {
  Ref<> custom = makeView(CGRectMake(0, 0, 10, 10));
  Ref<> delegate = qv::make(recordingDelegateClass());
  {
    Ref<> hud = makeHUD(parent);
    send(hud, "setCustomView:"_sel, custom.get());
    send(hud, "setMode:"_sel, 4);
    send(hud, "setDelegate:"_sel, delegate.get());
    send(hud, "setCompletionBlock:"_sel, std::function<void()>([held = custom] {}));
    EXPECT_EQ(qv::retainCount(delegate), 1u);
    EXPECT_GT(qv::retainCount(custom), 2u);
    pool.drain();
  }
  drainRunLoop();
  EXPECT_EQ(qv::retainCount(custom), 1u);
}

TEST_F(HUDLifecycle, FindsAndHidesTheHUDsOfAView) {
  EXPECT_EQ(send<NSUInteger>(tracedHUDClass(), "hideAllHUDsForView:animated:"_sel, parent.get(),
                             BOOL{NO}),
            0u);
  Class cls = tracedHUDClass();
  id first = send<id>(cls, "showHUDAddedTo:animated:"_sel, parent.get(), BOOL{NO});
  Ref<> plain = makeView(CGRectZero);
  send(parent, "addSubview:"_sel, plain.get());
  id second = send<id>(cls, "showHUDAddedTo:animated:"_sel, parent.get(), BOOL{NO});
  send(second, "setTag:"_sel, 2L);
  EXPECT_EQ(send<id>(cls, "HUDForView:"_sel, parent.get()), second);
  EXPECT_EQ(qv::arrayElements(send<id>(cls, "allHUDsForView:"_sel, parent.get())),
            (std::vector<id>{first, second}));

  trace().clear();
  EXPECT_TRUE(send<BOOL>(cls, "hideHUDForView:animated:"_sel, parent.get(), BOOL{NO}));
  EXPECT_EQ(childrenOf(parent), (std::vector<id>{first, plain}));

  id third = send<id>(cls, "showHUDAddedTo:animated:"_sel, parent.get(), BOOL{NO});
  id fourth = send<id>(cls, "showHUDAddedTo:animated:"_sel, parent.get(), BOOL{NO});
  send(first, "setTag:"_sel, 1L);
  send(third, "setTag:"_sel, 3L);
  send(fourth, "setTag:"_sel, 4L);
  std::string order;
  for (id hud : {first, third, fourth}) {
    send(hud, "setCompletionBlock:"_sel, std::function<void()>([hud, &order] {
           order += std::to_string(send<long>(hud, "tag"_sel));
         }));
  }
  // Asked of the base class, so subclass instances are included.
  EXPECT_EQ(send<NSUInteger>(objc_getClass("RuvelProgressHUD"), "hideAllHUDsForView:animated:"_sel,
                             parent.get(), BOOL{NO}),
            3u);
  EXPECT_EQ(order, "134");
  EXPECT_EQ(childrenOf(parent), (std::vector<id>{plain}));
}

TEST_F(HUDLifecycle, DoneRemovesThenCompletesThenTellsTheDelegate) {
  Ref<> delegate = qv::make(recordingDelegateClass());
  Ref<> hud = addTracedHUD(parent);
  send(hud, "setRemoveFromSuperViewOnHide:"_sel, BOOL{YES});
  send(hud, "show:"_sel, BOOL{NO});
  send(hud, "setDelegate:"_sel, delegate.get());
  send(hud, "setCompletionBlock:"_sel, std::function<void()>([hud = hud.get()] {
         trace() += send<id>(hud, "superview"_sel) == nil ? "completion(detached);" : "completion;";
       }));
  trace().clear();
  send(hud, "hide:"_sel, BOOL{NO});
  EXPECT_EQ(trace(), "hide;alpha0;done;alpha0;remove;completion(detached);delegate;");
}

TEST_F(HUDLifecycle, AnimatedHideFadesToNearlyClearAndOnlyDoneClears) {
  Ref<> delegate = qv::make(recordingDelegateClass());
  Ref<> hud = addTracedHUD(parent);
  send(hud, "setDelegate:"_sel, delegate.get());
  send(hud, "setAnimationType:"_sel, 1);
  send(hud, "show:"_sel, BOOL{YES});
  // Shrink: the show starts at 1.5 and ends at the rotation transform.
  EXPECT_EQ(qv::ui::presentationTransform(hud).a, 1.5);
  EXPECT_TRUE(CGAffineTransformIsIdentity(send<CGAffineTransform>(hud, "transform"_sel)));
  runFor(0.3);
  EXPECT_EQ(qv::ui::presentationAlpha(hud), 1);

  trace().clear();
  send(hud, "hide:"_sel, BOOL{YES});
  EXPECT_EQ(alphaOf(hud), static_cast<double>(0.02f));
  EXPECT_EQ(send<CGAffineTransform>(hud, "transform"_sel).a, 0.5);
  EXPECT_EQ(send<id>(hud, "showStarted"_sel), nil);
  runFor(0.29);
  EXPECT_EQ(trace(), "hide(animated);");
  runFor(0.02);
  EXPECT_EQ(trace(), "hide(animated);done;alpha0;delegate;");
  EXPECT_EQ(alphaOf(hud), 0);

  // Without animation the transform is left alone.
  send(hud, "setTransform:"_sel, CGAffineTransformIdentity);
  send(hud, "show:"_sel, BOOL{NO});
  send(hud, "hide:"_sel, BOOL{NO});
  EXPECT_TRUE(CGAffineTransformIsIdentity(send<CGAffineTransform>(hud, "transform"_sel)));
}

TEST_F(HUDLifecycle, GraceTimeWithoutTaskNeverShows) {
  Ref<> hud = addTracedHUD(parent);
  send(hud, "setGraceTime:"_sel, 1.0f);
  send(hud, "show:"_sel, BOOL{YES});
  EXPECT_NE(send<id>(hud, "graceTimer"_sel), nil);
  runFor(2);
  EXPECT_EQ(trace(), "");
  EXPECT_EQ(alphaOf(hud), 0);
}

TEST_F(HUDLifecycle, GraceTimeWithAShortTaskNeverShowsButStillEnds) {
  Ref<> delegate = qv::make(recordingDelegateClass());
  Ref<> hud = addTracedHUD(parent);
  send(hud, "setDelegate:"_sel, delegate.get());
  send(hud, "setGraceTime:"_sel, 1.0f);
  send(hud, "showAnimated:whileExecutingBlock:completionBlock:"_sel, BOOL{YES},
       std::function<void()>([] { qv::Clock::sleepFor(0.5); }),
       std::function<void()>([] { trace() += "completion;"; }));
  EXPECT_TRUE(send<BOOL>(hud, "taskInProgress"_sel));
  runFor(2);
  EXPECT_EQ(trace(), "hide(animated);alpha0;done;alpha0;completion;delegate;");
  EXPECT_FALSE(send<BOOL>(hud, "taskInProgress"_sel));
}

TEST_F(HUDLifecycle, MinimumShowTimeDelaysTheHide) {
  Ref<> hud = addTracedHUD(parent);
  send(hud, "setMinShowTime:"_sel, 2.0f);
  send(hud, "setCompletionBlock:"_sel, std::function<void()>([] {
         trace() += "at " + std::to_string(elapsed()).substr(0, 3) + ";";
       }));
  send(hud, "show:"_sel, BOOL{NO});
  runFor(0.5);
  send(hud, "hide:"_sel, BOOL{NO});
  EXPECT_NE(send<id>(hud, "minShowTimer"_sel), nil);
  EXPECT_EQ(alphaOf(hud), 1);
  runFor(2);
  EXPECT_EQ(trace(), "show;hide;alpha0;done;alpha0;at 2.0;");
}

TEST_F(HUDLifecycle, DoneCancelsADelayedHide) {
  Ref<> hud = addTracedHUD(parent);
  send(hud, "setRemoveFromSuperViewOnHide:"_sel, BOOL{YES});
  send(hud, "show:"_sel, BOOL{NO});
  send(hud, "hide:afterDelay:"_sel, BOOL{YES}, 5.0);
  send(hud, "hide:"_sel, BOOL{NO});
  runFor(10);
  EXPECT_EQ(trace(), "show;hide;alpha0;done;alpha0;remove;");
}

TEST_F(HUDLifecycle, DelayedHideCarriesItsAnimatedFlag) {
  Ref<> hud = addTracedHUD(parent);
  send(hud, "show:"_sel, BOOL{NO});
  send(hud, "hide:afterDelay:"_sel, BOOL{YES}, 1.5);
  runFor(1.4);
  EXPECT_EQ(trace(), "show;");
  runFor(0.5);
  EXPECT_EQ(trace(), "show;hide(animated);done;alpha0;");
}

// A task object whose method records where it ran and what it was given.
std::atomic<bool> workedOnMainThread{true};
std::atomic<id> workArgument{nil};

void work(id, SEL, id argument) {
  workedOnMainThread = qv::MainRunLoop::isMainThread();
  workArgument = argument;
}

TEST_F(HUDLifecycle, TargetTaskRunsOnItsOwnThreadThenHides) {
  static const Class worker =
      qv::ClassBuilder("HUDWorker", qv::NSObjectClass()).method("work:", &work).registerClass();
  Ref<> target = qv::make(worker);
  Ref<> argument = makeString("payload");
  Ref<> hud = addTracedHUD(parent);
  send(hud, "showWhileExecuting:onTarget:withObject:animated:"_sel, "work:"_sel, target.get(),
       argument.get(), BOOL{NO});
  EXPECT_TRUE(send<BOOL>(hud, "taskInProgress"_sel));
  drainRunLoop();
  EXPECT_EQ(trace(), "show;hide;alpha0;done;alpha0;");
  EXPECT_FALSE(workedOnMainThread);
  EXPECT_EQ(workArgument, argument.get());
  EXPECT_EQ(qv::retainCount(target), 1u);  // let go by cleanUp
  EXPECT_EQ(qv::retainCount(argument), 1u);
}

TEST_F(HUDLifecycle, TaskWithoutQueueOrCallableIsRefusedUntouched) {
  Ref<> hud = makeHUD(parent);
  EXPECT_THROW(send(hud, "showAnimated:whileExecutingBlock:onQueue:"_sel, BOOL{NO},
                    std::function<void()>([] {}), dispatch_queue_t{nullptr}),
               qv::ObjCException);
  EXPECT_THROW(
      send(hud, "showAnimated:whileExecutingBlock:"_sel, BOOL{NO}, std::function<void()>{}),
      qv::ObjCException);
  EXPECT_FALSE(send<BOOL>(hud, "taskInProgress"_sel));
}

}  // namespace
}  // namespace quorvane::test

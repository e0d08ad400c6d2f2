#include <gtest/gtest.h>

#include <string>

#include "platform/UIKit/UIKit.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/support/Forked.h"

namespace qv::ui {
namespace {

using test::runForked;

std::string& trace() {
  static std::string text;
  return text;
}

double elapsed() {
  return static_cast<double>(Clock::now() - Clock::kVirtualStart) / 1e9;
}

void layoutSubviews(id self, SEL) {
  trace() += "layout" + std::to_string(send<long>(self, "tag"_sel)) + ";";
  // Laying out the parent moves the child, which asks for its own layout in the same pass.
  for (id child : arrayElements(send<id>(self, "subviews"_sel))) {
    send(child, "setFrame:"_sel, CGRectMake(0, 0, 10 + elapsed(), 10));
  }
}
void drawRect(id self, SEL, CGRect) {
  trace() += "draw" + std::to_string(send<long>(self, "tag"_sel)) + ";";
}

void animationFinished(id self, SEL, id animationID, id finished, void* context) {
  trace() += "stopped@" + std::to_string(elapsed()).substr(0, 3) + " " + describe(animationID) +
             " " + describe(finished) + (context == self ? " ctx;" : ";");
}

Class passViewClass() {
  static const Class cls = ClassBuilder("PassView", objc_getClass("UIView"))
                               .method("layoutSubviews", &layoutSubviews)
                               .method("drawRect:", &drawRect)
                               .method("animationFinished:finished:context:", &animationFinished)
                               .registerClass();
  return cls;
}

Ref<> makeView(long tag) {
  Ref<> view = adopt(send<id>(send<id>(passViewClass(), "alloc"_sel), "initWithFrame:"_sel,
                              CGRectMake(0, 0, 40, 40)));
  send(view, "setTag:"_sel, tag);
  return view;
}

TEST(ViewPasses, ManyRequestsMakeOneLayoutAndOneDisplay) {
  runForked([] {
    Ref<> parent = makeView(1);
    Ref<> child = makeView(2);
    send(parent, "addSubview:"_sel, child.get());
    MainRunLoop::runUntilIdle();
    trace().clear();
    for (int i = 0; i < 5; ++i) {
      send(parent, "setNeedsLayout"_sel);
      send(parent, "setNeedsDisplay"_sel);
    }
    EXPECT_EQ(trace(), "") << "nothing happens before the run loop turns";
    MainRunLoop::runUntilIdle();
    EXPECT_EQ(trace(), "layout1;draw1;");
    EXPECT_EQ(passCounts(parent).layouts, 2u);
    EXPECT_EQ(passCounts(parent).displays, 2u);
  });
}

TEST(ViewPasses, LayoutRunsParentsFirstAndBeforeDisplay) {
  runForked([] {
    Ref<> parent = makeView(1);
    Ref<> child = makeView(2);
    send(parent, "addSubview:"_sel, child.get());
    MainRunLoop::runFor(1);
    trace().clear();
    send(child, "setNeedsDisplay"_sel);
    send(child, "setNeedsLayout"_sel);
    send(parent, "setNeedsLayout"_sel);
    MainRunLoop::runUntilIdle();
    EXPECT_EQ(trace(), "layout1;layout2;draw2;");
  });
}

TEST(ViewPasses, LayoutIfNeededRunsAtOnceAndOnlyWhenNeeded) {
  runForked([] {
    Ref<> view = makeView(3);
    MainRunLoop::runUntilIdle();
    trace().clear();
    // A pool of its own: the run above may have popped the enclosing one with its own.
    AutoreleasePool pool;
    send(view, "layoutIfNeeded"_sel);
    send(view, "setNeedsLayout"_sel);
    send(view, "layoutIfNeeded"_sel);
    MainRunLoop::runUntilIdle();
    EXPECT_EQ(trace(), "layout3;");
  });
}

TEST(ViewPasses, AViewReleasedBeforeThePassIsForgotten) {
  runForked([] {
    {
      Ref<> view = makeView(4);
      send(view, "setNeedsLayout"_sel);
    }
    trace().clear();
    MainRunLoop::runUntilIdle();
    EXPECT_EQ(trace(), "");
  });
}

TEST(ViewAnimations, DidStopSelectorRunsAtTheEndOnTheVirtualClock) {
  runForked([] {
    Ref<> view = makeView(5);
    Class uiview = objc_getClass("UIView");
    MainRunLoop::runUntilIdle();
    trace().clear();
    send(uiview, "beginAnimations:context:"_sel, makeString("fade").get(),
         static_cast<void*>(view.get()));
    send(uiview, "setAnimationDuration:"_sel, 0.3);
    send(uiview, "setAnimationDelegate:"_sel, view.get());
    send(uiview, "setAnimationDidStopSelector:"_sel, "animationFinished:finished:context:"_sel);
    send(view, "setAlpha:"_sel, 0.02);
    send(uiview, "commitAnimations"_sel);
    EXPECT_EQ(send<CGFloat>(view, "alpha"_sel), 0.02) << "the model value changes at once";
    EXPECT_EQ(animationsInFlight(), 1u);

    MainRunLoop::runFor(0.15);
    EXPECT_NEAR(presentationAlpha(view), 0.51, 1e-9);
    EXPECT_EQ(trace().find("stopped"), std::string::npos);
    MainRunLoop::runFor(0.2);
    EXPECT_EQ(trace(), "stopped@0.3 fade 1 ctx;");
    EXPECT_EQ(animationsInFlight(), 0u);
    EXPECT_EQ(presentationAlpha(view), 0.02);
  });
}

TEST(ViewAnimations, BlockFormsChangeModelsAtOnceAndCompleteAfterDelayAndDuration) {
  runForked([] {
    Ref<> view = makeView(6);
    Class uiview = objc_getClass("UIView");
    std::string done;
    const CGAffineTransform turned = CGAffineTransformMakeRotation(1.0);
    send(uiview, "animateWithDuration:delay:options:animations:completion:"_sel, 0.3, 0.2,
         UIViewAnimationOptions(2),
         UIViewAnimationsBlock([&] { send(view, "setTransform:"_sel, turned); }),
         UIViewAnimationCompletionBlock([&](BOOL finished) {
           done += "done@" + std::to_string(elapsed()).substr(0, 3) + (finished ? " finished" : "");
         }));
    EXPECT_TRUE(
        CGAffineTransformEqualToTransform(send<CGAffineTransform>(view, "transform"_sel), turned));
    EXPECT_TRUE(CGAffineTransformIsIdentity(presentationTransform(view))) << "still in its delay";
    MainRunLoop::runFor(1);
    EXPECT_EQ(done, "done@0.5 finished");

    send(uiview, "animateWithDuration:animations:"_sel, 0.1,
         UIViewAnimationsBlock([&] { send(view, "setAlpha:"_sel, 0.5); }));
    MainRunLoop::runFor(1);
    EXPECT_EQ(animationsInFlight(), 0u);
  });
}

}  // namespace
}  // namespace qv::ui

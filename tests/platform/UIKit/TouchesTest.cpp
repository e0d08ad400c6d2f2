// Where taps land and which recognizers they reach, failure requirements included; controls up
// the responder chain, the first responder, where double taps are taken; points between views'
// spaces.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv::ui {
namespace {

std::string trace;

void single(id, SEL, id) {
  trace += "single ";
}
void twice(id, SEL, id) {
  trace += "double ";
}
void below(id, SEL, id) {
  trace += "below ";
}
void pressed(id, SEL, id) {
  trace += "pressed ";
}

Class targetClass() {
  static const Class cls = ClassBuilder("TouchTarget", NSObjectClass())
                               .method("single:", &single)
                               .method("double:", &twice)
                               .method("below:", &below)
                               .method("pressed:", &pressed)
                               .registerClass();
  return cls;
}

Ref<> makeView(id parent, CGRect frame, const char* className = "UIView") {
  Ref<> view =
      adopt(send<id>(send<id>(objc_getClass(className), "alloc"_sel), "initWithFrame:"_sel, frame));
  send(parent, "addSubview:"_sel, view.get());
  return view;
}

class Touches : public ::testing::Test {
 protected:
  Ref<> tapRecognizer(id view, SEL action, unsigned long taps) {
    Ref<> recognizer =
        adopt(send<id>(send<id>(objc_getClass("UITapGestureRecognizer"), "alloc"_sel),
                       "initWithTarget:action:"_sel, target.get(), action));
    send(recognizer, "setNumberOfTapsRequired:"_sel, taps);
    send(view, "addGestureRecognizer:"_sel, recognizer.get());
    return recognizer;
  }

  std::string taps(unsigned count) {
    trace.clear();
    tap(root, CGPointMake(50, 50), count);
    return trace;
  }

  AutoreleasePool pool;
  Ref<> target = make(targetClass());
  Ref<> root = adopt(send<id>(send<id>(objc_getClass("UIView"), "alloc"_sel), "initWithFrame:"_sel,
                              CGRectMake(0, 0, 320, 568)));
  Ref<> view = makeView(root, CGRectMake(0, 0, 100, 100));
};

TEST_F(Touches, ASingleTapWaitsForTheDoubleTapToFail) {
  Ref<> doubleTap = tapRecognizer(view, "double:"_sel, 2);
  Ref<> singleTap = tapRecognizer(view, "single:"_sel, 1);
  send(singleTap, "requireGestureRecognizerToFail:"_sel, doubleTap.get());
  EXPECT_EQ(taps(1), "single ");
  EXPECT_EQ(taps(2), "double ") << "never the single tap";
}

TEST_F(Touches, WithoutARequirementEveryTapCounts) {
  tapRecognizer(view, "double:"_sel, 2);
  tapRecognizer(view, "single:"_sel, 1);
  EXPECT_EQ(taps(1), "single ");
  EXPECT_EQ(taps(2), "single double single ");
}

TEST_F(Touches, ARequirementThatCannotRecognizeFailsAtOnce) {
  Ref<> singleTap = tapRecognizer(view, "single:"_sel, 1);
  Ref<> elsewhere = tapRecognizer(root, "double:"_sel, 2);
  send(elsewhere, "setEnabled:"_sel, BOOL{NO});
  send(singleTap, "requireGestureRecognizerToFail:"_sel, elsewhere.get());
  EXPECT_EQ(taps(2), "single single ");
  // Two recognizers waiting for each other: neither recognizes.
  Ref<> other = tapRecognizer(view, "below:"_sel, 1);
  send(singleTap, "requireGestureRecognizerToFail:"_sel, other.get());
  send(other, "requireGestureRecognizerToFail:"_sel, singleTap.get());
  EXPECT_EQ(taps(1), "");
  send(other, "setEnabled:"_sel, BOOL{NO});
  EXPECT_EQ(taps(1), "single ");
  // A requirement holds its recognizer: the cycle is broken for the two to go.
  send(other, "requireGestureRecognizerToFail:"_sel, nil);
}

TEST_F(Touches, TapsLandOnTheFrontmostTouchableViewAndReachItsAncestors) {
  tapRecognizer(root, "below:"_sel, 1);
  tapRecognizer(view, "single:"_sel, 1);
  EXPECT_EQ(taps(1), "single below ");
  Ref<> cover = makeView(root, CGRectMake(0, 0, 320, 200));
  EXPECT_EQ(taps(1), "below ") << "the cover takes it";
  EXPECT_EQ(tap(root, CGPointMake(50, 50), 1).landedOn.get(), cover.get());
  send(cover, "setUserInteractionEnabled:"_sel, BOOL{NO});
  EXPECT_EQ(taps(1), "single below ");
  send(cover, "setUserInteractionEnabled:"_sel, BOOL{YES});
  send(cover, "setHidden:"_sel, BOOL{YES});
  EXPECT_EQ(taps(1), "single below ");
  send(view, "setAlpha:"_sel, CGFloat{0});
  EXPECT_EQ(taps(1), "below ");
  EXPECT_EQ(tap(root, CGPointMake(500, 50), 1).landedOn.get(), nil) << "outside the root";
}

TEST_F(Touches, AControlActsOnATapThatReachesItUpTheResponderChain) {
  Ref<> control = makeView(view, CGRectMake(0, 0, 100, 100), "UIControl");
  send(control, "addTarget:action:forControlEvents:"_sel, target.get(), "pressed:"_sel,
       NSUInteger{UIControlEventTouchUpInside});
  Ref<> label = makeView(control, CGRectMake(0, 0, 100, 100));
  EXPECT_EQ(taps(1), "pressed ") << "from the view inside it";
  EXPECT_EQ(taps(2), "pressed pressed ");
  const TapOutcome outcome = tap(root, CGPointMake(50, 50), 1);
  EXPECT_EQ(outcome.landedOn.get(), label.get());
  ASSERT_EQ(outcome.taken.size(), 1u);
  EXPECT_EQ(outcome.taken[0], "UIControl sent pressed: to TouchTarget");

  send(control, "setEnabled:"_sel, BOOL{NO});
  EXPECT_EQ(taps(1), "") << "a disabled control and what it holds take no touches";
  EXPECT_EQ(tap(root, CGPointMake(50, 50), 1).landedOn.get(), view.get());
  EXPECT_TRUE(tap(root, CGPointMake(50, 50), 1).taken.empty()) << "nothing took it";

  send(control, "setEnabled:"_sel, BOOL{YES});
  tapRecognizer(root, "below:"_sel, 1);
  EXPECT_EQ(taps(1), "below ") << "a recognizer that recognizes cancels the touches";
}

TEST_F(Touches, ATappedTextFieldIsFirstResponderUntilItLeavesTheTree) {
  Ref<> field = makeView(view, CGRectMake(10, 10, 80, 30), "UITextField");
  EXPECT_EQ(firstResponder(), nil);
  EXPECT_EQ(tap(root, CGPointMake(50, 25), 1).taken,
            std::vector<std::string>{"UITextField became first responder"});
  EXPECT_EQ(firstResponder(), field.get());
  EXPECT_FALSE(send<BOOL>(view, "becomeFirstResponder"_sel)) << "a plain view cannot";
  send(view, "removeFromSuperview"_sel);
  EXPECT_EQ(firstResponder(), nil) << "its ancestor left the tree";
}

TEST_F(Touches, DoubleTapsAreTakenUnderAnEnabledRecognizerWhereNothingCoversIt) {
  Ref<> inner = makeView(view, CGRectMake(10, 10, 20, 20));
  Ref<> doubleTap = tapRecognizer(view, "double:"_sel, 2);
  tapRecognizer(root, "single:"_sel, 1);
  const auto areas = [&] {
    std::string text;
    for (const CGRect& r : doubleTapAreas(root)) {
      text += std::to_string(int(r.origin.x)) + "," + std::to_string(int(r.size.width)) + " ";
    }
    return text;
  };
  EXPECT_EQ(areas(), "0,100 10,20 ");
  send(doubleTap, "setEnabled:"_sel, BOOL{NO});
  EXPECT_EQ(areas(), "");
  send(doubleTap, "setEnabled:"_sel, BOOL{YES});
  makeView(root, CGRectMake(0, 0, 100, 100));
  EXPECT_EQ(areas(), "") << "covered";
}

TEST_F(Touches, PointsCrossTransformedViews) {
  Ref<> inner = makeView(view, CGRectMake(10, 20, 40, 40));
  send(inner, "setTransform:"_sel, CGAffineTransformMakeScale(2, 2));  // now 0..80 from (0, 10)
  const CGPoint atRoot = send<CGPoint>(inner, "convertPoint:toView:"_sel, CGPointMake(0, 0), nil);
  EXPECT_EQ(atRoot.x, -10);
  EXPECT_EQ(atRoot.y, 0);
  const CGPoint back =
      send<CGPoint>(inner, "convertPoint:fromView:"_sel, CGPointMake(-10, 0), root.get());
  EXPECT_EQ(back.x, 0);
  EXPECT_EQ(back.y, 0);
  EXPECT_EQ(tapView(inner, 1).landedOn.get(), inner.get()) << "its centre lands on it";
}

}  // namespace
}  // namespace qv::ui

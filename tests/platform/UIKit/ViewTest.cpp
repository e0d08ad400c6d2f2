#include <gtest/gtest.h>

#include <string>

#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv::ui {
namespace {

std::string& trace() {
  static std::string text;
  return text;
}

void willMove(id self, SEL, id parent) {
  trace() += "will:" + std::to_string(send<long>(self, "tag"_sel)) + (parent ? ">" : ">nil") + ";";
}
void didMove(id self, SEL) {
  trace() += "did:" + std::to_string(send<long>(self, "tag"_sel)) + ";";
}

Class tracedViewClass() {
  static const Class cls = ClassBuilder("TracedView", objc_getClass("UIView"))
                               .method("willMoveToSuperview:", &willMove)
                               .method("didMoveToSuperview", &didMove)
                               .registerClass();
  return cls;
}

Ref<> makeView(CGRect frame, long tag = 0, Class cls = objc_getClass("UIView")) {
  Ref<> view = adopt(send<id>(send<id>(cls, "alloc"_sel), "initWithFrame:"_sel, frame));
  send(view, "setTag:"_sel, tag);
  return view;
}

// The children as the parent lists them; the listing's array is gone before this returns.
std::vector<id> children(id view) {
  AutoreleasePool pool;
  return arrayElements(send<id>(view, "subviews"_sel));
}

class View : public ::testing::Test {
 protected:
  void SetUp() override { trace().clear(); }
  AutoreleasePool pool;
};

TEST_F(View, ParentOwnsChildrenInBackToFrontOrder) {
  Ref<> parent = makeView(CGRectMake(0, 0, 100, 100));
  Ref<> a = makeView(CGRectZero, 1), b = makeView(CGRectZero, 2), c = makeView(CGRectZero, 3);
  send(parent, "addSubview:"_sel, a.get());
  send(parent, "addSubview:"_sel, b.get());
  send(parent, "insertSubview:atIndex:"_sel, c.get(), 0L);
  EXPECT_EQ(children(parent), (std::vector<id>{c, a, b}));
  EXPECT_EQ(retainCount(a), 2u);

  send(parent, "bringSubviewToFront:"_sel, c.get());
  EXPECT_EQ(children(parent), (std::vector<id>{a, b, c}));
  send(parent, "addSubview:"_sel, a.get());  // already a child: moves on top
  EXPECT_EQ(children(parent), (std::vector<id>{b, c, a}));
  EXPECT_EQ(retainCount(a), 2u);

  send(a, "removeFromSuperview"_sel);
  EXPECT_EQ(retainCount(a), 1u);
  EXPECT_EQ(send<id>(a, "superview"_sel), nil);
  EXPECT_EQ(send<id>(parent, "viewWithTag:"_sel, 3L), c.get());
  EXPECT_EQ(send<id>(parent, "viewWithTag:"_sel, 1L), nil);
}

TEST_F(View, MovingToAnotherParentLeavesTheOldOne) {
  Class traced = tracedViewClass();
  Ref<> first = makeView(CGRectZero), second = makeView(CGRectZero);
  Ref<> child = makeView(CGRectZero, 7, traced);
  send(first, "addSubview:"_sel, child.get());
  send(second, "addSubview:"_sel, child.get());
  EXPECT_TRUE(children(first).empty());
  EXPECT_EQ(send<id>(child, "superview"_sel), second.get());
  EXPECT_EQ(retainCount(child), 2u);
  send(child, "removeFromSuperview"_sel);
  EXPECT_EQ(trace(), "will:7>;did:7;will:7>;did:7;will:7>nil;did:7;");
}

TEST_F(View, ChildrenOutliveNoParentAndCyclesAreRefused) {
  Ref<> child = makeView(CGRectZero);
  {
    Ref<> parent = makeView(CGRectZero);
    send(parent, "addSubview:"_sel, child.get());
    EXPECT_THROW(send(child, "addSubview:"_sel, parent.get()), ObjCException);
    EXPECT_THROW(send(child, "addSubview:"_sel, child.get()), ObjCException);
  }
  EXPECT_EQ(send<id>(child, "superview"_sel), nil) << "a dead parent is forgotten";
  EXPECT_EQ(retainCount(child), 1u);
}

TEST_F(View, FrameBoundsAndCenterAgree) {
  Ref<> view = makeView(CGRectMake(10, 20, 100, 50));
  EXPECT_TRUE(CGPointEqualToPoint(send<CGPoint>(view, "center"_sel), CGPointMake(60, 45)));
  EXPECT_TRUE(CGRectEqualToRect(send<CGRect>(view, "bounds"_sel), CGRectMake(0, 0, 100, 50)));
  send(view, "setCenter:"_sel, CGPointMake(0, 0));
  EXPECT_TRUE(CGRectEqualToRect(send<CGRect>(view, "frame"_sel), CGRectMake(-50, -25, 100, 50)));
  send(view, "setTransform:"_sel, CGAffineTransformMakeScale(2, 2));
  EXPECT_TRUE(CGRectEqualToRect(send<CGRect>(view, "frame"_sel), CGRectMake(-100, -50, 200, 100)));
  EXPECT_TRUE(CGRectEqualToRect(send<CGRect>(view, "bounds"_sel), CGRectMake(0, 0, 100, 50)));
  send(view, "setFrame:"_sel, CGRectMake(NAN, 0, 1, 1));
  EXPECT_TRUE(CGPointEqualToPoint(send<CGPoint>(view, "center"_sel), CGPointMake(0, 0)))
      << "a frame that is not finite is refused";
}

TEST_F(View, FlexibleMarginsKeepAChildCentredWhenTheParentResizes) {
  Ref<> parent = makeView(CGRectMake(0, 0, 100, 100));
  Ref<> child = makeView(CGRectMake(40, 40, 20, 20));
  send(child, "setAutoresizingMask:"_sel, NSUInteger(45));
  send(parent, "addSubview:"_sel, child.get());
  send(parent, "setFrame:"_sel, CGRectMake(0, 0, 200, 300));
  EXPECT_TRUE(CGRectEqualToRect(send<CGRect>(child, "frame"_sel), CGRectMake(90, 140, 20, 20)));
}

TEST_F(View, PropertiesKeepWhatIsSet) {
  Ref<> view = makeView(CGRectZero);
  send(view, "setAlpha:"_sel, 2.0);
  EXPECT_EQ(send<CGFloat>(view, "alpha"_sel), 1.0);
  send(view, "setAlpha:"_sel, 0.25);
  EXPECT_EQ(send<CGFloat>(view, "alpha"_sel), 0.25);
  send(view, "setHidden:"_sel, static_cast<BOOL>(YES));
  EXPECT_TRUE(send<BOOL>(view, "isHidden"_sel));
  send(view, "setContentMode:"_sel, 4L);
  EXPECT_EQ(send<long>(view, "contentMode"_sel), 4);
  send(view, "setOpaque:"_sel, static_cast<BOOL>(NO));
  EXPECT_FALSE(send<BOOL>(view, "isOpaque"_sel));
  id clear = send<id>(objc_getClass("UIColor"), "clearColor"_sel);
  send(view, "setBackgroundColor:"_sel, clear);
  EXPECT_TRUE(send<BOOL>(send<id>(view, "backgroundColor"_sel), "isEqual:"_sel, clear));
  EXPECT_TRUE(
      CGSizeEqualToSize(send<CGSize>(view, "sizeThatFits:"_sel, CGSizeMake(5, 5)), CGSizeZero));
}

TEST_F(View, WindowIsTheNearestWindowAncestor) {
  Ref<> window = adopt(send<id>(send<id>(objc_getClass("UIWindow"), "alloc"_sel),
                                "initWithFrame:"_sel, CGRectMake(0, 0, 320, 480)));
  Ref<> view = makeView(CGRectZero), inner = makeView(CGRectZero);
  send(view, "addSubview:"_sel, inner.get());
  EXPECT_EQ(send<id>(inner, "window"_sel), nil);
  send(window, "addSubview:"_sel, view.get());
  EXPECT_EQ(send<id>(inner, "window"_sel), window.get());
  send(window, "makeKeyAndVisible"_sel);
  id application = send<id>(objc_getClass("UIApplication"), "sharedApplication"_sel);
  EXPECT_EQ(send<id>(application, "keyWindow"_sel), window.get());
  EXPECT_FALSE(send<BOOL>(window, "isHidden"_sel));
}

}  // namespace
}  // namespace qv::ui

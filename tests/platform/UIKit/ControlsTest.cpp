#include <gtest/gtest.h>

#include <string>

#include "platform/Foundation/FoundationRuntime.h"
#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv::ui {
namespace {

class Controls : public ::testing::Test {
 protected:
  AutoreleasePool pool;
};

id boldFont(double size) {
  return send<id>(objc_getClass("UIFont"), "boldSystemFontOfSize:"_sel, CGFloat(size));
}

Ref<> makeLabel(const char* text, CGRect frame) {
  Ref<> label =
      adopt(send<id>(send<id>(objc_getClass("UILabel"), "alloc"_sel), "initWithFrame:"_sel, frame));
  send(label, "setFont:"_sel, boldFont(16));
  send(label, "setText:"_sel, makeString(text).get());
  return label;
}

TEST_F(Controls, ColoursAnswerTheirComponents) {
  Class color = objc_getClass("UIColor");
  CGFloat r = -1, g = -1, b = -1, a = -1;
  id white = send<id>(color, "whiteColor"_sel);
  ASSERT_TRUE(send<BOOL>(white, "getRed:green:blue:alpha:"_sel, &r, &g, &b, &a));
  EXPECT_EQ(r + g + b + a, 4.0);
  id clear = send<id>(color, "clearColor"_sel);
  EXPECT_EQ(CGColorGetAlpha(send<CGColorRef>(clear, "CGColor"_sel)), 0.0);
  EXPECT_TRUE(send<BOOL>(send<id>(color, "colorWithWhite:alpha:"_sel, CGFloat(1), CGFloat(1)),
                         "isEqual:"_sel, white));
  EXPECT_FALSE(send<BOOL>(white, "isEqual:"_sel, send<id>(color, "blackColor"_sel)));
}

TEST_F(Controls, FontsAreTheDejaVuFaces) {
  id font = boldFont(16);
  EXPECT_EQ(send<CGFloat>(font, "pointSize"_sel), 16.0);
  EXPECT_EQ(utf8(send<id>(font, "fontName"_sel)), "DejaVuSans-Bold");
  EXPECT_EQ(send<CGFloat>(font, "lineHeight"_sel), 18.625);
  EXPECT_EQ(send<id>(objc_getClass("UIFont"), "fontWithName:size:"_sel, makeString("Nope").get(),
                     CGFloat(12)),
            nil);
}

TEST_F(Controls, StringMeasurementMatchesTheTextModule) {
  id attributes = send<id>(
      objc_getClass("NSDictionary"), "dictionaryWithObjects:forKeys:count:"_sel,
      std::vector<id>{boldFont(16)}.data(), std::vector<id>{NSFontAttributeName}.data(), 1UL);
  const CGSize one =
      send<CGSize>(makeString("Driftlane").get(), "sizeWithAttributes:"_sel, attributes);
  EXPECT_EQ(one.width, 79.7890625);
  EXPECT_EQ(one.height, 18.625);
  const CGRect wrapped = send<CGRect>(makeString("Driftlane Driftlane").get(),
                                      "boundingRectWithSize:options:attributes:context:"_sel,
                                      CGSizeMake(100, 1000), NSInteger(1), attributes, nil);
  EXPECT_EQ(wrapped.size.height, 2 * 18.625);
  const CGRect oneLine = send<CGRect>(makeString("Driftlane Driftlane").get(),
                                      "boundingRectWithSize:options:attributes:context:"_sel,
                                      CGSizeMake(100, 1000), NSInteger(0), attributes, nil);
  EXPECT_EQ(oneLine.size.height, 18.625) << "without line fragments only one line is laid out";
}

TEST_F(Controls, LabelSizeThatFitsRoundsUp) {
  Ref<> label = makeLabel("Driftlane", CGRectMake(0, 0, 320, 480));
  EXPECT_TRUE(CGSizeEqualToSize(send<CGSize>(label, "sizeThatFits:"_sel, CGSizeMake(320, 480)),
                                CGSizeMake(80, 19)));
  EXPECT_EQ(send<long>(label, "numberOfLines"_sel), 1);
  send(label, "setNumberOfLines:"_sel, 0L);
  send(label, "setText:"_sel, makeString("Driftlane Driftlane").get());
  EXPECT_TRUE(CGSizeEqualToSize(send<CGSize>(label, "sizeThatFits:"_sel, CGSizeMake(100, 0)),
                                CGSizeMake(80, 38)));
  send(label, "setText:"_sel, nil);
  EXPECT_TRUE(
      CGSizeEqualToSize(send<CGSize>(label, "sizeThatFits:"_sel, CGSizeMake(100, 0)), CGSizeZero));
}

TEST_F(Controls, SpinnerStylesSizesAndVisibility) {
  Class spinner = objc_getClass("UIActivityIndicatorView");
  Ref<> large =
      adopt(send<id>(send<id>(spinner, "alloc"_sel), "initWithActivityIndicatorStyle:"_sel, 0L));
  EXPECT_TRUE(CGRectEqualToRect(send<CGRect>(large, "bounds"_sel), CGRectMake(0, 0, 37, 37)));
  EXPECT_TRUE(send<BOOL>(large, "isHidden"_sel)) << "stopped spinners hide";
  send(large, "startAnimating"_sel);
  EXPECT_TRUE(send<BOOL>(large, "isAnimating"_sel));
  EXPECT_FALSE(send<BOOL>(large, "isHidden"_sel));
  id red = send<id>(objc_getClass("UIColor"), "redColor"_sel);
  send(large, "setColor:"_sel, red);
  EXPECT_EQ(send<id>(large, "color"_sel), red);
  send(large, "stopAnimating"_sel);
  EXPECT_TRUE(send<BOOL>(large, "isHidden"_sel));
  Ref<> gray =
      adopt(send<id>(send<id>(spinner, "alloc"_sel), "initWithActivityIndicatorStyle:"_sel, 2L));
  EXPECT_TRUE(CGRectEqualToRect(send<CGRect>(gray, "bounds"_sel), CGRectMake(0, 0, 20, 20)));
  EXPECT_TRUE(isKindOf(gray, objc_getClass("UIView")));
}

std::string& actions() {
  static std::string text;
  return text;
}
void tapped(id, SEL, id recognizer) {
  actions() += "tapped in state " + std::to_string(send<long>(recognizer, "state"_sel)) + ";";
}

TEST_F(Controls, GestureTargetsLiveInNamedIvars) {
  static const Class target =
      ClassBuilder("TapTarget", NSObjectClass()).method("tapped:", &tapped).registerClass();
  Ref<> receiver = make(target);
  Ref<> recognizer = adopt(send<id>(send<id>(objc_getClass("UITapGestureRecognizer"), "alloc"_sel),
                                    "initWithTarget:action:"_sel, receiver.get(), "tapped:"_sel));
  Ref<> view = make(objc_getClass("UIView"));
  send(view, "addGestureRecognizer:"_sel, recognizer.get());
  EXPECT_EQ(send<id>(recognizer, "view"_sel), view.get());

  id targets = object_getIvar(
      recognizer, class_getInstanceVariable(objc_getClass("UIGestureRecognizer"), "_targets"));
  ASSERT_TRUE(isKindOf(targets, objc_getClass("NSMutableArray")));
  const std::vector<id> entries = arrayElements(targets);
  ASSERT_EQ(entries.size(), 1u);
  Class entryClass = object_getClass(entries[0]);
  EXPECT_STREQ(class_getName(entryClass), "UIGestureRecognizerTarget");
  EXPECT_EQ(object_getIvar(entries[0], class_getInstanceVariable(entryClass, "_target")),
            receiver.get());
  const std::ptrdiff_t offset = ivar_getOffset(class_getInstanceVariable(entryClass, "_action"));
  EXPECT_TRUE(sel_isEqual(*reinterpret_cast<SEL*>(reinterpret_cast<char*>(entries[0]) + offset),
                          "tapped:"_sel));
  EXPECT_EQ(retainCount(receiver), 1u) << "targets are not retained";

  recognize(recognizer);
  EXPECT_EQ(actions(), "tapped in state 3;");
  send(view, "removeGestureRecognizer:"_sel, recognizer.get());
  EXPECT_EQ(send<id>(recognizer, "view"_sel), nil);
  EXPECT_EQ(send<id>(view, "gestureRecognizers"_sel), nil);
}

int orientationNotices = 0;
void orientationChanged(id, SEL, id) {
  ++orientationNotices;
}

TEST_F(Controls, OrientationChangesArePostedOnce) {
  static const Class listener = ClassBuilder("OrientationListener", NSObjectClass())
                                    .method("changed:", &orientationChanged)
                                    .registerClass();
  Ref<> observer = make(listener);
  id center = send<id>(objc_getClass("NSNotificationCenter"), "defaultCenter"_sel);
  send(center, "addObserver:selector:name:object:"_sel, observer.get(), "changed:"_sel,
       makeString("UIApplicationDidChangeStatusBarOrientationNotification").get(), nil);
  id application = send<id>(objc_getClass("UIApplication"), "sharedApplication"_sel);
  EXPECT_EQ(send<long>(application, "statusBarOrientation"_sel), 1);
  send(application, "setStatusBarOrientation:"_sel, 4L);
  send(application, "setStatusBarOrientation:"_sel, 4L);
  EXPECT_EQ(send<long>(application, "statusBarOrientation"_sel), 4);
  EXPECT_EQ(orientationNotices, 1);
  send(application, "setStatusBarOrientation:"_sel, 1L);
  send(center, "removeObserver:"_sel, observer.get());
  const CGRect screen =
      send<CGRect>(send<id>(objc_getClass("UIScreen"), "mainScreen"_sel), "bounds"_sel);
  EXPECT_TRUE(CGRectEqualToRect(screen, CGRectMake(0, 0, 320, 568)));
}

TEST_F(Controls, GraphicsContextsStackPerThread) {
  EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
  CGContextRef first = reinterpret_cast<CGContextRef>(0);
  UIGraphicsPushContext(first);
  UIGraphicsPopContext();
  UIGraphicsPopContext();  // unbalanced: ignored
  EXPECT_EQ(UIGraphicsGetCurrentContext(), nullptr);
}

}  // namespace
}  // namespace qv::ui

#include "platform/UIKit/Snapshot.h"

#include <gtest/gtest.h>

#include <numbers>

#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv::ui {
namespace {

id color(double r, double g, double b, double a = 1) {
  return send<id>(objc_getClass("UIColor"), "colorWithRed:green:blue:alpha:"_sel, r, g, b, a);
}

Ref<> makeView(CGRect frame, id background, id parent, Class cls = objc_getClass("UIView")) {
  Ref<> view = adopt(send<id>(send<id>(cls, "alloc"_sel), "initWithFrame:"_sel, frame));
  send(view, "setBackgroundColor:"_sel, background);
  if (parent != nil) send(parent, "addSubview:"_sel, view.get());
  return view;
}

// A view whose content is a black dot in its middle.
void drawDot(id self, SEL, CGRect rect) {
  CGContextRef context = UIGraphicsGetCurrentContext();
  CGContextSetGrayFillColor(context, 0, 1);
  CGContextFillEllipseInRect(context,
                             CGRectMake(CGRectGetMidX(rect) - 4, CGRectGetMidY(rect) - 4, 8, 8));
  (void)self;
}

Class dotViewClass() {
  static const Class cls = ClassBuilder("DotView", objc_getClass("UIView"))
                               .method("drawRect:", &drawDot)
                               .registerClass();
  return cls;
}

bool near(Pixel actual, Pixel expected) {
  return pixelsClose(actual, expected, 3);
}

TEST(Snapshot, ComposesBackgroundsContentChildrenAlphaHiddenAndTransforms) {
  AutoreleasePool pool;
  Ref<> root = makeView(CGRectMake(0, 0, 100, 100), color(1, 1, 1), nil);
  Ref<> red = makeView(CGRectMake(10, 10, 30, 30), color(1, 0, 0), root);
  Ref<> blue = makeView(CGRectMake(50, 50, 30, 30), color(0, 0, 1), root);
  send(blue, "setAlpha:"_sel, CGFloat(0.5));
  Ref<> hidden = makeView(CGRectMake(0, 0, 100, 100), color(0, 1, 0), root);
  send(hidden, "setHidden:"_sel, static_cast<BOOL>(YES));
  // 40 × 10 centred at (75, 20), turned upright: it covers x 70..80, y 0..40.
  Ref<> bar = makeView(CGRectMake(55, 15, 40, 10), color(0, 0, 0), root);
  send(bar, "setTransform:"_sel, CGAffineTransformMakeRotation(std::numbers::pi / 2));
  Ref<> dot = makeView(CGRectMake(10, 60, 30, 30), nil, root, dotViewClass());
  Ref<> outside = makeView(CGRectMake(90, 90, 40, 40), color(0, 1, 0), root);

  const Bitmap image = snapshot(root);
  ASSERT_EQ(image.width(), 100);
  ASSERT_EQ(image.height(), 100);
  EXPECT_TRUE(near(image.pixel(5, 5), {255, 255, 255, 255}));
  EXPECT_TRUE(near(image.pixel(25, 25), {255, 0, 0, 255}));
  EXPECT_TRUE(near(image.pixel(65, 65), {127, 127, 255, 255})) << "half-transparent blue on white";
  EXPECT_TRUE(near(image.pixel(75, 35), {0, 0, 0, 255})) << "the bar stands upright";
  EXPECT_TRUE(near(image.pixel(60, 20), {255, 255, 255, 255}));
  EXPECT_TRUE(near(image.pixel(25, 75), {0, 0, 0, 255})) << "drawRect: reached through the message";
  EXPECT_TRUE(near(image.pixel(15, 65), {255, 255, 255, 255}));
  EXPECT_TRUE(near(image.pixel(95, 95), {0, 255, 0, 255}))
      << "children are clipped to the root only";

  const std::string path = ::testing::TempDir() + "/snapshot-test.png";
  EXPECT_TRUE(writeSnapshot(root, path));
  EXPECT_FALSE(writeSnapshot(root, "/nonexistent-dir/snapshot.png"));
}

TEST(Snapshot, LabelsDrawTheirTextCentredVertically) {
  AutoreleasePool pool;
  Ref<> root = makeView(CGRectMake(0, 0, 200, 60), color(1, 1, 1), nil);
  Ref<> label = makeView(CGRectMake(0, 0, 200, 60), nil, root, objc_getClass("UILabel"));
  send(label, "setText:"_sel, makeString("Done").get());
  send(label, "setTextAlignment:"_sel, NSInteger(1));
  send(label, "setFont:"_sel,
       send<id>(objc_getClass("UIFont"), "boldSystemFontOfSize:"_sel, CGFloat(16)));
  const Bitmap image = snapshot(root);
  int top = 60, bottom = -1, left = 200, right = -1;
  for (int y = 0; y < 60; ++y) {
    for (int x = 0; x < 200; ++x) {
      if (image.pixel(x, y).red > 128) continue;
      top = std::min(top, y), bottom = std::max(bottom, y);
      left = std::min(left, x), right = std::max(right, x);
    }
  }
  ASSERT_GE(bottom, 0) << "no text drawn";
  // The line box (18.625 high) sits at 20.69..39.31; the ink lies inside it, about the middle.
  EXPECT_GE(top, 20);
  EXPECT_LE(bottom, 40);
  EXPECT_NEAR((left + right) / 2.0, 100, 3);
}

}  // namespace
}  // namespace qv::ui

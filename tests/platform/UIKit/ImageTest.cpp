// Named images: one shared image per registered name, drawn by its drawing inside a saved
// context state.
#include <gtest/gtest.h>

#include "platform/CoreGraphics/Bitmap.h"
#include "platform/UIKit/UIKit.h"

namespace qv {
namespace {

id imageNamed(const char* name) {
  return send<id>(objc_getClass("UIImage"), "imageNamed:"_sel, makeString(name).get());
}

TEST(UIImage, ANamedImageIsOneSharedObjectDrawnByItsDrawing) {
  int draws = 0;
  CGRect drawnIn = CGRectZero;
  ui::registerNamedImage("TestBadge", {16, 12}, [&](CGContextRef context, CGRect rect) {
    ++draws;
    drawnIn = rect;
    CGContextTranslateCTM(context, 100, 100);  // undone after the drawing
  });
  id badge = imageNamed("TestBadge");
  ASSERT_NE(badge, nil);
  EXPECT_EQ(imageNamed("TestBadge"), badge);
  EXPECT_EQ(ui::imageName(badge), "TestBadge");
  EXPECT_EQ(send<CGSize>(badge, "size"_sel).width, 16);
  EXPECT_EQ(imageNamed("NoSuchImage"), nil);
  EXPECT_EQ(ui::imageName(nil), "");

  send(badge, "drawAtPoint:"_sel, CGPointMake(3, 4));
  EXPECT_EQ(draws, 0) << "no current context, nothing drawn";
  Bitmap bitmap(32, 32);
  CGContextRef context = bitmap.context();
  UIGraphicsPushContext(context);
  send(badge, "drawAtPoint:"_sel, CGPointMake(3, 4));
  UIGraphicsPopContext();
  EXPECT_EQ(draws, 1);
  EXPECT_EQ(drawnIn.origin.x, 3);
  EXPECT_EQ(drawnIn.size.height, 12);
  EXPECT_EQ(CGContextGetCTM(context).tx, 0) << "the drawing's state was put back";
}

}  // namespace
}  // namespace qv

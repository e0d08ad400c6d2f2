#include <gtest/gtest.h>

#include <cairo.h>

#include <cmath>
#include <cstdint>
#include <numbers>

#include "platform/CoreGraphics/Bitmap.h"
#include "port/CoreGraphics/CGContext.h"

namespace qv {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr Pixel kClear{0, 0, 0, 0};
constexpr Pixel kBlack{0, 0, 0, 255};

// A pie slice: centre, arc, back to the centre.
void fillPie(CGContextRef context, CGPoint center, double radius, double start, double end,
             int clockwise) {
  CGContextBeginPath(context);
  CGContextMoveToPoint(context, center.x, center.y);
  CGContextAddArc(context, center.x, center.y, radius, start, end, clockwise);
  CGContextClosePath(context);
  CGContextFillPath(context);
}

TEST(Context, ArcWithClockwiseZeroTurnsClockwiseOnScreen) {
  Bitmap bitmap(100, 100);
  fillPie(bitmap.context(), {50, 50}, 30, 3 * kPi / 2, 0, 0);
  EXPECT_EQ(bitmap.pixel(60, 40), kBlack);  // top right
  EXPECT_EQ(bitmap.pixel(40, 40), kClear);  // top left
  EXPECT_EQ(bitmap.pixel(40, 60), kClear);  // bottom left
  EXPECT_EQ(bitmap.pixel(60, 60), kClear);  // bottom right
}

TEST(Context, ArcWithClockwiseOneTakesTheOtherWayRound) {
  Bitmap bitmap(100, 100);
  fillPie(bitmap.context(), {50, 50}, 30, 3 * kPi / 2, 0, 1);
  EXPECT_EQ(bitmap.pixel(60, 40), kClear);
  EXPECT_EQ(bitmap.pixel(40, 40), kBlack);
  EXPECT_EQ(bitmap.pixel(40, 60), kBlack);
  EXPECT_EQ(bitmap.pixel(60, 60), kBlack);
}

TEST(Context, FourArcsTraceARoundedRectangle) {
  Bitmap bitmap(100, 80);
  CGContextRef c = bitmap.context();
  const CGRect r = CGRectMake(10, 10, 80, 60);
  const double radius = 10;
  CGContextSetGrayFillColor(c, 0, 1);
  CGContextBeginPath(c);
  CGContextMoveToPoint(c, CGRectGetMinX(r) + radius, CGRectGetMinY(r));
  CGContextAddArc(c, CGRectGetMaxX(r) - radius, CGRectGetMinY(r) + radius, radius, 3 * kPi / 2, 0,
                  0);
  CGContextAddArc(c, CGRectGetMaxX(r) - radius, CGRectGetMaxY(r) - radius, radius, 0, kPi / 2, 0);
  CGContextAddArc(c, CGRectGetMinX(r) + radius, CGRectGetMaxY(r) - radius, radius, kPi / 2, kPi, 0);
  CGContextAddArc(c, CGRectGetMinX(r) + radius, CGRectGetMinY(r) + radius, radius, kPi, 3 * kPi / 2,
                  0);
  CGContextClosePath(c);
  CGContextFillPath(c);

  for (auto [x, y] : {std::pair{10, 10}, {89, 10}, {89, 69}, {10, 69}}) {
    EXPECT_EQ(bitmap.pixel(x, y), kClear) << "corner " << x << "," << y;
  }
  for (auto [x, y] : {std::pair{50, 10}, {89, 40}, {50, 69}, {10, 40}, {14, 14}, {85, 65}}) {
    EXPECT_EQ(bitmap.pixel(x, y), kBlack) << "inside " << x << "," << y;
  }
  EXPECT_EQ(bitmap.pixel(5, 40), kClear);
  EXPECT_TRUE(CGContextIsPathEmpty(c));
}

// Radial darkening as an overlay draws it: clear at the centre, 0.75 black at the end circle.
void drawDimming(Bitmap& bitmap, double startRadius, CGGradientDrawingOptions options) {
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  const CGFloat components[] = {0, 0, 0, 0, 0, 0, 0, 0.75};
  const CGFloat locations[] = {0, 1};
  CGGradientRef gradient = CGGradientCreateWithColorComponents(space, components, locations, 2);
  CGColorSpaceRelease(space);
  CGContextDrawRadialGradient(bitmap.context(), gradient, {50, 50}, startRadius, {50, 50}, 40,
                              options);
  CGGradientRelease(gradient);
}

TEST(Context, RadialGradientInterpolatesBetweenTheCircles) {
  Bitmap bitmap(100, 100);
  drawDimming(bitmap, 0, 0);
  EXPECT_LE(bitmap.pixel(50, 50).alpha, 5);
  EXPECT_NEAR(bitmap.pixel(70, 50).alpha, 0.75 * 255 * 20.5 / 40, 3);
  EXPECT_NEAR(bitmap.pixel(50, 89).alpha, 0.75 * 255, 6);
  EXPECT_EQ(bitmap.pixel(0, 0), kClear) << "nothing beyond the end circle without the option";
}

TEST(Context, DrawsAfterEndLocationFillsBeyondTheEndCircleOnly) {
  Bitmap after(100, 100);
  drawDimming(after, 10, kCGGradientDrawsAfterEndLocation);
  EXPECT_EQ(after.pixel(0, 0).alpha, 191);
  EXPECT_EQ(after.pixel(99, 99).alpha, 191);
  EXPECT_EQ(after.pixel(50, 50), kClear) << "inside the start circle stays clear";
}

TEST(Context, DrawsBeforeStartLocationFillsInsideTheStartCircleOnly) {
  Bitmap before(100, 100);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  const CGFloat components[] = {1, 0, 0, 1, 0, 0, 1, 1};
  CGGradientRef gradient = CGGradientCreateWithColorComponents(space, components, nullptr, 2);
  CGColorSpaceRelease(space);
  CGContextDrawRadialGradient(before.context(), gradient, {50, 50}, 10, {50, 50}, 40,
                              kCGGradientDrawsBeforeStartLocation);
  CGGradientRelease(gradient);
  EXPECT_EQ(before.pixel(50, 50), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(before.pixel(0, 0), kClear);
  EXPECT_TRUE(pixelsClose(before.pixel(50, 89), Pixel{0, 0, 255, 255}, 8));
}

TEST(Context, GradientFollowsTheTransformAndClip) {
  Bitmap bitmap(100, 100);
  CGContextRef c = bitmap.context();
  CGContextSaveGState(c);
  CGContextClipToRect(c, CGRectMake(0, 0, 50, 100));
  drawDimming(bitmap, 0, kCGGradientDrawsAfterEndLocation);
  CGContextRestoreGState(c);
  EXPECT_EQ(bitmap.pixel(0, 0).alpha, 191);
  EXPECT_EQ(bitmap.pixel(99, 0), kClear) << "clipped away";
}

TEST(Context, TransformsAndStatesNestAsSavedAndRestored) {
  Bitmap bitmap(100, 100);
  CGContextRef c = bitmap.context();
  CGContextSaveGState(c);
  CGContextTranslateCTM(c, 50, 50);
  CGContextScaleCTM(c, 2, 2);
  CGContextSetRGBFillColor(c, 1, 0, 0, 1);
  CGContextFillRect(c, CGRectMake(0, 0, 10, 10));  // covers 50..70
  CGContextRestoreGState(c);
  CGContextFillRect(c, CGRectMake(0, 0, 10, 10));  // black again, at the origin
  EXPECT_EQ(bitmap.pixel(69, 69), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(bitmap.pixel(71, 71), kClear);
  EXPECT_EQ(bitmap.pixel(5, 5), kBlack);

  const CGAffineTransform turned = CGAffineTransformMakeRotation(kPi / 2);
  CGContextConcatCTM(c, turned);
  EXPECT_NEAR(CGContextGetCTM(c).b, 1, 1e-12);
}

TEST(Context, FillRectLeavesTheCurrentPathInPlace) {
  Bitmap bitmap(40, 20);
  CGContextRef c = bitmap.context();
  CGContextAddRect(c, CGRectMake(0, 0, 10, 10));
  CGContextFillRect(c, CGRectMake(20, 0, 10, 10));
  EXPECT_FALSE(CGContextIsPathEmpty(c));
  CGContextFillPath(c);
  EXPECT_EQ(bitmap.pixel(5, 5), kBlack);
  EXPECT_EQ(bitmap.pixel(25, 5), kBlack);
  EXPECT_EQ(bitmap.pixel(15, 5), kClear);
}

TEST(Context, BadInputIsRefusedAndLeavesTheContextUsable) {
  Bitmap bitmap(20, 20);
  CGContextRef c = bitmap.context();
  CGContextRestoreGState(c);  // unbalanced
  CGContextSaveGState(c);
  CGContextScaleCTM(c, 0, 1);  // singular: nothing can be drawn
  CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
  CGContextRestoreGState(c);
  EXPECT_EQ(bitmap.pixel(5, 5), kClear);

  CGContextBeginPath(c);
  CGContextMoveToPoint(c, NAN, 0);
  CGContextAddArc(c, 10, 10, -5, 0, 1, 0);
  CGContextAddArc(c, 10, 10, 5, 0, 1e300, 0);  // bounded work for an absurd angle
  CGContextFillPath(c);

  CGContextFillPath(nullptr);
  CGContextSetGrayFillColor(nullptr, 0, 1);
  EXPECT_EQ(CGGradientCreateWithColorComponents(nullptr, nullptr, nullptr, 0), nullptr);

  CGContextFillRect(c, CGRectMake(0, 0, 20, 20));
  EXPECT_EQ(bitmap.pixel(5, 5), kBlack) << "the context still draws";
}

TEST(Context, ColoursKeepTheirSpaceComponents) {
  CGColorSpaceRef gray = CGColorSpaceCreateDeviceGray();
  const CGFloat components[] = {0.5, 2.0};
  CGColorRef color = CGColorCreate(gray, components);
  ASSERT_EQ(CGColorGetNumberOfComponents(color), 2u);
  EXPECT_EQ(CGColorGetComponents(color)[0], 0.5);
  EXPECT_EQ(CGColorGetAlpha(color), 1.0) << "clamped";
  CGColorRef same = CGColorCreate(gray, components);
  EXPECT_TRUE(CGColorEqualToColor(color, same));
  CGColorRelease(same);
  CGColorRelease(color);
  CGColorSpaceRelease(gray);
}

TEST(Bitmap, WritesAPNGAndRefusesAnImpossiblePath) {
  Bitmap bitmap(4, 4);
  CGContextFillRect(bitmap.context(), CGRectMake(0, 0, 4, 4));
  const std::string path = ::testing::TempDir() + "/bitmap-test.png";
  EXPECT_TRUE(bitmap.writePNG(path));
  EXPECT_FALSE(bitmap.writePNG("/nonexistent-dir/x.png"));
  EXPECT_EQ(bitmap.pixel(-1, 0), kClear);
}

// The quick writer hands libpng cairo's words as they are: the channels must come back in
// their places, and what is not opaque comes back laid on black.
TEST(Bitmap, AQuickPNGReadsBackAsTheScreenShowsIt) {
  Bitmap bitmap(3, 1);
  CGContextSetRGBFillColor(bitmap.context(), 1, 0.5, 0, 1);
  CGContextFillRect(bitmap.context(), CGRectMake(0, 0, 1, 1));
  CGContextSetRGBFillColor(bitmap.context(), 0, 0, 1, 0.5);
  CGContextFillRect(bitmap.context(), CGRectMake(1, 0, 1, 1));
  const std::string path = ::testing::TempDir() + "/quick-bitmap-test.png";
  ASSERT_TRUE(bitmap.writeQuickPNG(path));
  EXPECT_FALSE(bitmap.writeQuickPNG("/nonexistent-dir/x.png"));
  cairo_surface_t* read = cairo_image_surface_create_from_png(path.c_str());
  ASSERT_EQ(cairo_surface_status(read), CAIRO_STATUS_SUCCESS);
  const auto* words = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(read));
  EXPECT_EQ(words[0], 0xFFFF8000u);
  EXPECT_TRUE(words[1] == 0xFF000080u || words[1] == 0xFF00007Fu) << std::hex << words[1];
  EXPECT_EQ(words[2], 0xFF000000u);
  cairo_surface_destroy(read);
}

}  // namespace
}  // namespace qv

#include <gtest/gtest.h>

#include <numbers>

#include "port/CoreGraphics/CGGeometry.h"

namespace {

constexpr double kTolerance = 1e-12;

void expectNear(CGPoint actual, CGPoint expected) {
  EXPECT_NEAR(actual.x, expected.x, kTolerance);
  EXPECT_NEAR(actual.y, expected.y, kTolerance);
}

TEST(Geometry, RectAccessorsReadTheStandardisedRect) {
  const CGRect rect = CGRectMake(10, 20, 30, 40);
  EXPECT_EQ(CGRectGetMinX(rect), 10);
  EXPECT_EQ(CGRectGetMaxX(rect), 40);
  EXPECT_EQ(CGRectGetMinY(rect), 20);
  EXPECT_EQ(CGRectGetMaxY(rect), 60);
  EXPECT_EQ(CGRectGetMidX(rect), 25);
  EXPECT_EQ(CGRectGetMidY(rect), 40);

  const CGRect flipped = CGRectMake(40, 60, -30, -40);
  EXPECT_EQ(CGRectGetMinX(flipped), 10);
  EXPECT_EQ(CGRectGetMaxY(flipped), 60);
  EXPECT_EQ(CGRectGetWidth(flipped), 30);
  EXPECT_EQ(CGRectGetHeight(flipped), 40);
  EXPECT_TRUE(CGRectEqualToRect(rect, flipped));
  EXPECT_FALSE(CGRectEqualToRect(rect, CGRectMake(10, 20, 30, 41)));
  EXPECT_TRUE(CGRectEqualToRect(CGRectZero, CGRectMake(0, 0, 0, 0)));
}

TEST(Geometry, ConcatAppliesTheFirstTransformFirst) {
  const CGAffineTransform scaleThenMove = CGAffineTransformConcat(
      CGAffineTransformMakeScale(2, 3), CGAffineTransformMakeTranslation(10, 20));
  expectNear(CGPointApplyAffineTransform({1, 1}, scaleThenMove), {12, 23});

  const CGAffineTransform moveThenScale = CGAffineTransformConcat(
      CGAffineTransformMakeTranslation(10, 20), CGAffineTransformMakeScale(2, 3));
  expectNear(CGPointApplyAffineTransform({1, 1}, moveThenScale), {22, 63});

  // The modifying forms put their own operation before the given transform.
  expectNear(CGPointApplyAffineTransform(
                 {1, 1}, CGAffineTransformScale(CGAffineTransformMakeTranslation(10, 20), 2, 3)),
             {12, 23});
  expectNear(CGPointApplyAffineTransform(
                 {1, 1}, CGAffineTransformTranslate(CGAffineTransformMakeScale(2, 3), 10, 20)),
             {22, 63});
}

TEST(Geometry, PositiveRotationTurnsXTowardsY) {
  // In a y-down view space this is clockwise on screen.
  const CGAffineTransform quarter = CGAffineTransformMakeRotation(std::numbers::pi / 2);
  expectNear(CGPointApplyAffineTransform({1, 0}, quarter), {0, 1});
  expectNear(CGPointApplyAffineTransform({0, 1}, quarter), {-1, 0});
  EXPECT_DOUBLE_EQ(quarter.b, 1);
  EXPECT_DOUBLE_EQ(quarter.c, -1);

  const CGAffineTransform back = CGAffineTransformRotate(quarter, -std::numbers::pi / 2);
  expectNear(CGPointApplyAffineTransform({3, 4}, back), {3, 4});
}

TEST(Geometry, InvertUndoesAndSingularStaysPut) {
  const CGAffineTransform t =
      CGAffineTransformConcat(CGAffineTransformConcat(CGAffineTransformMakeScale(2, 0.5),
                                                      CGAffineTransformMakeRotation(0.3)),
                              CGAffineTransformMakeTranslation(-7, 11));
  const CGAffineTransform inverse = CGAffineTransformInvert(t);
  expectNear(CGPointApplyAffineTransform(CGPointApplyAffineTransform({5, -9}, t), inverse),
             {5, -9});

  const CGAffineTransform singular = CGAffineTransformMakeScale(0, 1);
  EXPECT_TRUE(CGAffineTransformEqualToTransform(CGAffineTransformInvert(singular), singular));
}

TEST(Geometry, IdentityAndEquality) {
  EXPECT_TRUE(CGAffineTransformIsIdentity(CGAffineTransformIdentity));
  EXPECT_TRUE(CGAffineTransformIsIdentity(CGAffineTransformMakeScale(1, 1)));
  EXPECT_FALSE(CGAffineTransformIsIdentity(CGAffineTransformMakeScale(1.5, 1.5)));
  EXPECT_TRUE(CGAffineTransformEqualToTransform(
      CGAffineTransformMake(1, 2, 3, 4, 5, 6),
      CGAffineTransformConcat(CGAffineTransformIdentity, CGAffineTransformMake(1, 2, 3, 4, 5, 6))));
}

TEST(Geometry, TransformedRectIsTheBoundingBoxOfItsCorners) {
  const CGRect turned = CGRectApplyAffineTransform(
      CGRectMake(0, 0, 20, 10), CGAffineTransformMakeRotation(std::numbers::pi / 2));
  EXPECT_NEAR(CGRectGetMinX(turned), -10, kTolerance);
  EXPECT_NEAR(CGRectGetMinY(turned), 0, kTolerance);
  EXPECT_NEAR(CGRectGetWidth(turned), 10, kTolerance);
  EXPECT_NEAR(CGRectGetHeight(turned), 20, kTolerance);
}

}  // namespace

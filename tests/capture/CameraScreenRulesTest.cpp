// The camera screen's and the chooser's decisions as plain functions.
#include "capture/CameraScreenRules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvane {
namespace {

TEST(CameraScreenRules, ThePreviewStartsOnlyAtARateTheDeviceOffers) {
  EXPECT_TRUE(previewAllowed(240, 240.0));
  EXPECT_FALSE(previewAllowed(240, 120.0));
  EXPECT_FALSE(previewAllowed(240, 239.999)) << "the maximum is truncated to 239";
  EXPECT_TRUE(previewAllowed(2, 120.0));
  EXPECT_FALSE(previewAllowed(1, 240.0));
  EXPECT_FALSE(previewAllowed(0, 240.0));
  // Without any frame-rate range, 30 is the largest accepted rate.
  EXPECT_TRUE(previewAllowed(30, std::nullopt));
  EXPECT_FALSE(previewAllowed(31, std::nullopt));
  EXPECT_FALSE(previewAllowed(UINT64_MAX, 240.0));
}

TEST(CameraScreenRules, TheStockTapGoesThroughFrom120) {
  EXPECT_FALSE(stockTapAllowed(60));
  EXPECT_FALSE(stockTapAllowed(100));
  EXPECT_FALSE(stockTapAllowed(119.99));
  EXPECT_TRUE(stockTapAllowed(120));
  EXPECT_TRUE(stockTapAllowed(240));
}

TEST(CameraScreenRules, TheIndicatorIsCentredInTheBar) {
  EXPECT_TRUE(CGRectEqualToRect(indicatorFrame(320), CGRectMake(140, 20, 40, 40)));
  EXPECT_TRUE(CGRectEqualToRect(indicatorFrame(768), CGRectMake(364, 20, 40, 40)));
}

std::string outcomeOf(const ChooserOutcome& outcome) {
  switch (outcome.kind) {
    case ChooserOutcome::Kind::Nothing:
      return "nothing";
    case ChooserOutcome::Kind::Apply:
      return "apply " + std::to_string(outcome.rate);
    case ChooserOutcome::Kind::AskAgain:
      return std::string(outcome.message) + " for " + std::to_string(outcome.seconds).substr(0, 3);
  }
  return "?";
}

TEST(CameraScreenRules, AnAlertPressLeadsToItsOutcome) {
  struct Case {
    long button;
    long tag;
    int typed;
    long long maximum;
    std::string outcome;
  };
  const std::string invalid = "❗ Invalid FPS. for 1.5";
  const std::string unsupported = "❗ This FPS is not supported by the device. for 1.8";
  const std::vector<Case> cases{
      {0, 5566, 240, 240, "nothing"},  // Cancel, whatever was typed
      {1, 5567, 240, 240, "nothing"},  // another alert
      {2, 0, 0, 240, "nothing"},
      {0, 1, 0, 240, "nothing"},
      {1, 5566, 0, 240, invalid},  // empty or letters read as 0
      {1, 5566, 1, 240, invalid},
      {1, 5566, 2, 240, "apply 2"},
      {1, 5566, 240, 240, "apply 240"},
      {1, 5566, 241, 240, unsupported},
      {1, 5566, -5, 240, unsupported},  // widened with its sign: far above any maximum
      {1, 5566, 31, 30, unsupported},
      {2, 5566, 0, 240, "apply 240"},  // Auto Set ignores the text
      {2, 5566, 999, 30, "apply 30"},
      {2, 5566, 0, 1, unsupported},
      {3, 5566, 240, 240, "nothing"},  // no such button on the chooser
  };
  for (const Case& c : cases) {
    EXPECT_EQ(outcomeOf(decideAlertPress(c.button, c.tag, c.typed, c.maximum)), c.outcome)
        << "button " << c.button << ", tag " << c.tag << ", typed " << c.typed << ", maximum "
        << c.maximum;
  }
}

TEST(CameraScreenRules, OnlyAPositive32BitRateMakesATimescale) {
  EXPECT_EQ(frameRateTimescale(240), 240);
  EXPECT_EQ(frameRateTimescale(2147483647), 2147483647);
  EXPECT_EQ(frameRateTimescale(0), std::nullopt);
  EXPECT_EQ(frameRateTimescale(2147483648ULL), std::nullopt) << "would be negative";
  EXPECT_EQ(frameRateTimescale((1ULL << 32) + 120), std::nullopt) << "would be 120";
  EXPECT_EQ(frameRateTimescale(static_cast<std::uint64_t>(-5LL)), std::nullopt);
}

}  // namespace
}  // namespace quorvane

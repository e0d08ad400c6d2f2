#include "platform/CoreMedia/CoreMedia.h"
#include "port/CoreMedia/CMTimeRange.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "platform/Foundation/Foundation.h"
#include "platform/objc/Object.h"

namespace {

constexpr CMTime kPositiveInfinity{0, 1, kCMTimeFlags_Valid | kCMTimeFlags_PositiveInfinity, 0};
constexpr CMTime kNegativeInfinity{0, 1, kCMTimeFlags_Valid | kCMTimeFlags_NegativeInfinity, 0};

TEST(CMTimeCompare, ComparesExactlyAcrossTimescales) {
  EXPECT_EQ(CMTimeCompare(CMTimeMake(1, 240), CMTimeMake(2, 480)), 0);
  EXPECT_EQ(CMTimeCompare(CMTimeMake(1, 240), CMTimeMake(1, 120)), -1);
  EXPECT_EQ(CMTimeCompare(CMTimeMake(1001, 30000), CMTimeMake(1, 30)), 1);
  EXPECT_EQ(CMTimeCompare(CMTimeMake(-1, 2), CMTimeMake(0, 7)), -1);
  // Cross products beyond 64 bits.
  const CMTimeValue big = std::numeric_limits<CMTimeValue>::max();
  const CMTimeScale most = std::numeric_limits<CMTimeScale>::max();
  EXPECT_EQ(CMTimeCompare(CMTimeMake(big, most), CMTimeMake(big - 1, most)), 1);
  EXPECT_EQ(CMTimeCompare(CMTimeMake(big, most), CMTimeMake(big, most - 1)), -1);
}

TEST(CMTimeCompare, OrdersInvalidAndInfiniteTimes) {
  const CMTime invalid = CMTimeMake(1, 0);
  EXPECT_FALSE(CMTIME_IS_VALID(invalid));
  EXPECT_EQ(CMTimeCompare(invalid, kCMTimeInvalid), 0);
  EXPECT_EQ(CMTimeCompare(invalid, kPositiveInfinity), 1);
  EXPECT_EQ(CMTimeCompare(kPositiveInfinity, CMTimeMake(1LL << 62, 1)), 1);
  EXPECT_EQ(CMTimeCompare(kNegativeInfinity, CMTimeMake(-(1LL << 62), 1)), -1);
  EXPECT_EQ(CMTimeCompare(kPositiveInfinity, kPositiveInfinity), 0);
  // Marked valid but not made by CMTimeMake: a zero timescale must not divide or compare as 0.
  EXPECT_EQ(CMTimeCompare(CMTime{1, 0, kCMTimeFlags_Valid, 0}, kCMTimeInvalid), 0);
}

TEST(FormatDescription, CarriesItsDimensions) {
  auto description = qv::makeVideoFormatDescription({1280, 720});
  const CMVideoDimensions size = CMVideoFormatDescriptionGetDimensions(description);
  EXPECT_EQ(size.width, 1280);
  EXPECT_EQ(size.height, 720);
  EXPECT_EQ(qv::retainCount(reinterpret_cast<id>(description.get())), 1u);
}

TEST(FormatDescription, NilOrAnotherObjectHasNoDimensions) {
  const CMVideoDimensions none = CMVideoFormatDescriptionGetDimensions(nullptr);
  EXPECT_EQ(none.width, 0);
  EXPECT_EQ(none.height, 0);
  auto string = qv::makeString("not a format");
  const CMVideoDimensions other = CMVideoFormatDescriptionGetDimensions(
      reinterpret_cast<CMVideoFormatDescriptionRef>(string.get()));
  EXPECT_EQ(other.width, 0);
  EXPECT_EQ(other.height, 0);
}

TEST(CMTimeRange, SumsAndEndsKeepTheFinerTimescale) {
  const CMTime third = CMTimeMake(1, 3);
  const CMTime frame = CMTimeMake(1, 120);
  const CMTime sum = CMTimeAdd(third, frame);
  EXPECT_EQ(sum.timescale, 120);
  EXPECT_EQ(sum.value, 41);
  EXPECT_EQ(CMTimeCompare(CMTimeRangeGetEnd(CMTimeRangeMake(frame, frame)), CMTimeMake(2, 120)), 0);
  EXPECT_FALSE(CMTIME_IS_VALID(CMTimeAdd(kCMTimeInvalid, frame)));
  EXPECT_FALSE(CMTIME_IS_VALID(CMTimeRangeGetEnd(CMTimeRangeMake(frame, kCMTimeInvalid))));
}

TEST(CMTimeRange, SecondsBecomeTheNearestTimeOrAnInvalidOne) {
  const CMTime quarter = CMTimeMakeWithSeconds(0.25, 600);
  EXPECT_EQ(quarter.value, 150);
  EXPECT_EQ(quarter.timescale, 600);
  EXPECT_EQ(CMTimeMakeWithSeconds(1.0 / 3, 600).value, 200) << "rounded";
  EXPECT_FALSE(CMTIME_IS_VALID(CMTimeMakeWithSeconds(1, 0)));
  EXPECT_FALSE(
      CMTIME_IS_VALID(CMTimeMakeWithSeconds(std::numeric_limits<double>::quiet_NaN(), 600)));
  EXPECT_FALSE(CMTIME_IS_VALID(CMTimeMakeWithSeconds(1e300, 600))) << "beyond a 64-bit value";
}

}  // namespace

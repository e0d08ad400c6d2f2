#include "capture/FrameRateChoice.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvane {
namespace {

// "format.range", or "none".
std::string best(const std::vector<std::vector<double>>& rates) {
  const auto position = bestRangePosition(rates);
  return position ? std::to_string(position->format) + "." + std::to_string(position->range)
                  : "none";
}

TEST(BestRange, FirstStrictlyGreatestRate) {
  EXPECT_EQ(best({}), "none");
  EXPECT_EQ(best({{}, {}}), "none");
  EXPECT_EQ(best({{0.0}, {-5.0}}), "none") << "nothing above 0";
  EXPECT_EQ(best({{30}, {30, 60, 240}, {30, 120}}), "1.2");
  EXPECT_EQ(best({{30, 240}, {240}}), "0.1") << "ties keep the earliest format";
  EXPECT_EQ(best({{240, 240}}), "0.0") << "ties keep the earliest range";
  EXPECT_EQ(best({{239.999}, {239.998}}), "0.0");
  EXPECT_EQ(best({{NAN, 30}, {NAN}}), "0.1") << "a NaN rate is never the best";
}

TEST(Timescale, ChangesOnlyAbove60InsideTheWindow) {
  EXPECT_EQ(frameTimescale(false, 240, 120), 240) << "outside the configuration";
  EXPECT_EQ(frameTimescale(true, 60, 120), 60);
  EXPECT_EQ(frameTimescale(true, 61, 120), 120);
  EXPECT_EQ(frameTimescale(true, 120, 240), 240);
  EXPECT_EQ(frameTimescale(true, 240, 240), 240);
  EXPECT_EQ(frameTimescale(true, 600, 30), 30) << "slower than the stock rate too";
  EXPECT_EQ(frameTimescale(true, -600, 30), -600);
}

TEST(Timescale, NeverMadeZeroOrNegative) {
  EXPECT_EQ(frameTimescale(true, 240, 0), 240);
  EXPECT_EQ(frameTimescale(true, 240, std::uint64_t{1} << 32), 240) << "converts to 0";
  EXPECT_EQ(frameTimescale(true, 240, std::uint64_t{1} << 31), 240) << "converts to -2^31";
  EXPECT_EQ(frameTimescale(true, 240, (std::uint64_t{1} << 32) + 100), 100) << "modulo 2^32";
}

FormatRecord video(int width, int height, std::vector<double> rates) {
  return {true, std::move(rates), width, height};
}
FormatRecord other(int width, int height, std::vector<double> rates) {
  return {false, std::move(rates), width, height};
}

// The chooser's index as text, or "defer".
std::string choice(double rate, const std::vector<FormatRecord>& formats) {
  const auto index = chooseFormat(rate, formats);
  return index ? std::to_string(*index) : "defer";
}

TEST(FormatChoice, AboveSixtyTheReplacedImplementationDecides) {
  const std::vector<FormatRecord> formats{video(1280, 720, {30, 60, 240})};
  EXPECT_EQ(choice(61, formats), "defer");
  EXPECT_EQ(choice(240, formats), "defer");
  EXPECT_EQ(choice(60, formats), "0");
}

TEST(FormatChoice, TheBestVideoFormatWhenItsFirstRangePassesThirty) {
  // A device whose video formats top out at 120 and 240: the first to offer 240.
  const std::vector<FormatRecord> formats{video(640, 480, {30}), video(1280, 720, {120}),
                                          video(1280, 720, {240}), video(1280, 720, {240}),
                                          video(1920, 1080, {60})};
  EXPECT_EQ(choice(60, formats), "2");
  EXPECT_EQ(choice(0, formats), "2");
}

TEST(FormatChoice, TheFirstRangeDecidesNotTheBestRange) {
  // The best format reaches 240, but its first range only 30: the last 1280×720 video format.
  const std::vector<FormatRecord> formats{video(1280, 720, {30, 240}), video(1920, 1080, {30, 60}),
                                          video(1280, 720, {30}), video(3840, 2160, {30})};
  EXPECT_EQ(choice(30, formats), "2");
  // A first range of 30.5 passes.
  EXPECT_EQ(choice(30, {video(1280, 720, {30.5, 240}), video(1280, 720, {30})}), "0");
}

TEST(FormatChoice, WithoutAnHDVideoFormatTheBestStays) {
  const std::vector<FormatRecord> formats{video(640, 480, {30}), other(1280, 720, {30}),
                                          video(1920, 1080, {30})};
  EXPECT_EQ(choice(30, formats), "0") << "ties keep the earliest; the 720p one is not video";
}

TEST(FormatChoice, NonVideoFormatsAreSkipped) {
  const std::vector<FormatRecord> formats{other(1280, 720, {960}), video(1920, 1080, {60}),
                                          video(1280, 720, {120})};
  EXPECT_EQ(choice(60, formats), "2");
}

TEST(FormatChoice, NothingToInspectDefers) {
  EXPECT_EQ(choice(30, {}), "defer") << "no formats";
  EXPECT_EQ(choice(30, {video(1280, 720, {}), video(1920, 1080, {})}), "defer")
      << "the chosen format has no ranges";
  EXPECT_EQ(choice(30, {other(640, 480, {}), video(1280, 720, {30})}), "1");
}

}  // namespace
}  // namespace quorvane

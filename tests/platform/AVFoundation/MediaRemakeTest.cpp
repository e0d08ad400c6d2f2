// Remakes: 30 frames per second, the slow-motion section stretched by 1/rate with every one of
// its frames kept, the rest at normal speed, the sound along the same timeline; a source that
// cannot be read fails cleanly and leaves no file.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "platform/AVFoundation/Media.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/SandboxRoot.h"

namespace qv::media {
namespace {

class Remakes : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return root_.hostPath("/" + name); }

  test::SandboxRoot root_;
};

TEST(RemakeTimeline, StretchesOnlyTheSectionAndMapsBack) {
  const RemakeTimeline timeline({1, 2, 0.25, 30}, 3);
  EXPECT_DOUBLE_EQ(timeline.remakeDuration(), 6) << "2 s + 4 s";
  EXPECT_DOUBLE_EQ(timeline.toRemake(0.5), 0.5);
  EXPECT_DOUBLE_EQ(timeline.toRemake(1.5), 3);
  EXPECT_DOUBLE_EQ(timeline.toRemake(2.5), 5.5);
  EXPECT_DOUBLE_EQ(timeline.toSource(3), 1.5);
  EXPECT_DOUBLE_EQ(timeline.toSource(5.5), 2.5);
  for (const RemakeRequest& still :
       {RemakeRequest{1, 2, 1, 30}, RemakeRequest{1, 2, 0, 30}, RemakeRequest{2, 1, 0.5, 30},
        RemakeRequest{1, 2, std::nan(""), 30}}) {
    EXPECT_DOUBLE_EQ(RemakeTimeline(still, 3).remakeDuration(), 3) << "nothing slowed";
  }
  EXPECT_DOUBLE_EQ(RemakeTimeline({2, 9, 0.5, 30}, 3).remakeDuration(), 4) << "clamped";
}

TEST_F(Remakes, TheSectionKeepsEveryFrameAtThirtyAndTheSoundFollows) {
  // 48 frames at 120 fps; the section [0.1, 0.3) holds frames 12 to 35 and lasts 0.8 s at 0.25.
  writeClip(path("slow.mov"), {120, 0.4, 160, 90});
  ASSERT_EQ(remakeMedia(path("slow.mov"), path("tmp/remake.mov"), {0.1, 0.3, 0.25, 30}), "");
  const MediaInfo info = readMediaInfo(path("tmp/remake.mov"));
  ASSERT_EQ(info.tracks.size(), 2u);
  EXPECT_EQ(info.tracks[0].nominalFrameRate, 30.0f);
  EXPECT_EQ(info.tracks[0].frames, 30);
  EXPECT_NEAR(CMTimeGetSeconds(info.tracks[0].duration), 1.0, 1e-6);
  EXPECT_EQ(info.tracks[1].mediaType, "soun");
  EXPECT_NEAR(CMTimeGetSeconds(info.tracks[1].duration), 1.0, 0.05);

  const auto source = test::decodeLuma(path("slow.mov"));
  const auto remake = test::decodeLuma(path("tmp/remake.mov"));
  ASSERT_EQ(source.size(), 48u);
  ASSERT_EQ(remake.size(), 30u);
  // Each remade frame is closest to the source frame the timeline places there, among its
  // neighbours (the pattern repeats every 16 frames, so only neighbours tell them apart).
  const RemakeTimeline timeline({0.1, 0.3, 0.25, 30}, 0.4);
  for (int i = 0; i < 30; ++i) {
    const int expected = static_cast<int>(std::floor(timeline.toSource(i / 30.0) * 120 + 1e-6));
    int best = -1;
    double nearest = 1e9;
    for (int j = std::max(0, expected - 3); j <= std::min(47, expected + 3); ++j) {
      const double distance = test::lumaDistance(remake[i], source[j]);
      if (distance < nearest) {
        nearest = distance;
        best = j;
      }
    }
    EXPECT_EQ(best, expected) << "remade frame " << i;
    if (i >= 3 && i < 27) {
      EXPECT_EQ(expected, 12 + (i - 3)) << "the section, frame by frame";
    }
  }
}

TEST_F(Remakes, ACorruptOrMissingSourceFailsAndLeavesNoFile) {
  writeClip(path("good.mov"), {120, 0.25, 64, 48});
  test::writeScrambledCopy(path("good.mov"), path("bad.mov"));
  for (const char* source : {"bad.mov", "missing.mov"}) {
    const std::string failure = remakeMedia(path(source), path("out/remake.mov"), {});
    EXPECT_NE(failure, "") << source;
    EXPECT_FALSE(std::filesystem::exists(path("out/remake.mov"))) << source;
  }
  test::writeAudioOnlyCopy(path("good.mov"), path("sound.mov"));
  EXPECT_NE(remakeMedia(path("sound.mov"), path("out/remake.mov"), {}).find("has no video"),
            std::string::npos);
  EXPECT_NE(remakeMedia(path("good.mov"), path("out/remake.mov"), {0, 0, 1, 0}), "")
      << "no frame rate";
  EXPECT_FALSE(std::filesystem::exists(path("out/remake.mov")));
}

}  // namespace
}  // namespace qv::media

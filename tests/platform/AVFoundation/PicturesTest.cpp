// The filmed scene and the pictures decoded from clips: the same instant gives the same picture
// and another instant another; a clip's picture at an instant is the frame filmed then; a clip
// written again under its name is read again; a file that is no movie gives no picture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/AVFoundation/Media.h"
#include "platform/AVFoundation/Scene.h"
#include "platform/AVFoundation/VideoPictures.h"
#include "platform/CoreGraphics/Bitmap.h"
#include "tests/support/SandboxRoot.h"

namespace qv::media {
namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 90;

Bitmap sceneAt(double seconds, std::int64_t number = 0) {
  Bitmap image(kWidth, kHeight);
  drawScene(image.context(), {seconds, number, kWidth, kHeight});
  return image;
}

// Mean difference of the channels of two images of one size.
double distance(const Bitmap& a, const Bitmap& b) {
  double total = 0;
  for (int y = 0; y < a.height(); ++y) {
    for (int x = 0; x < a.width(); ++x) {
      const Pixel p = a.pixel(x, y);
      const Pixel q = b.pixel(x, y);
      total += std::abs(p.red - q.red) + std::abs(p.green - q.green) + std::abs(p.blue - q.blue);
    }
  }
  return total / (3.0 * a.width() * a.height());
}

Bitmap drawn(const Picture& picture) {
  Bitmap image(picture.width, picture.height);
  drawPicture(image.context(), picture, CGRectMake(0, 0, picture.width, picture.height));
  return image;
}

TEST(Scene, TheSameInstantGivesTheSamePictureAndAnotherInstantAnother) {
  EXPECT_EQ(distance(sceneAt(1.25, 300), sceneAt(1.25, 300)), 0);
  EXPECT_GT(distance(sceneAt(1.25, 300), sceneAt(1.25 + 1.0 / 240, 300)), 0.2)
      << "a 240 fps frame later the ball has moved";
  EXPECT_GT(distance(sceneAt(1.25, 300), sceneAt(1.25, 301)), 0) << "the number differs";
}

TEST(Scene, ACameraTakesTheLatestFrameOfItsRate) {
  const SceneShot shot = shotAt(0.5 + 0.5 / 240, 240, kWidth, kHeight);
  EXPECT_EQ(shot.number, 120);
  EXPECT_DOUBLE_EQ(shot.seconds, 0.5);
  EXPECT_EQ(shotAt(1.0 / 3, 30, kWidth, kHeight).number, 10) << "a whole frame in is that frame";
}

class Pictures : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return root_.hostPath("/" + name); }

  test::SandboxRoot root_;
};

TEST_F(Pictures, AnInstantShowsTheFrameFilmedThenScaledToTheBox) {
  ClipSpec clip{120, 0.25, kWidth, kHeight};
  clip.sceneStart = 2;
  writeClip(path("clip.mov"), clip);
  // 0.1 s in lies inside frame 12, filmed at 2.1 s of the scene.
  const auto picture = pictureAt(path("clip.mov"), 0.1 + 0.2 / 120, 320, 400, PictureFit::inside);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->frame, 12);
  EXPECT_EQ(picture->width, 320);
  EXPECT_EQ(picture->height, 180);
  const auto small = pictureAt(path("clip.mov"), 0.1, kWidth, kHeight, PictureFit::inside);
  ASSERT_NE(small, nullptr);
  const Bitmap shown = drawn(*small);
  const double filmed = distance(shown, sceneAt(2.1, 12));
  EXPECT_LT(filmed, distance(shown, sceneAt(2.1 - 1.0 / 120, 11)));
  EXPECT_LT(filmed, distance(shown, sceneAt(2.1 + 1.0 / 120, 13)));
  EXPECT_EQ(pictureAt(path("clip.mov"), 9, 64, 64, PictureFit::filling)->frame, 29)
      << "after the end the last frame shows";
}

TEST_F(Pictures, AClipWrittenAgainIsReadAgainAndANonMovieHasNoPicture) {
  writeClip(path("clip.mov"), {30, 0.2, 64, 48});
  ASSERT_NE(pictureAt(path("clip.mov"), 0, 64, 48, PictureFit::inside), nullptr);
  std::ofstream(path("clip.mov"), std::ios::trunc) << "not a movie";
  EXPECT_EQ(pictureAt(path("clip.mov"), 0, 64, 48, PictureFit::inside), nullptr);
  writeClip(path("clip.mov"), {30, 0.5, 64, 48});
  const auto picture = pictureAt(path("clip.mov"), 0.45, 64, 48, PictureFit::inside);
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->frame, 13);
  EXPECT_EQ(pictureAt(path("missing.mov"), 0, 64, 48, PictureFit::inside), nullptr);
}

}  // namespace
}  // namespace qv::media

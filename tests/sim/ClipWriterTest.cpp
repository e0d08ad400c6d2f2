// Clips in the album are real files that libavformat reads back with their rate, length and size.
#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "sim/ClipWriter.h"

namespace qv::sim {
namespace {

struct ReadBack {
  AVRational frameRate;
  double seconds;
  int width;
  int height;
};

ReadBack readBack(const std::filesystem::path& file) {
  AVFormatContext* context = nullptr;
  EXPECT_EQ(avformat_open_input(&context, file.c_str(), nullptr, nullptr), 0);
  EXPECT_GE(avformat_find_stream_info(context, nullptr), 0);
  const AVStream* stream = context->streams[0];
  const ReadBack read{stream->avg_frame_rate, context->duration / double(AV_TIME_BASE),
                      stream->codecpar->width, stream->codecpar->height};
  avformat_close_input(&context);
  return read;
}

class ClipWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "quorvane-clip-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::filesystem::path folder_;
};

TEST_F(ClipWriterTest, AWholeRateClipReadsBackAtItsRateLengthAndSize) {
  writeClip(folder_ / "IMG_0001.MOV", {"IMG_0001.MOV", 240, 0.5, 320, 240});
  const ReadBack read = readBack(folder_ / "IMG_0001.MOV");
  EXPECT_EQ(read.frameRate.num * 1, read.frameRate.den * 240);
  EXPECT_NEAR(read.seconds, 0.5, 0.01);
  EXPECT_EQ(read.width, 320);
  EXPECT_EQ(read.height, 240);
}

TEST_F(ClipWriterTest, AnNtscRateStaysExactBeyondTheEncodersTimeBaseLimit) {
  writeClip(folder_ / "slow.mov", {"slow.mov", 119.88, 1, 640, 480});
  const ReadBack read = readBack(folder_ / "slow.mov");
  EXPECT_EQ(static_cast<long long>(read.frameRate.num) * 1001,
            static_cast<long long>(read.frameRate.den) * 120000);
  EXPECT_NEAR(read.seconds, 1.0, 0.01);
}

TEST_F(ClipWriterTest, AnAlbumThatCannotBeMadeIsAClearError) {
  std::ofstream(folder_ / "album") << "a file where the album's folder should be";
  try {
    writeClip(folder_ / "album" / "x.mov", {"x.mov", 30, 1, 64, 64});
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("cannot write"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace qv::sim

// Real media: clips written as the camera records them read back with their rate, length and
// tracks; unreadable files read as nothing; exports write real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <string>

#include "platform/AVFoundation/AVFoundation.h"
#include "platform/AVFoundation/Media.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Seams.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/SandboxRoot.h"

namespace qv {
namespace {

using media::ClipSpec;
using media::MediaInfo;
using media::readMediaInfo;

double seconds(CMTime time) {
  return CMTimeGetSeconds(time);
}

class MediaFile : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return root_.hostPath("/" + name); }

  // A clip in the root, once per test.
  std::string clip(const std::string& name, const ClipSpec& spec) const {
    media::writeClip(path(name), spec);
    return path(name);
  }

  id asset(const std::string& name) const {
    return send<id>(
        objc_getClass("AVAsset"), "assetWithURL:"_sel,
        send<id>(objc_getClass("NSURL"), "fileURLWithPath:"_sel, makeString("/" + name).get()));
  }

  test::SandboxRoot root_;
  AutoreleasePool pool_;
};

TEST_F(MediaFile, AClipReadsBackWithItsRateLengthSizeAndSilentSound) {
  const MediaInfo info = readMediaInfo(clip("IMG_0001.MOV", {240, 0.5, 320, 240}));
  ASSERT_EQ(info.tracks.size(), 2u);
  EXPECT_EQ(info.tracks[0].mediaType, "vide");
  EXPECT_EQ(info.tracks[0].nominalFrameRate, 240.0f);
  EXPECT_EQ(info.tracks[0].frames, 120);
  EXPECT_EQ(info.tracks[0].width, 320);
  EXPECT_EQ(info.tracks[0].height, 240);
  EXPECT_EQ(info.tracks[1].mediaType, "soun");
  EXPECT_NEAR(seconds(info.duration), 0.5, 0.03);
  EXPECT_NEAR(seconds(info.tracks[0].duration), 0.5, 1e-9) << "exact for the video";
}

TEST_F(MediaFile, AnNtscRateStaysBelowTheWholeRate) {
  const MediaInfo info = readMediaInfo(clip("slow.mov", {119.88, 0.25, 64, 48, false}));
  ASSERT_EQ(info.tracks.size(), 1u) << "no sound asked for";
  EXPECT_EQ(info.tracks[0].nominalFrameRate, static_cast<float>(120000.0 / 1001.0));
  EXPECT_LT(info.tracks[0].nominalFrameRate, 120.0f);
  EXPECT_EQ(info.tracks[0].frames, 30);
}

TEST_F(MediaFile, AnAlbumThatCannotBeMadeIsAClearError) {
  root_.writeFile("/album", "a file where the album's folder should be");
  try {
    media::writeClip(path("album/x.mov"), {30, 0.1, 64, 64});
    ADD_FAILURE() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("cannot"), std::string::npos) << e.what();
  }
}

TEST_F(MediaFile, UnreadableFilesHoldNothingAndLibavSpeaksOnlyAsADiagnostic) {
  std::vector<std::string> said;
  setDiagnosticSink([&said](const std::string& line) { said.push_back(line); });
  clearProcessLog();
  const std::string good = clip("good.mov", {30, 0.5, 64, 48});
  test::writeTruncatedCopy(good, path("truncated.mov"), 0.6);
  test::writeScrambledCopy(good, path("corrupt.mov"));
  root_.writeFile("/empty.mov", "");
  std::filesystem::create_directories(path("folder.mov"));
  for (const char* name :
       {"missing.mov", "empty.mov", "truncated.mov", "corrupt.mov", "folder.mov"}) {
    const MediaInfo info = readMediaInfo(path(name));
    EXPECT_TRUE(info.tracks.empty()) << name;
    EXPECT_EQ(CMTimeCompare(info.duration, kCMTimeZero), 0) << name;
    id read = asset(name);
    EXPECT_NE(read, nil) << name;
    EXPECT_EQ(CMTimeCompare(send<CMTime>(read, "duration"_sel), kCMTimeZero), 0) << name;
    EXPECT_TRUE(arrayElements(send<id>(read, "tracks"_sel)).empty()) << name;
  }
  setDiagnosticSink({});
  EXPECT_EQ(processLog(), std::vector<std::string>{});
  ASSERT_FALSE(said.empty());
  EXPECT_EQ(said.front(), "[mov,mp4,m4a,3gp,3g2,mj2] moov atom not found") << "no address";
}

TEST_F(MediaFile, AssetsAnswerThroughTheirMessages) {
  clip("IMG_0002.MOV", {120, 0.25, 64, 48});
  test::writeAudioOnlyCopy(path("IMG_0002.MOV"), path("sound.mov"));
  id video = asset("IMG_0002.MOV");
  EXPECT_NEAR(seconds(send<CMTime>(video, "duration"_sel)), 0.25, 0.03);
  const std::vector<id> tracks =
      arrayElements(send<id>(video, "tracksWithMediaType:"_sel, AVMediaTypeVideo));
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(send<float>(tracks[0], "nominalFrameRate"_sel), 120.0f);
  EXPECT_EQ(utf8(send<id>(tracks[0], "mediaType"_sel)), "vide");
  EXPECT_EQ(utf8(send<id>(send<id>(video, "URL"_sel), "path"_sel)), "/IMG_0002.MOV");

  id sound = asset("sound.mov");
  EXPECT_TRUE(arrayElements(send<id>(sound, "tracksWithMediaType:"_sel, AVMediaTypeVideo)).empty());
  EXPECT_EQ(arrayElements(send<id>(sound, "tracksWithMediaType:"_sel, AVMediaTypeAudio)).size(),
            1u);
  EXPECT_EQ(send<id>(objc_getClass("AVAsset"), "assetWithURL:"_sel, nil), nil);
}

// Export sessions.

class Export : public MediaFile {
 protected:
  Ref<> session(const std::string& source, id preset) const {
    return adopt(send<id>(send<id>(objc_getClass("AVAssetExportSession"), "alloc"_sel),
                          "initWithAsset:presetName:"_sel, asset(source), preset));
  }

  long run(id exportSession, const std::string& output) const {
    send(exportSession, "setOutputURL:"_sel,
         send<id>(objc_getClass("NSURL"), "fileURLWithPath:"_sel, makeString("/" + output).get()));
    std::promise<void> ended;
    send(exportSession, "exportAsynchronouslyWithCompletionHandler:"_sel,
         std::function<void()>([&ended] { ended.set_value(); }));
    ended.get_future().wait();
    return send<long>(exportSession, "status"_sel);
  }
};

TEST_F(Export, PassthroughCopiesEveryTrackAsItIs) {
  clip("in.mov", {120, 0.5, 160, 120});
  Ref<> copy = session("in.mov", AVAssetExportPresetPassthrough);
  send(copy.get(), "setMinVideoFrameDuration:"_sel, CMTimeMake(1, 30));
  ASSERT_EQ(run(copy, "out.mov"), AVAssetExportSessionStatusCompleted) << exportFailure(copy);
  const MediaInfo info = readMediaInfo(path("out.mov"));
  ASSERT_EQ(info.tracks.size(), 2u);
  EXPECT_EQ(info.tracks[0].nominalFrameRate, 120.0f) << "passthrough ignores the frame duration";
  EXPECT_EQ(info.tracks[0].frames, 60);
  EXPECT_EQ(send<float>(copy.get(), "progress"_sel), 1.0f);
}

TEST_F(Export, AReencodeFitsThePresetAndTheMinimumFrameDuration) {
  clip("in.mov", {120, 0.5, 640, 480});
  Ref<> medium = session("in.mov", AVAssetExportPresetMediumQuality);
  send(medium.get(), "setMinVideoFrameDuration:"_sel, CMTimeMake(1, 30));
  ASSERT_EQ(run(medium, "medium.mov"), AVAssetExportSessionStatusCompleted)
      << exportFailure(medium);
  MediaInfo info = readMediaInfo(path("medium.mov"));
  ASSERT_EQ(info.tracks.size(), 2u) << "the sound is kept";
  EXPECT_EQ(info.tracks[0].width, 480);
  EXPECT_EQ(info.tracks[0].height, 360);
  EXPECT_EQ(info.tracks[0].nominalFrameRate, 30.0f);
  EXPECT_EQ(info.tracks[0].frames, 15);

  Ref<> highest = session("in.mov", AVAssetExportPresetHighestQuality);
  ASSERT_EQ(run(highest, "highest.mov"), AVAssetExportSessionStatusCompleted);
  info = readMediaInfo(path("highest.mov"));
  EXPECT_EQ(info.tracks[0].width, 640);
  EXPECT_EQ(info.tracks[0].nominalFrameRate, 120.0f) << "no minimum: every frame";
  EXPECT_EQ(info.tracks[0].frames, 60);
}

TEST_F(Export, WhatTheSessionRefuses) {
  clip("in.mov", {30, 0.2, 64, 48});
  EXPECT_EQ(session("in.mov", "AVAssetExportPresetNoSuchPreset"_ns).get(), nil);
  EXPECT_EQ(session("in.mov", nil).get(), nil);
  Ref<> copy = session("in.mov", AVAssetExportPresetPassthrough);
  EXPECT_THROW(send(copy.get(), "setMinVideoFrameDuration:"_sel, CMTimeMake(1, 0)), ObjCException)
      << "an invalid time";
  EXPECT_FALSE(CMTIME_IS_VALID(send<CMTime>(copy.get(), "minVideoFrameDuration"_sel)));

  root_.writeFile("/taken.mov", "already here");
  EXPECT_EQ(run(copy, "taken.mov"), AVAssetExportSessionStatusFailed);
  EXPECT_NE(exportFailure(copy), "");

  test::writeScrambledCopy(path("in.mov"), path("corrupt.mov"));
  Ref<> broken = session("corrupt.mov", AVAssetExportPresetHighestQuality);
  EXPECT_EQ(run(broken, "never.mov"), AVAssetExportSessionStatusFailed);
  EXPECT_FALSE(std::filesystem::exists(path("never.mov"))) << "no half-written file";

  // Regression: a file cut after its header exported its first frames and completed.
  test::writeTruncatedCopy(path("in.mov"), path("cut.mov"), 0.6);
  for (id preset : {AVAssetExportPresetPassthrough, AVAssetExportPresetHighestQuality}) {
    Ref<> cut = session("cut.mov", preset);
    EXPECT_EQ(run(cut, "cut-out.mov"), AVAssetExportSessionStatusFailed);
    EXPECT_EQ(exportFailure(cut), "cannot read /cut.mov: the file is not a readable movie")
        << "the asset's error, with the device's path";
    EXPECT_FALSE(std::filesystem::exists(path("cut-out.mov")));
  }
}

// A remake at the source's size hands the decoded pictures on without the scaler.
TEST_F(MediaFile, ARemakeStretchesItsSectionOnAFixedRateAtTheSourceSize) {
  clip("in.mov", {120, 1, 64, 48});
  const media::RemakeRequest request{0.2, 0.4, 0.25, 30};
  ASSERT_EQ(media::remakeMedia(path("in.mov"), path("out.mov"), request), "");
  const MediaInfo info = readMediaInfo(path("out.mov"));
  ASSERT_EQ(info.tracks.size(), 2u) << "the sound follows";
  EXPECT_EQ(info.tracks[0].width, 64);
  EXPECT_EQ(info.tracks[0].height, 48);
  EXPECT_EQ(info.tracks[0].nominalFrameRate, 30.0f);
  EXPECT_EQ(info.tracks[0].frames, 48) << "0.2 s, the section four times as long, then 0.6 s";
  EXPECT_NEAR(CMTimeGetSeconds(info.tracks[1].duration), 1.6, 0.05);
}

}  // namespace
}  // namespace qv

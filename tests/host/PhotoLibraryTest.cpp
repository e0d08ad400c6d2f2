// The stock media hosts: recording into the album, the photo library's store shared by the
// apps, and the media classes' defaults.
#include <gtest/gtest.h>

#include <filesystem>

#include "host/ios8/MediaClasses.h"
#include "host/ios8/PhotoLibrary.h"
#include "host/ios8/PhotosActions.h"
#include "host/ios8/PhotosUI.h"
#include "host/ios8/VideoRecording.h"
#include "platform/AVFoundation/Media.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/System/FileSystem.h"
#include "platform/dispatch/Clock.h"
#include "platform/objc/AutoreleasePool.h"
#include "port/CoreGraphics/CGGeometry.h"
#include "port/CoreMedia/CMTimeRange.h"
#include "tests/host/CameraHost.h"
#include "tests/support/Forked.h"
#include "tests/support/SandboxRoot.h"

namespace qv {
namespace {

void registerMediaHosts() {
  host::registerMediaClassesIOS8();
  host::registerPhotoLibrary(host::HostGeneration::iOS8);
  host::registerPhotosUI(host::HostGeneration::iOS8);
}

media::TrackInfo videoOf(const std::string& devicePath) {
  const media::MediaInfo info = media::readMediaInfo(resolvePath(devicePath));
  return info.tracks.empty() ? media::TrackInfo{} : info.tracks.front();
}

TEST(PhotoLibrary, ARecordingIsARealClipOfTheActiveFormatImportedIntoTheLibrary) {
  test::SandboxRoot root;
  test::runForked([] {
    AutoreleasePool pool;
    test::startCameraHost("iPhone 6");
    registerMediaHosts();
    id controller = test::captureController();
    send(controller, "setCameraMode:device:"_sel, long{2}, long{0});  // 720p at 240 fps
    send(controller, "startVideoCapture"_sel);
    EXPECT_TRUE(send<BOOL>(controller, "isCapturingVideo"_sel));
    Clock::advanceTo(Clock::now() + Clock::toNanoseconds(0.5));
    send(controller, "stopVideoCapture"_sel);
    EXPECT_EQ(host::lastRecordingPath(), "/var/mobile/Media/DCIM/100APPLE/IMG_0001.MOV");
    const media::TrackInfo video = videoOf(host::lastRecordingPath());
    EXPECT_EQ(video.nominalFrameRate, 240.0f);
    EXPECT_EQ(video.frames, 120) << "half a second of virtual time";
    EXPECT_EQ(video.width, 1280);
    id asset = host::libraryAsset("IMG_0001.MOV");
    ASSERT_NE(asset, nil);
    EXPECT_EQ(send<int>(asset, "kindSubtype"_sel), 101) << "240 fps is slow motion";

    send(controller, "startVideoCapture"_sel);
    send(controller, "stopVideoCapture"_sel);
    EXPECT_EQ(host::lastRecordingPath(), "/var/mobile/Media/DCIM/100APPLE/IMG_0002.MOV");
    EXPECT_EQ(videoOf(host::lastRecordingPath()).frames, 1) << "at least one frame";
  });
}

TEST(PhotoLibrary, ARecordingThatCannotBeWrittenIsLoggedAndLeftOut) {
  test::SandboxRoot root;
  root.writeFile("/var/mobile/Media/DCIM/100APPLE", "a file where the album should be");
  test::runForked([] {
    test::startCameraHost("iPhone 6");
    registerMediaHosts();
    send(test::captureController(), "startVideoCapture"_sel);
    send(test::captureController(), "stopVideoCapture"_sel);
    EXPECT_EQ(host::lastRecordingPath(), "");
    ASSERT_FALSE(processLog().empty());
    EXPECT_NE(processLog().back().find("the recording could not be saved"), std::string::npos);
  });
}

TEST(PhotoLibrary, TheStoreKeepsWhatEachAppProcessLearnt) {
  test::SandboxRoot root;
  media::writeClip(root.hostPath("/var/mobile/Media/DCIM/100APPLE/IMG_0001.MOV"), {30, 1, 64, 48});
  test::runForked([] {
    AutoreleasePool pool;
    registerMediaHosts();
    const std::vector<id> assets = host::libraryAssets();
    ASSERT_EQ(assets.size(), 1u) << "imported from the album";
    EXPECT_EQ(send<int>(assets[0], "kindSubtype"_sel), 0);
    Ref<> view = adopt(send<id>(send<id>(objc_getClass("PLVideoView"), "alloc"_sel),
                                "initWithFrame:"_sel, CGRectMake(0, 0, 320, 568)));
    send(view.get(), "setVideoCameraImage:"_sel, assets[0]);
    EXPECT_NE(host::editSlowMotion(view, 0.2, 0.6), "") << "a plain video has no editor";
    send(assets[0], "setKindSubtype:"_sel, 101);
    EXPECT_EQ(host::editSlowMotion(view, 0.2, 0.6), "");
    EXPECT_NE(host::editSlowMotion(view, 0.5, 1.5), "") << "beyond the clip";
  });
  test::runForked([] {
    AutoreleasePool pool;
    registerMediaHosts();
    id asset = host::libraryAsset("IMG_0001.MOV");
    ASSERT_NE(asset, nil);
    EXPECT_EQ(send<int>(asset, "kindSubtype"_sel), 0)
        << "the edit's reading of the file set the stock subtype again";
    id adjustments = send<id>(asset, "videoAdjustments"_sel);
    ASSERT_NE(adjustments, nil) << "the edit is kept";
    const CMTimeRange range = send<CMTimeRange>(adjustments, "slowMotionTimeRange"_sel);
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(range.start), 0.2);
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(CMTimeRangeGetEnd(range)), 0.6);
    EXPECT_EQ(send<float>(adjustments, "slowMotionRate"_sel), 1.0f) << "30 fps plays at 1";
  });
}

TEST(PhotoLibrary, TheMediaClassesStockDefaults) {
  test::runForked([] {
    registerMediaHosts();
    Class adjustments = objc_getClass("PFVideoAdjustments");
    const CMTimeRange middle = send<CMTimeRange>(
        adjustments, "defaultSlowMotionTimeRangeForDuration:"_sel, CMTimeMake(3000, 1000));
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(middle.start), 0.75);
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(middle.duration), 1.5);
    const CMTimeRange none = send<CMTimeRange>(
        adjustments, "defaultSlowMotionTimeRangeForDuration:"_sel, kCMTimeInvalid);
    EXPECT_EQ(CMTimeCompare(none.duration, kCMTimeZero), 0);
    const auto rateFor = [&](float frameRate) {
      return send<float>(adjustments, "defaultSlowMotionRateForNominalFrameRate:"_sel, frameRate);
    };
    EXPECT_EQ(rateFor(120), 0.25f);
    EXPECT_EQ(rateFor(240), 0.125f);
    EXPECT_EQ(rateFor(30), 1.0f);
    EXPECT_EQ(rateFor(0), 1.0f) << "no rate, no slowing";
  });
}

}  // namespace
}  // namespace qv

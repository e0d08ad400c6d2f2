// The iOS 7 media hosts: no PhotosUI and no PF classes; the player fills a PLSlalomConfiguration
// with the stock values and follows what it then holds (so a replaced setter reaches the
// player); the asset keeps its edited section itself; PLSlalomUtilities exports as the iOS 8
// utilities do.
#include <gtest/gtest.h>

#include "host/ios7/SlalomClasses.h"
#include "host/ios8/PhotoLibrary.h"
#include "host/ios8/PhotosActions.h"
#include "host/ios8/PhotosUI.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/AVFoundation/Media.h"
#include "platform/Foundation/Foundation.h"
#include "platform/System/FileSystem.h"
#include "platform/objc/AutoreleasePool.h"
#include "port/CoreGraphics/CGGeometry.h"
#include "port/CoreMedia/CMTimeRange.h"
#include "tests/support/Forked.h"
#include "tests/support/SandboxRoot.h"

namespace qv {
namespace {

constexpr const char* kClip = "/var/mobile/Media/DCIM/100APPLE/IMG_0001.MOV";

void registerIOS7MediaHosts() {
  host::registerSlalomClassesIOS7();
  host::registerPhotoLibrary(host::HostGeneration::iOS7);
  host::registerPhotosUI(host::HostGeneration::iOS7);
}

Ref<> videoViewShowing(id asset) {
  Ref<> view = adopt(send<id>(send<id>(objc_getClass("PLVideoView"), "alloc"_sel),
                              "initWithFrame:"_sel, CGRectMake(0, 0, 320, 568)));
  send(view.get(), "setVideoCameraImage:"_sel, asset);
  return view;
}

IMP stockSetRate = nullptr;
void setHalfRate(id self, SEL selector, float) {
  invoke(stockSetRate, self, selector, 0.5f);
}

TEST(SlalomMedia, IOS7HoldsNoPhotosUIAndNoPFClasses) {
  test::runForked([] {
    registerIOS7MediaHosts();
    for (const char* name : {"PFSlowMotionUtilities", "PFSlowMotionConfiguration",
                             "PFVideoAdjustments", "PFVideoAVObjectBuilder", "PUVideoBannerView"}) {
      EXPECT_EQ(objc_getClass(name), Nil) << name;
    }
    EXPECT_FALSE(responds(asId(objc_getClass("UIImage")), "pu_PhotosUIImageNamed:"_sel));
    id asset = send<id>(objc_getClass("PLManagedAsset"), "new"_sel);
    EXPECT_FALSE(responds(asset, "videoAdjustments"_sel)) << "the section is the asset's own";
    EXPECT_TRUE(responds(asset, "setSlalomTimeRange:"_sel));
    release(asset);
  });
}

TEST(SlalomMedia, ThePlayerFollowsWhatTheConfigurationHoldsAfterItsSetters) {
  test::SandboxRoot root;
  media::writeClip(root.hostPath(kClip), {120, 2, 64, 48});
  test::runForked([] {
    AutoreleasePool pool;
    registerIOS7MediaHosts();
    id asset = host::libraryAsset("IMG_0001.MOV");
    ASSERT_NE(asset, nil);
    host::PlaybackPlan plan = host::playbackPlanOf(asset);
    EXPECT_TRUE(plan.slowMotion) << "120 fps is a slow-motion clip";
    EXPECT_DOUBLE_EQ(plan.slowStart, 0.5);
    EXPECT_DOUBLE_EQ(plan.slowEnd, 1.5);
    EXPECT_EQ(plan.rate, 0.25f) << "30 over 120";
    EXPECT_EQ(plan.volume, 0.3f);
    EXPECT_EQ(plan.rampVolume, 0.6f);
    EXPECT_DOUBLE_EQ(plan.playingTime, 5);

    Method setRate =
        class_getInstanceMethod(objc_getClass("PLSlalomConfiguration"), "setRate:"_sel);
    stockSetRate = method_setImplementation(setRate, toIMP(&setHalfRate));
    plan = host::playbackPlanOf(asset);
    EXPECT_EQ(plan.rate, 0.5f) << "what the replaced setter stored";
    EXPECT_DOUBLE_EQ(plan.playingTime, 3);

    send(asset, "setKindSubtype:"_sel, 0);
    plan = host::playbackPlanOf(asset);
    EXPECT_FALSE(plan.slowMotion) << "an ordinary video plays as it is";
    EXPECT_DOUBLE_EQ(plan.playingTime, 2);
  });
}

TEST(SlalomMedia, AnEditIsTheAssetsOwnSectionKeptInTheStore) {
  test::SandboxRoot root;
  media::writeClip(root.hostPath(kClip), {120, 2, 64, 48});
  test::runForked([] {
    AutoreleasePool pool;
    registerIOS7MediaHosts();
    id asset = host::libraryAsset("IMG_0001.MOV");
    ASSERT_NE(asset, nil);
    EXPECT_FALSE(send<BOOL>(asset, "hasAdjustments"_sel));
    EXPECT_EQ(host::editSlowMotion(videoViewShowing(asset), 0.25, 1.0), "");
  });
  test::runForked([] {
    AutoreleasePool pool;
    registerIOS7MediaHosts();
    id asset = host::libraryAsset("IMG_0001.MOV");
    ASSERT_NE(asset, nil);
    EXPECT_TRUE(send<BOOL>(asset, "hasAdjustments"_sel));
    const CMTimeRange section = send<CMTimeRange>(asset, "slalomTimeRange"_sel);
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(section.start), 0.25);
    EXPECT_DOUBLE_EQ(CMTimeGetSeconds(CMTimeRangeGetEnd(section)), 1.0);
    const host::PlaybackPlan plan = host::playbackPlanOf(asset);
    EXPECT_DOUBLE_EQ(plan.slowStart, 0.25);
    EXPECT_DOUBLE_EQ(plan.slowEnd, 1.0);
    EXPECT_EQ(plan.rate, 0.25f);
  });
}

TEST(SlalomMedia, SlalomUtilitiesExportAsTheStockUtilitiesDo) {
  test::SandboxRoot root;
  media::writeClip(root.hostPath(kClip), {120, 0.5, 64, 48});
  test::runForked([] {
    AutoreleasePool pool;
    registerIOS7MediaHosts();
    EXPECT_EQ(host::exportUtilitiesClass(), objc_getClass("PLSlalomUtilities"));
    const host::ExportResult result = host::exportVideo(
        videoViewShowing(host::libraryAsset("IMG_0001.MOV")), "AVAssetExportPresetMailMedium");
    EXPECT_EQ(result.presetAsked, "AVAssetExportPresetMailMedium") << "the preferred preset";
    EXPECT_EQ(CMTimeCompare(result.minFrameDuration, CMTimeMake(1, 30)), 0);
    EXPECT_EQ(result.status, AVAssetExportSessionStatusCompleted) << result.failure;
    const media::MediaInfo exported = media::readMediaInfo(resolvePath(result.outputPath));
    ASSERT_FALSE(exported.tracks.empty());
    EXPECT_EQ(exported.tracks.front().nominalFrameRate, 30.0f);
  });
}

}  // namespace
}  // namespace qv

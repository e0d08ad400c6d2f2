// The twelve media replacements in a host with the stock media, library and Photos UI classes,
// installed from a table of the tests' own, with the settings set directly.
#include "media/MediaHooks.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "core/Installation.h"
#include "core/Settings.h"
#include "host/ios8/MediaClasses.h"
#include "host/ios8/PhotoLibrary.h"
#include "host/ios8/PhotosUI.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/AVFoundation/Media.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/support/Forked.h"
#include "tests/support/MediaFiles.h"
#include "tests/support/SandboxRoot.h"

namespace quorvane {
namespace {

using qv::send;

// A media host with the replacements in place, in a forked test body.
class MediaHost {
 public:
  MediaHost() {
    qv::host::registerMediaClassesIOS8();
    qv::host::registerPhotoLibrary(qv::host::HostGeneration::iOS8);
    qv::host::registerPhotosUI(qv::host::HostGeneration::iOS8);
    static const std::array<HookGroup, 7> groups{
        HookGroup{"PFSlowMotionUtilities", slowMotionUtilitiesHooks()},
        HookGroup{"PFSlowMotionConfiguration", slowMotionConfigurationHooks()},
        HookGroup{"PFVideoAVObjectBuilder", videoObjectBuilderHooks()},
        HookGroup{"PFVideoAdjustments", videoAdjustmentsHooks()},
        HookGroup{"PUVideoBannerView", videoBannerHooks()},
        HookGroup{"PLManagedAsset", managedAssetHooks()},
        HookGroup{"PLVideoView", videoViewHooks()},
    };
    installHookTable({{}, groups}, {"QuorvaneTest", "Tweak", 1, false});
    EXPECT_TRUE(qv::processLog().empty()) << "every class and selector is there";
  }

  // A clip in the album (device path).
  std::string clip(const std::string& name, const qv::media::ClipSpec& spec) const {
    const std::string path = std::string(qv::host::kAlbumFolder) + "/" + name;
    qv::media::writeClip(root_.hostPath(path), spec);
    return path;
  }
  std::string hostPath(const std::string& devicePath) const { return root_.hostPath(devicePath); }

 private:
  qv::test::SandboxRoot root_;
  qv::AutoreleasePool pool_;
};

id url(const std::string& path) {
  return send<id>(objc_getClass("NSURL"), "fileURLWithPath:"_sel, qv::makeString(path).get());
}

id avAsset(const std::string& path) {
  return send<id>(objc_getClass("AVAsset"), "assetWithURL:"_sel, url(path));
}

Class adjustmentsClass() {
  return objc_getClass("PFVideoAdjustments");
}

qv::Ref<> adjustments(CMTimeRange range, float rate) {
  return qv::adopt(send<id>(send<id>(adjustmentsClass(), "alloc"_sel),
                            "initWithSlowMotionTimeRange:rate:"_sel, range, rate));
}

CMTimeRange rangeOf(double start, double length) {
  return CMTimeRangeMake(CMTimeMakeWithSeconds(start, 600), CMTimeMakeWithSeconds(length, 600));
}

std::string text(CMTimeRange range) {
  return qv::formatString("%g+%g", CMTimeGetSeconds(range.start), CMTimeGetSeconds(range.duration));
}

// Export.

std::string presetFor(const char* preferred, int mailMax) {
  settings.mailMax.set(mailMax);
  id preferredPreset = preferred != nullptr ? qv::makeString(preferred).leak() : nil;
  const std::string chosen =
      qv::utf8(send<id>(objc_getClass("PFSlowMotionUtilities"),
                        "exportPresetForAsset:preferredPreset:"_sel, nil, preferredPreset));
  qv::release(preferredPreset);
  return chosen;
}

TEST(MediaHooks, TheExportPresetFollowsTheMailRule) {
  qv::test::runForked([] {
    MediaHost host;
    EXPECT_EQ(presetFor("AVAssetExportPresetMailMedium", 1), "AVAssetExportPresetHighestQuality");
    EXPECT_EQ(presetFor("AVAssetExportPresetMail", 1), "AVAssetExportPresetHighestQuality");
    EXPECT_EQ(presetFor("AVAssetExportPresetMailMedium", 0), "AVAssetExportPresetPassthrough");
    EXPECT_EQ(presetFor("AVAssetExportPresetMailMedium", 2), "AVAssetExportPresetPassthrough");
    EXPECT_EQ(presetFor("AVAssetExportPreset640x480", 1), "AVAssetExportPresetPassthrough");
    EXPECT_EQ(presetFor("MailAVAssetExportPreset", 1), "AVAssetExportPresetPassthrough");
    EXPECT_EQ(presetFor(nullptr, 1), "AVAssetExportPresetPassthrough");
  });
}

std::string configuredDuration(std::uint64_t mogulFramerate) {
  settings.MogulFramerate.set(mogulFramerate);
  qv::Ref<> session = qv::adopt(send<id>(
      send<id>(objc_getClass("AVAssetExportSession"), "alloc"_sel), "initWithAsset:presetName:"_sel,
      avAsset("/none.mov"), AVAssetExportPresetPassthrough));
  send(objc_getClass("PFSlowMotionUtilities"), "configureExportSession:forcePreciseConversion:"_sel,
       session.get(), YES);
  const CMTime least = send<CMTime>(session.get(), "minVideoFrameDuration"_sel);
  return std::to_string(least.value) + "/" + std::to_string(least.timescale);
}

TEST(MediaHooks, TheExportGetsOneFrameAtMogulFramerateWhenThatIsATimescale) {
  qv::test::runForked([] {
    MediaHost host;
    EXPECT_EQ(configuredDuration(120), "1/120");
    EXPECT_EQ(configuredDuration(240), "1/240");
    EXPECT_EQ(configuredDuration(2147483647), "1/2147483647");
    // Regression: a zero timescale made an invalid time, which the session raises on.
    EXPECT_EQ(configuredDuration(0), "1/30") << "the stock duration stays";
    EXPECT_EQ(configuredDuration(2147483648ull), "1/30");
    EXPECT_EQ(configuredDuration((1ull << 32) + 120), "1/30") << "not its low 32 bits";
  });
}

// Volumes and rates, as single-precision floats.

TEST(MediaHooks, VolumesAndRatesAnswerTheSettings) {
  qv::test::runForked([] {
    MediaHost host;
    qv::Ref<> configuration = qv::make(objc_getClass("PFSlowMotionConfiguration"));
    EXPECT_EQ(send<float>(configuration.get(), "volumeDuringSlowMotion"_sel), 0.15f);
    EXPECT_EQ(send<float>(configuration.get(), "volumeDuringRampToSlowMotion"_sel), 0.15f);
    for (float frameRate : {0.0f, 30.0f, 119.88f, 240.0f}) {
      EXPECT_EQ(send<float>(adjustmentsClass(), "defaultSlowMotionRateForNominalFrameRate:"_sel,
                            frameRate),
                0.25f)
          << frameRate;
    }
    qv::Ref<> adjusted = adjustments(rangeOf(0, 1), 0.9f);
    EXPECT_EQ(send<float>(adjusted.get(), "slowMotionRate"_sel), 0.25f);
    settings.volumeRamp.set(0.7f);
    settings.rate.set(0.125f);
    EXPECT_EQ(send<float>(configuration.get(), "volumeDuringRampToSlowMotion"_sel), 0.7f);
    EXPECT_EQ(send<float>(adjusted.get(), "slowMotionRate"_sel), 0.125f) << "read at each call";

    send(adjusted.get(), "setSlowMotionRate:"_sel, 0.5f);
    EXPECT_EQ(PFVideoAdjustments::original_slowMotionRate(adjusted, "slowMotionRate"_sel), 0.125f)
        << "the setting is stored, not 0.5";
  });
}

// The builder.

struct Built {
  qv::Ref<> builder;
  id held;  // its _videoAdjustments
};

Built build(id asset, id given) {
  qv::Ref<> builder =
      qv::adopt(send<id>(send<id>(objc_getClass("PFVideoAVObjectBuilder"), "alloc"_sel),
                         "initWithVideoAsset:videoAdjustments:"_sel, asset, given));
  Ivar ivar =
      class_getInstanceVariable(objc_getClass("PFVideoAVObjectBuilder"), "_videoAdjustments");
  return {builder, object_getIvar(builder, ivar)};
}

TEST(MediaHooks, TheBuilderGivesEveryVideoASlowSectionWithForceSlalom) {
  qv::test::runForked([] {
    MediaHost host;
    const std::string clip = host.clip("IMG_0001.MOV", {120, 2, 64, 48, false});
    qv::Ref<> given = adjustments(rangeOf(0.1, 0.2), 0.9f);

    Built plain = build(avAsset(clip), nil);
    EXPECT_EQ(plain.held, nil) << "ForceSlalom off: the stock builder";
    plain = build(avAsset(clip), given);
    EXPECT_EQ(text(send<CMTimeRange>(plain.held, "slowMotionTimeRange"_sel)), "0.1+0.2");

    settings.ForceSlalom.set(YES);
    settings.rate.set(0.5f);
    Built made = build(avAsset(clip), nil);
    ASSERT_NE(made.held, nil) << "new adjustments";
    EXPECT_EQ(text(send<CMTimeRange>(made.held, "slowMotionTimeRange"_sel)), "0.5+1")
        << "the middle of the clip";
    EXPECT_EQ(PFVideoAdjustments::original_slowMotionRate(made.held, "slowMotionRate"_sel), 0.5f);
    EXPECT_EQ(qv::retainCount(made.held), 1u) << "the builder owns its copy alone";

    Built kept = build(avAsset(clip), given);
    EXPECT_EQ(text(send<CMTimeRange>(kept.held, "slowMotionTimeRange"_sel)), "0.5+1");
    EXPECT_EQ(PFVideoAdjustments::original_slowMotionRate(kept.held, "slowMotionRate"_sel), 0.9f)
        << "the given rate stays";

    EXPECT_EQ(build(nil, nil).held, nil) << "no asset: nothing to do";
    const qv::host::PlaybackPlan plan = qv::host::playbackPlan(made.builder);
    EXPECT_TRUE(plan.slowMotion);
    EXPECT_DOUBLE_EQ(plan.playingTime, 1 + 1 / 0.5);
    EXPECT_EQ(plan.volume, 0.15f);
  });
}

// The badge, the asset and the editor.

id bannerBadge(long subtype) {
  qv::Ref<> banner = qv::make(objc_getClass("PUVideoBannerView"));
  return send<id>(banner.get(), "_badgeImageForVideoSubtype:"_sel, subtype);
}

TEST(MediaHooks, EveryVideoGetsTheSlowMotionBadgeWithForceSlalom) {
  qv::test::runForked([] {
    MediaHost host;
    EXPECT_EQ(qv::ui::imageName(bannerBadge(0)), "PUVideoBadgeIcon");
    EXPECT_EQ(qv::ui::imageName(bannerBadge(101)), "PUSlalomBadgeIcon");
    settings.ForceSlalom.set(YES);
    EXPECT_EQ(qv::ui::imageName(bannerBadge(0)), "PUSlalomBadgeIcon");
    EXPECT_EQ(qv::ui::imageName(bannerBadge(102)), "PUSlalomBadgeIcon");
  });
}

// A new asset read from its file, as the library imports it.
int importedSubtype(const std::string& path, const std::string& render = "", bool adjusted = false,
                    short savedType = 3) {
  qv::Ref<> asset = qv::make(objc_getClass("PLManagedAsset"));
  send(asset.get(), "setSavedAssetType:"_sel, savedType);
  if (adjusted)
    send(asset.get(), "setVideoAdjustments:"_sel, adjustments(rangeOf(0, 1), 0.5f).get());
  send<BOOL>(asset.get(),
             "setVideoInfoFromFileAtURL:fullSizeRenderURL:overwriteOriginalProperties:"_sel,
             url(path), render.empty() ? nil : url(render), YES);
  return send<int>(asset.get(), "kindSubtype"_sel);
}

TEST(MediaHooks, AClipIsMarkedWhenItsReadableRateReachesMogulFramerate) {
  qv::test::runForked([] {
    MediaHost host;
    const std::string fast = host.clip("fast.MOV", {120, 0.25, 64, 48, false});
    const std::string ntsc = host.clip("ntsc.MOV", {119.88, 0.25, 64, 48});
    const std::string sixty = host.clip("sixty.MOV", {60, 0.25, 64, 48});
    settings.MogulFramerate.set(120);
    EXPECT_EQ(importedSubtype(fast), 101);
    EXPECT_EQ(importedSubtype(ntsc), 0) << "119.88 is below 120";
    EXPECT_EQ(importedSubtype(sixty, fast), 101) << "the render is read when given";
    settings.MogulFramerate.set(60);
    EXPECT_EQ(importedSubtype(sixty), 101) << "the stock rule marks only 120 and up";
    settings.ForceSlalom.set(YES);
    settings.MogulFramerate.set(240);
    EXPECT_EQ(importedSubtype(ntsc), 101);
  });
}

TEST(MediaHooks, AnUnreadableRateNeverMarksAClip) {
  qv::test::runForked([] {
    MediaHost host;
    const std::string clip = host.clip("IMG_0001.MOV", {30, 0.25, 64, 48});
    qv::test::writeAudioOnlyCopy(host.hostPath(clip), host.hostPath("/sound.MOV"));
    qv::test::writeScrambledCopy(host.hostPath(clip), host.hostPath("/corrupt.MOV"));
    qv::test::writeTruncatedCopy(host.hostPath(clip), host.hostPath("/cut.MOV"), 0.5);
    // Regression: a rate of 0 reached a MogulFramerate of 0 and marked every file.
    settings.MogulFramerate.set(0);
    EXPECT_EQ(importedSubtype(clip), 101) << "a readable rate reaches 0";
    for (const char* path : {"/sound.MOV", "/corrupt.MOV", "/cut.MOV", "/missing.MOV"}) {
      EXPECT_EQ(importedSubtype(path), 0) << path;
    }
  });
}

TEST(MediaHooks, AnAdjustedSavedAssetOfTypeThreeIsMarked) {
  qv::test::runForked([] {
    MediaHost host;
    const std::string clip = host.clip("IMG_0001.MOV", {30, 0.25, 64, 48});
    settings.MogulFramerate.set(120);
    EXPECT_EQ(importedSubtype(clip, "", true, 3), 101);
    EXPECT_EQ(importedSubtype(clip, "", true, static_cast<short>(0x7003)), 0)
        << "the low 16 bits are the type";
    EXPECT_EQ(importedSubtype(clip, "", true, 2), 0);
    EXPECT_EQ(importedSubtype(clip, "", false, 3), 0) << "not adjusted";
  });
}

// A video view on an asset of the file, of that kind subtype.
qv::Ref<> videoView(const std::string& path, int subtype) {
  qv::Ref<> asset = qv::make(objc_getClass("PLManagedAsset"));
  send<BOOL>(asset.get(),
             "setVideoInfoFromFileAtURL:fullSizeRenderURL:overwriteOriginalProperties:"_sel,
             url(path), nil, YES);
  send(asset.get(), "setKindSubtype:"_sel, subtype);
  qv::Ref<> view = qv::adopt(send<id>(send<id>(objc_getClass("PLVideoView"), "alloc"_sel),
                                      "initWithFrame:"_sel, CGRectMake(0, 0, 320, 568)));
  send(view.get(), "setVideoCameraImage:"_sel, asset.get());
  return view;
}

BOOL editorOffered(id view) {
  return send<BOOL>(view, "_shouldShowSlalomEditor"_sel);
}

BOOL mogul(id view) {
  return send<BOOL>(send<id>(view, "videoCameraImage"_sel), "isMogul"_sel);
}

TEST(MediaHooks, TheEditorAndIsMogulWithAndWithoutForceSlalom) {
  qv::test::runForked([] {
    MediaHost host;
    const std::string clip = host.clip("IMG_0001.MOV", {30, 0.25, 64, 48});
    qv::Ref<> plain = videoView(clip, 0);
    qv::Ref<> marked = videoView(clip, 101);
    qv::Ref<> missing = videoView("/var/mobile/Media/DCIM/100APPLE/IMG_0404.MOV", 101);
    qv::Ref<> photo = videoView("/var/mobile/Media/DCIM/100APPLE/IMG_0002.JPG", 0);
    EXPECT_FALSE(editorOffered(plain));
    EXPECT_TRUE(editorOffered(marked));
    EXPECT_FALSE(send<BOOL>(missing.get(), "canEdit"_sel));
    EXPECT_TRUE(editorOffered(missing)) << "the asset is a slow-motion video";
    EXPECT_FALSE(mogul(plain));

    settings.ForceSlalom.set(YES);
    EXPECT_TRUE(mogul(plain));
    EXPECT_FALSE(mogul(photo)) << "only videos";
    EXPECT_TRUE(editorOffered(plain));
    EXPECT_TRUE(editorOffered(photo)) << "even where the platform says no";
  });
}

TEST(MediaHooks, TheClassIsKeptOnceFound) {
  qv::test::runForked([] {
    EXPECT_EQ(PFVideoAdjustments::videoAdjustmentsClass(), Nil) << "not there yet";
    qv::host::registerMediaClassesIOS8();
    EXPECT_EQ(PFVideoAdjustments::videoAdjustmentsClass(), objc_getClass("PFVideoAdjustments"));
  });
}

}  // namespace
}  // namespace quorvane

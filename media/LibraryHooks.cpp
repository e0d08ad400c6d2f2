// The slow-motion badge, the marking of slow-motion assets, and the slow-motion editor.
#include <array>
#include <vector>

#include "core/Settings.h"
#include "media/MediaHooks.h"
#include "port/AVFoundation/AVFoundation.h"
#include "port/Foundation/Foundation.h"

namespace quorvane {

namespace PUVideoBannerView {

id replaced__badgeImageForVideoSubtype_(id self, SEL _cmd, long subtype) {
  if (settings.ForceSlalom) {
    return qv::send<id>(objc_getClass("UIImage"), "pu_PhotosUIImageNamed:"_sel,
                        "PUSlalomBadgeIcon"_ns);
  }
  return original__badgeImageForVideoSubtype_(self, _cmd, subtype);
}

}  // namespace PUVideoBannerView

namespace PLManagedAsset {
namespace {

// The first video track's rate; 0 for a file without one or that cannot be read.
float nominalFrameRateOf(id url) {
  return firstVideoTrackRate(qv::send<id>(objc_getClass("AVAsset"), "assetWithURL:"_sel, url));
}

// Only a rate read from the file can reach the setting: an unreadable one (0) never does, not
// even when MogulFramerate is 0.
bool reachesSlowMotionRate(float frameRate) {
  return frameRate > 0 && frameRate >= static_cast<float>(std::uint64_t{settings.MogulFramerate});
}

}  // namespace

BOOL replaced_setVideoInfoFromFileAtURL_fullSizeRenderURL_overwriteOriginalProperties_(
    id self, SEL _cmd, id fileURL, id renderURL, BOOL overwrite) {
  const BOOL result =
      original_setVideoInfoFromFileAtURL_fullSizeRenderURL_overwriteOriginalProperties_(
          self, _cmd, fileURL, renderURL, overwrite);
  const float frameRate = nominalFrameRateOf(renderURL != nil ? renderURL : fileURL);
  if (reachesSlowMotionRate(frameRate) || settings.ForceSlalom) {
    qv::send(self, "setKindSubtype:"_sel, kSlowMotionKindSubtype);
  }
  const auto savedType = static_cast<unsigned short>(qv::send<short>(self, "savedAssetType"_sel));
  if (qv::send<BOOL>(self, "hasAdjustments"_sel) && savedType == kSlowMotionSavedAssetType) {
    qv::send(self, "setKindSubtype:"_sel, kSlowMotionKindSubtype);
  }
  return result;
}

BOOL replaced_isMogul(id self, SEL _cmd) {
  const BOOL video = qv::send<BOOL>(self, "isVideo"_sel);
  if (settings.ForceSlalom && video) return YES;
  return original_isMogul(self, _cmd);
}

}  // namespace PLManagedAsset

namespace PLVideoView {

BOOL replaced__shouldShowSlalomEditor(id self, SEL _cmd) {
  const BOOL stock = original__shouldShowSlalomEditor(self, _cmd);
  const BOOL mogul = qv::send<BOOL>(shownAsset(self), "isMogul"_sel);
  return stock || mogul || settings.ForceSlalom ? YES : NO;
}

}  // namespace PLVideoView

id shownAsset(id videoView) {
  if (videoView == nil) return nil;
  Ivar ivar = class_getInstanceVariable(object_getClass(videoView), "_videoCameraImage");
  return ivar != nullptr ? object_getIvar(videoView, ivar) : nil;
}

std::span<const MethodHook> videoBannerHooks() {
  static const std::array<MethodHook, 1> rows{
      instanceHook(PUVideoBannerView::method__badgeImageForVideoSubtype_()),
  };
  return rows;
}

std::span<const MethodHook> managedAssetHooks() {
  namespace asset = PLManagedAsset;
  static const std::array<MethodHook, 2> rows{
      instanceHook(
          asset::method_setVideoInfoFromFileAtURL_fullSizeRenderURL_overwriteOriginalProperties_()),
      instanceHook(asset::method_isMogul()),
  };
  return rows;
}

std::span<const MethodHook> videoViewHooks() {
  static const std::array<MethodHook, 1> rows{
      instanceHook(PLVideoView::method__shouldShowSlalomEditor()),
  };
  return rows;
}

}  // namespace quorvane

#include "host/ios8/PhotosActions.h"

#include <chrono>
#include <filesystem>
#include <future>

#include "host/ios7/SlalomClasses.h"
#include "host/ios8/PhotoLibrary.h"
#include "host/ios8/PhotosUI.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/System/FileSystem.h"
#include "port/CoreMedia/CMTimeRange.h"

namespace qv::host {
namespace {

constexpr const char* kExportFolder = "/var/mobile/Media/PhotoData/Exports";

Class adjustmentsClass() {
  return objc_getClass("PFVideoAdjustments");
}

id assetOf(id videoView) {
  return send<id>(videoView, "videoCameraImage"_sel);
}

id avAssetOf(id asset) {
  return send<id>(objc_getClass("AVAsset"), "assetWithURL:"_sel,
                  send<id>(asset, "mainFileURL"_sel));
}

// Default adjustments for the clip (+1).
Ref<> defaultAdjustments(id avAsset) {
  const CMTimeRange range =
      send<CMTimeRange>(adjustmentsClass(), "defaultSlowMotionTimeRangeForDuration:"_sel,
                        send<CMTime>(avAsset, "duration"_sel));
  const float rate = send<float>(
      adjustmentsClass(), "defaultSlowMotionRateForNominalFrameRate:"_sel, firstVideoRate(avAsset));
  return adopt(send<id>(send<id>(adjustmentsClass(), "alloc"_sel),
                        "initWithSlowMotionTimeRange:rate:"_sel, range, rate));
}

std::string exportPathFor(id asset) {
  const std::string name = std::filesystem::path(utf8(send<id>(asset, "filename"_sel))).stem();
  for (int number = 1;; ++number) {
    const std::string path =
        std::string(kExportFolder) + "/" + name + "-" + std::to_string(number) + ".MOV";
    std::error_code error;
    if (!std::filesystem::exists(resolvePath(path), error)) return path;
  }
}

// iOS 7's asset keeps its slow section itself, where iOS 8's has adjustments.
bool isIOS7Asset(id asset) {
  return responds(asset, "setSlalomTimeRange:"_sel);
}

bool isSlowMotionClip(id asset) {
  return send<int>(asset, "kindSubtype"_sel) == kSlowMotionSubtype;
}

// iOS 7: the asset's own section, or a slow-motion clip's default one.
PlaybackPlan slalomPlaybackPlanOf(id asset, id avAsset) {
  std::optional<CMTimeRange> section = slowMotionEdit(asset);
  if (!section && isSlowMotionClip(asset)) {
    section = stockSlowMotionRange(send<CMTime>(avAsset, "duration"_sel));
  }
  return slalomPlaybackPlan(avAsset, section);
}

// iOS 8: the section on a copy of the asset's adjustments (or new default ones), the rate applied
// again for the clip's frame rate.
void setAdjustedSection(id asset, id avAsset, CMTimeRange section) {
  Ref<> adjustments(send<id>(asset, "videoAdjustments"_sel));
  adjustments =
      adjustments ? adopt(send<id>(adjustments.get(), "copy"_sel)) : defaultAdjustments(avAsset);
  send(adjustments.get(), "setSlowMotionTimeRange:"_sel, section);
  send(adjustments.get(), "setSlowMotionRate:"_sel,
       send<float>(adjustmentsClass(), "defaultSlowMotionRateForNominalFrameRate:"_sel,
                   firstVideoRate(avAsset)));
  send(asset, "setVideoAdjustments:"_sel, adjustments.get());
}

// The export as far as it came, ended for that reason.
ExportResult failedExport(ExportResult result, const std::string& why) {
  result.status = AVAssetExportSessionStatusFailed;
  result.failure = why;
  return result;
}

}  // namespace

PlaybackPlan playVideo(id videoView) {
  const PlaybackPlan plan = playbackPlanOf(assetOf(videoView));
  playVideoView(videoView, plan);
  return plan;
}

PlaybackPlan playbackPlanOf(id asset) {
  id avAsset = avAssetOf(asset);
  if (isIOS7Asset(asset)) return slalomPlaybackPlanOf(asset, avAsset);
  Ref<> adjustments(send<id>(asset, "videoAdjustments"_sel));
  if (!adjustments && isSlowMotionClip(asset)) {
    adjustments = defaultAdjustments(avAsset);
  }
  Ref<> builder =
      adopt(send<id>(send<id>(objc_getClass("PFVideoAVObjectBuilder"), "alloc"_sel),
                     "initWithVideoAsset:videoAdjustments:"_sel, avAsset, adjustments.get()));
  return playbackPlan(builder);
}

std::string editSlowMotion(id videoView, double start, double end) {
  id asset = assetOf(videoView);
  if (!send<BOOL>(videoView, "_shouldShowSlalomEditor"_sel)) {
    return "the clip offers no slow-motion editor";
  }
  id avAsset = avAssetOf(asset);
  const double length = CMTimeGetSeconds(send<CMTime>(avAsset, "duration"_sel));
  if (!(start >= 0) || !(end > start) || end > length + 1e-9) {
    return "the slow-motion section must lie within the clip's " + std::to_string(length) + " s";
  }
  constexpr CMTimeScale kScale = 600;
  const CMTimeRange section = CMTimeRangeMake(CMTimeMakeWithSeconds(start, kScale),
                                              CMTimeMakeWithSeconds(end - start, kScale));
  if (isIOS7Asset(asset)) {
    send(asset, "setSlalomTimeRange:"_sel, section);  // iOS 7 keeps the section itself
  } else {
    setAdjustedSection(asset, avAsset, section);
  }
  send<BOOL>(asset, "setVideoInfoFromFileAtURL:fullSizeRenderURL:overwriteOriginalProperties:"_sel,
             send<id>(asset, "mainFileURL"_sel), nil, NO);
  saveLibrary();
  send(videoView, "setVideoCameraImage:"_sel, asset);  // the banner and editor follow
  return "";
}

ExportResult exportVideo(id videoView, const std::string& preferredPreset,
                         const std::function<void(double done)>& progress) {
  ExportResult result;
  id asset = assetOf(videoView);
  id avAsset = avAssetOf(asset);
  Class utilities = exportUtilitiesClass();
  if (utilities == Nil) {
    return failedExport(
        result, "the app has no export utilities (PFSlowMotionUtilities, PLSlalomUtilities)");
  }
  // Held here: the stock choice answers the preferred preset itself, which must outlive the call.
  const Ref<> preferred = makeString(preferredPreset);
  id preset =
      send<id>(utilities, "exportPresetForAsset:preferredPreset:"_sel, avAsset, preferred.get());
  result.presetAsked = utf8(preset);
  Ref<> session = adopt(send<id>(send<id>(objc_getClass("AVAssetExportSession"), "alloc"_sel),
                                 "initWithAsset:presetName:"_sel, avAsset, preset));
  if (!session)
    return failedExport(result, "no export session for the preset " + result.presetAsked);
  send(utilities, "configureExportSession:forcePreciseConversion:"_sel, session.get(), YES);
  result.minFrameDuration = send<CMTime>(session.get(), "minVideoFrameDuration"_sel);
  result.outputPath = exportPathFor(asset);
  send(session.get(), "setOutputURL:"_sel,
       send<id>(objc_getClass("NSURL"), "fileURLWithPath:"_sel,
                makeString(result.outputPath).get()));
  send(session.get(), "setOutputFileType:"_sel, AVFileTypeQuickTimeMovie);
  auto ended = std::make_shared<std::promise<void>>();
  std::future<void> done = ended->get_future();
  send(session.get(), "exportAsynchronouslyWithCompletionHandler:"_sel,
       std::function<void()>([ended] { ended->set_value(); }));
  while (done.wait_for(std::chrono::milliseconds(200)) != std::future_status::ready) {
    if (progress) progress(send<float>(session.get(), "progress"_sel));
  }
  result.status = send<long>(session.get(), "status"_sel);
  result.failure = exportFailure(session);
  return result;
}

}  // namespace qv::host

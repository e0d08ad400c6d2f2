// The media state an app reports: the clip's file, the asset, its playback, its player and its
// export, and
// the photo library's assets.
#include <cmath>
#include <filesystem>

#include "host/ios8/PhotoLibrary.h"
#include "host/ios8/PhotosApp.h"
#include "host/ios8/PhotosUI.h"
#include "host/ios8/VideoRecording.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/AVFoundation/Media.h"
#include "platform/Foundation/Foundation.h"
#include "platform/System/FileSystem.h"
#include "platform/UIKit/UIKit.h"
#include "port/CoreMedia/CMTimeRange.h"
#include "sim/app/MediaSide.h"
#include "sim/app/MediaState.h"

namespace qv::sim::app {
namespace {

std::string fileName(const std::string& path) {
  return std::filesystem::path(path).filename().string();
}

Value durationText(CMTime time) {
  if (!CMTIME_IS_VALID(time)) return {};
  return std::to_string(time.value) + "/" + std::to_string(time.timescale);
}

// The open clip's asset in Photos, or the last recording's in Camera.
id currentAsset() {
  if (id view = host::openVideoView()) return send<id>(view, "videoCameraImage"_sel);
  const std::string recorded = host::lastRecordingPath();
  return recorded.empty() ? nil : host::libraryAsset(fileName(recorded));
}

id bannerOf(id view) {
  Class banner = objc_getClass("PUVideoBannerView");
  for (id child : arrayElements(send<id>(view, "subviews"_sel))) {
    if (banner != Nil && isKindOf(child, banner)) return child;
  }
  return nil;
}

// The user's slow-motion edit, as either generation keeps it.
Value sectionOf(id asset) {
  const std::optional<CMTimeRange> range = host::slowMotionEdit(asset);
  if (!range) return {};
  return ValueList{CMTimeGetSeconds(range->start), CMTimeGetSeconds(CMTimeRangeGetEnd(*range))};
}

Value assetState() {
  id asset = currentAsset();
  if (asset == nil) return {};
  ValueMap state{
      {"name", utf8(send<id>(asset, "filename"_sel))},
      {"kind_subtype", send<int>(asset, "kindSubtype"_sel)},
      {"slow_motion", send<BOOL>(asset, "isMogul"_sel) != NO},
      {"adjusted", send<BOOL>(asset, "hasAdjustments"_sel) != NO},
      {"slow_motion_section", sectionOf(asset)},
      {"saved_asset_type", static_cast<int>(send<short>(asset, "savedAssetType"_sel))},
  };
  id view = host::openVideoView();
  const std::string badge = ui::imageName(send<id>(bannerOf(view), "badgeImage"_sel));
  state.emplace_back("badge", view == nil || badge.empty() ? Value() : Value(badge));
  state.emplace_back("editor", view == nil
                                   ? Value()
                                   : Value(send<BOOL>(view, "_shouldShowSlalomEditor"_sel) != NO));
  return state;
}

Value playbackState() {
  const auto& plan = mediaState().playback;
  if (!plan) return {};
  return ValueMap{
      {"slow_motion",
       plan->slowMotion ? Value(ValueList{plan->slowStart, plan->slowEnd}) : Value()},
      {"rate", static_cast<double>(plan->rate)},
      {"volume", static_cast<double>(plan->volume)},
      {"ramp_volume", static_cast<double>(plan->rampVolume)},
      {"duration", plan->duration},
      {"playing_time", plan->playingTime},
  };
}

Value playerState() {
  id view = host::openVideoView();
  if (view == nil) return {};
  const auto picture = host::shownPicture(view);
  return ValueMap{
      {"position", host::videoPlayhead(view)},
      {"playing", host::isVideoPlaying(view)},
      {"frame", picture ? Value(static_cast<long long>(picture->frame)) : Value()},
  };
}

Value statusName(long status) {
  switch (status) {
    case AVAssetExportSessionStatusCompleted:
      return "completed";
    case AVAssetExportSessionStatusFailed:
      return "failed";
    case AVAssetExportSessionStatusCancelled:
      return "cancelled";
    default:
      return status;
  }
}

Value exportState() {
  const auto& result = mediaState().exported;
  if (!result) return {};
  ValueMap state{
      {"preset", result->presetAsked},
      {"min_frame_duration", durationText(result->minFrameDuration)},
      {"status", statusName(result->status)},
      {"failure", result->failure.empty() ? Value() : Value(result->failure)},
      {"file", result->outputPath.empty() ? Value() : Value(fileName(result->outputPath))},
  };
  const Value file = result->status == AVAssetExportSessionStatusCompleted
                         ? clipState(result->outputPath)
                         : Value();
  for (const char* key : {"frame_rate", "duration", "frames", "size"}) {
    const Value* found = file.find(key);
    state.emplace_back(key, found != nullptr ? *found : Value());
  }
  return state;
}

Value libraryState() {
  if (objc_getClass("PLManagedAsset") == Nil) return {};
  ValueList assets;
  for (id asset : host::libraryAssets()) {
    assets.push_back(ValueMap{{"name", utf8(send<id>(asset, "filename"_sel))},
                              {"kind_subtype", send<int>(asset, "kindSubtype"_sel)},
                              {"slow_motion", send<BOOL>(asset, "isMogul"_sel) != NO}});
  }
  return assets;
}

Value clipOnScreen() {
  id asset = currentAsset();
  return asset == nil ? Value() : clipState(utf8(send<id>(asset, "pathForOriginalFile"_sel)));
}

}  // namespace

Value clipState(const std::string& devicePath) {
  const media::MediaInfo info = media::readMediaInfo(resolvePath(devicePath));
  if (info.tracks.empty()) return {};
  ValueMap state{{"name", fileName(devicePath)}, {"duration", CMTimeGetSeconds(info.duration)}};
  ValueList kinds;
  for (const media::TrackInfo& track : info.tracks) kinds.push_back(track.mediaType);
  for (const media::TrackInfo& track : info.tracks) {
    if (track.mediaType != "vide") continue;
    state.emplace_back("frame_rate", static_cast<double>(track.nominalFrameRate));
    state.emplace_back("frames", static_cast<long long>(track.frames));
    state.emplace_back("size", std::to_string(track.width) + "x" + std::to_string(track.height));
    break;
  }
  state.emplace_back("tracks", kinds);
  return state;
}

std::optional<Value> observeMedia(const std::string& key) {
  if (key == "clip") return clipOnScreen();
  if (key == "asset") return assetState();
  if (key == "playback") return playbackState();
  if (key == "player") return playerState();
  if (key == "export") return exportState();
  if (key == "assets") return libraryState();
  return std::nullopt;
}

MediaState& mediaState() {
  static MediaState state;
  return state;
}

}  // namespace qv::sim::app

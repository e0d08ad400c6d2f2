// AVAsset (made as an AVURLAsset) and AVAssetTrack: what a file holds, read once when the asset
// is made.
#include <string>
#include <vector>

#include "platform/AVFoundation/AVFoundation.h"
#include "platform/AVFoundation/Media.h"
#include "platform/Foundation/Foundation.h"
#include "platform/System/FileSystem.h"
#include "port/CoreGraphics/CGGeometry.h"

namespace qv::avfoundation {
namespace {

struct TrackState {
  media::TrackInfo info;
  Ref<> mediaType;
  int trackID = 0;
};

struct AssetState {
  Ref<> url;
  CMTime duration = kCMTimeZero;
  Ref<> tracks;       // NSArray of AVAssetTrack
  std::string error;  // without tracks: why its file cannot be read, naming the device's path
};

Class trackClass();
Class urlAssetClass();

const TrackState& trackOf(id track) {
  return stateOf<TrackState>(track);
}

id mediaType(id self, SEL) {
  return trackOf(self).mediaType;
}
float nominalFrameRate(id self, SEL) {
  return trackOf(self).info.nominalFrameRate;
}
CGSize naturalSize(id self, SEL) {
  return CGSizeMake(trackOf(self).info.width, trackOf(self).info.height);
}
int trackID(id self, SEL) {
  return trackOf(self).trackID;
}

Ref<> makeTrack(const media::TrackInfo& info, int number) {
  Ref<> track = make(trackClass());
  TrackState& state = stateOf<TrackState>(track);
  state.info = info;
  state.mediaType = makeString(info.mediaType);
  state.trackID = number;
  return track;
}

const AssetState& assetOf(id asset) {
  return stateOf<AssetState>(asset);
}

// A nil URL gives nil; any other URL an asset, empty when its file holds nothing readable.
id assetWithURL(id, SEL, id url) {
  if (url == nil) return nil;
  const std::string path = utf8(send<id>(url, "path"_sel));
  const media::MediaInfo info = media::readMediaInfo(resolvePath(path));
  std::vector<Ref<>> tracks;
  for (const media::TrackInfo& track : info.tracks) {
    tracks.push_back(makeTrack(track, static_cast<int>(tracks.size()) + 1));
  }
  id asset = send<id>(send<id>(urlAssetClass(), "alloc"_sel), "init"_sel);
  AssetState& state = stateOf<AssetState>(asset);
  state.url = adopt(send<id>(url, "copy"_sel));
  state.duration = info.duration;
  state.tracks = makeArray(std::vector<id>(tracks.begin(), tracks.end()));
  if (info.tracks.empty()) state.error = "cannot read " + path + ": " + info.problem;
  return autorelease(asset);
}

id URL(id self, SEL) {
  return assetOf(self).url;
}
CMTime duration(id self, SEL) {
  return assetOf(self).duration;
}
id tracks(id self, SEL) {
  return assetOf(self).tracks;
}

id tracksWithMediaType(id self, SEL, id type) {
  std::vector<id> matching;
  for (id track : arrayElements(assetOf(self).tracks)) {
    if (send<BOOL>(trackOf(track).mediaType.get(), "isEqualToString:"_sel, type)) {
      matching.push_back(track);
    }
  }
  return autorelease(makeArray(matching).leak());
}

BOOL isPlayable(id self, SEL) {
  return arrayElements(assetOf(self).tracks).empty() ? NO : YES;
}

Class trackClass() {
  static const Class cls = ClassBuilder("AVAssetTrack", NSObjectClass())
                               .state<TrackState>()
                               .method("mediaType", &mediaType)
                               .method("nominalFrameRate", &nominalFrameRate)
                               .method("naturalSize", &naturalSize)
                               .method("trackID", &trackID)
                               .registerClass();
  return cls;
}

Class assetClass() {
  static const Class cls = ClassBuilder("AVAsset", NSObjectClass())
                               .state<AssetState>()
                               .classMethod("assetWithURL:", &assetWithURL)
                               .method("duration", &duration)
                               .method("tracks", &tracks)
                               .method("tracksWithMediaType:", &tracksWithMediaType)
                               .method("isPlayable", &isPlayable)
                               .registerClass();
  return cls;
}

Class urlAssetClass() {
  static const Class cls =
      ClassBuilder("AVURLAsset", assetClass())
          .classMethod(
              "URLAssetWithURL:options:",
              +[](id cls, SEL, id url, id) { return assetWithURL(cls, nullptr, url); })
          .method("URL", &URL)
          .registerClass();
  return cls;
}

__attribute__((constructor(140))) void registerAssetClasses() {
  trackClass();
  urlAssetClass();
}

}  // namespace
}  // namespace qv::avfoundation

namespace qv {

std::string assetError(id asset) {
  if (asset == nil) return "";
  return avfoundation::assetOf(asset).error;
}

}  // namespace qv

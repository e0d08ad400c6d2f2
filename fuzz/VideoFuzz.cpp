// Fuzz target for the video reader: any bytes, as a clip in the album, must make an AVAsset
// whose duration is a valid time of zero or more, whose tracks are video or sound, with a finite
// frame rate and a size of zero or more, and which is playable only when it has tracks. Aborts
// on any other outcome.
//
// Build and run: scripts/fuzz.sh (docs/fuzzing.md).
#include <stdlib.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz/FileRoot.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/Foundation/Foundation.h"
#include "platform/System/FileSystem.h"
#include "platform/objc/AutoreleasePool.h"
#include "port/CoreGraphics/CGGeometry.h"

namespace {

using qv::send;

constexpr const char* kClipPath = "/var/mobile/Media/DCIM/100APPLE/IMG_0001.MOV";

void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "asset invariant violated: %s\n", what);
  std::abort();
}

void checkTrack(id track) {
  const std::string type = qv::utf8(send<id>(track, "mediaType"_sel));
  require(type == "vide" || type == "soun", "a track is video or sound");
  const float rate = send<float>(track, "nominalFrameRate"_sel);
  require(std::isfinite(rate) && rate >= 0, "a frame rate is finite and not negative");
  const CGSize size = send<CGSize>(track, "naturalSize"_sel);
  require(size.width >= 0 && size.height >= 0, "a size is not negative");
  if (type == "soun") require(rate == 0 && size.width == 0, "a sound track has no frames");
}

void checkAsset(id asset) {
  require(asset != nil, "a file URL makes an asset");
  const CMTime duration = send<CMTime>(asset, "duration"_sel);
  require((duration.flags & kCMTimeFlags_Valid) != 0 && duration.timescale > 0,
          "the duration is a valid time");
  require(CMTimeCompare(duration, kCMTimeZero) >= 0, "the duration is not negative");
  const auto tracks = qv::arrayElements(send<id>(asset, "tracks"_sel));
  for (id track : tracks) checkTrack(track);
  require((send<BOOL>(asset, "isPlayable"_sel) == YES) == !tracks.empty(),
          "an asset is playable when it has tracks");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const qv::fuzz::FileRoot root(kClipPath);
  root.write({reinterpret_cast<const char*>(data), size});
  qv::AutoreleasePool pool;
  id url =
      send<id>(objc_getClass("NSURL"), "fileURLWithPath:"_sel, qv::makeString(kClipPath).get());
  checkAsset(send<id>(objc_getClass("AVURLAsset"), "URLAssetWithURL:options:"_sel, url, nil));
  return 0;
}

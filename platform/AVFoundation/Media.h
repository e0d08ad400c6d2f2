// The C++ side of real media, on libavformat, libavcodec, libavutil and libswscale: clips
// written as the camera records them, what a file holds, and exports. AVAsset, AVAssetTrack and
// AVAssetExportSession answer from these; the camera host records and the simulator fills the
// album with them. Paths are host paths (already resolved under the file-system root).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/CoreMedia/CoreMedia.h"

namespace qv::media {

// Called now and then with the share of the work done, from 0 to 1.
using ProgressCallback = std::function<void(double done)>;

struct ClipSpec {
  double frameRate;  // frames per second; 119.88 and the other NTSC rates are kept exact
  double duration;   // seconds
  int width;
  int height;
  bool audio = true;      // a silent audio track beside the video
  double sceneStart = 0;  // the scene's time at the first frame, seconds
};

// A QuickTime file with an MPEG-4 video track of the scene (Scene.h) filmed from `sceneStart` at
// the clip's rate, frames numbered from 0, and, when asked, a silent AAC track. Makes the file's
// folder. Raises std::runtime_error with libav's reason when the file cannot be made.
void writeClip(const std::string& path, const ClipSpec& clip,
               const ProgressCallback& progress = {});

struct TrackInfo {
  std::string mediaType;  // "vide" or "soun"
  float nominalFrameRate = 0;
  int width = 0;
  int height = 0;
  std::int64_t frames = 0;  // samples of a video track
  CMTime duration = kCMTimeZero;
};

struct MediaInfo {
  CMTime duration = kCMTimeZero;
  std::vector<TrackInfo> tracks;  // in the file's order
  std::string problem;            // with no tracks: why the file holds none
};

// What the file holds. A missing, empty, truncated or unreadable file holds nothing: a zero
// duration, no tracks and the problem. Never raises.
MediaInfo readMediaInfo(const std::string& path);

struct ExportRequest {
  bool passthrough = true;  // copy every track as it is
  int maxWidth = 0;         // a re-encode scales down to fit; 0 keeps the size
  int maxHeight = 0;
  std::int64_t bitRate = 0;  // of a re-encoded video track; 0 chooses by size and rate
  CMTime minFrameDuration = kCMTimeInvalid;  // a re-encode drops frames closer than this
};

// Writes `destination` from `source`; answers an empty text, or why it failed (the destination
// is then removed). Never raises.
std::string exportMedia(const std::string& source, const std::string& destination,
                        const ExportRequest& request, const ProgressCallback& progress = {});

// A remake as clips leave the device: a slow-motion section of the source played at `rate`
// (stretched by 1/rate, every frame of it kept), the rest at normal speed, written at
// `frameRate` frames per second; the sound follows the same timing.
struct RemakeRequest {
  double slowStart = 0;  // seconds of the source; an empty section slows nothing
  double slowEnd = 0;
  double rate = 1;  // inside the section; only a rate in (0, 1) slows it
  int frameRate = 30;
};

// Where a time of the source lands in the remake, and back.
class RemakeTimeline {
 public:
  RemakeTimeline(const RemakeRequest& request, double sourceDuration);
  double toRemake(double sourceSeconds) const;
  double toSource(double remakeSeconds) const;
  double remakeDuration() const { return toRemake(duration_); }

 private:
  double start_ = 0;
  double end_ = 0;
  double stretch_ = 1;
  double duration_ = 0;
};

// Writes `destination` from `source` as the request says; answers an empty text, or why it
// failed (the destination is then removed). Never raises.
std::string remakeMedia(const std::string& source, const std::string& destination,
                        const RemakeRequest& request, const ProgressCallback& progress = {});

}  // namespace qv::media

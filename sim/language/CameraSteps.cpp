// The camera's steps: its mode, its preview, a recording, and the taps on the slow-motion
// indicator.
#include <map>
#include <string>
#include <vector>

#include "host/App.h"
#include "sim/language/StepKinds.h"

namespace qv::sim {
namespace {

using YAML::Node;

// A recording is written frame by frame when it stops: at 240 fps, a minute takes a while.
constexpr double kLongestRecording = 60;

long cameraMode(const Fields& fields) {
  static const std::map<std::string, long> kModes{{"photo", 0}, {"video", 1}, {"slow_motion", 2}};
  const std::string mode = fields.yaml.text(fields["mode"], "camera_mode mode");
  const auto found = kModes.find(mode);
  if (found == kModes.end()) {
    fields.yaml.fail(fields["mode"],
                     "unknown camera mode '" + mode + "' (modes: photo, video, slow_motion)");
  }
  return found->second;
}

}  // namespace

std::vector<StepKind> cameraSteps() {
  return {
      {"camera_mode",
       {"mode", "app"},
       {"mode"},
       [](const Fields& f) -> Action {
         return SetCameraMode{f.app(), cameraMode(f)};
       },
       "camera_mode: MODE               photo, video or slow_motion (configures the session)"},
      {"start_preview",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return Preview{f.app(), true};
       },
       "start_preview [: APP]           the camera screen's kickoff of the preview"},
      {"stop_preview",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return Preview{f.app(), false};
       },
       "stop_preview [: APP]            stop the capture controller's preview"},
      {"tap_indicator",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return AppStep{f.app(), "tap_indicator", {}, "tap the indicator"};
       },
       "tap_indicator [: APP]           tap the slow-motion indicator"},
      {"double_tap_indicator",
       {"app"},
       {},
       [](const Fields& f) -> Action {
         return AppStep{f.app(), "double_tap_indicator", {}, "double-tap the indicator"};
       },
       "double_tap_indicator [: APP]    double-tap the slow-motion indicator"},
      {"record",
       {"seconds", "app"},
       {"seconds"},
       [](const Fields& f) -> Action {
         return Record{f.app(), f.yaml.number(f["seconds"], "record", 0.01, kLongestRecording)};
       },
       "record: SECONDS                 record a video into the album (Camera)"},
  };
}

}  // namespace qv::sim

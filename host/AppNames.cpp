// What scenario files may name: the apps and the host classes. Kept apart from the apps'
// start-up so that reading a scenario needs no platform.
#include <algorithm>
#include <array>
#include <string_view>

#include "host/App.h"

namespace qv::host {

bool isKnownApp(const std::string& name) {
  return name == kCameraApp || name == kPhotosApp;
}

bool isKnownHostClass(const std::string& name) {
  static constexpr std::array<std::string_view, 23> kClasses{
      "CAMCameraView",
      "CAMApplicationViewController",
      "CAMCaptureController",
      "CMKCaptureController",
      "CAMCameraSpec",
      "CAMPadApplicationSpec",
      "CAMBottomBar",
      "CAMSlalomIndicatorView",
      "PFSlowMotionUtilities",
      "PFSlowMotionConfiguration",
      "PFVideoAVObjectBuilder",
      "PFVideoAdjustments",
      "PUVideoBannerView",
      "PLManagedAsset",
      "PLVideoView",
      "PLPhotoBrowserController",
      "PLPublishingAgent",
      "PLProgressHUD",
      "PLCameraController",
      "PLCameraView",
      "PLApplicationCameraViewController",
      "PLSlalomConfiguration",
      "PLSlalomUtilities",
  };
  return std::find(kClasses.begin(), kClasses.end(), name) != kClasses.end();
}

}  // namespace qv::host

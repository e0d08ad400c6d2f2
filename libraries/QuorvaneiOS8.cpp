// The iOS 8 library: its identity and its hook table in installation order.
#include "libraries/QuorvaneiOS8.h"

#include <array>

#include "capture/CameraScreenHooks.h"
#include "capture/CaptureHooks.h"
#include "capture/CaptureHooksIOS8.h"
#include "capture/IndicatorChooser.h"
#include "media/MediaHooks.h"
#include "media/SaveHooks.h"
#include "port/MobileGestalt/MobileGestalt.h"

namespace quorvane::ios8 {

const LibraryIdentity kLibrary{"QuorvaneiOS8", "Tweak", 432, true};

const HookTable& hookTable() {
  static const std::array<FunctionHook, 2> functions{
      functionHook(&MGGetBoolAnswer, &replaced_MGGetBoolAnswer, original_MGGetBoolAnswer),
      functionHook(&CMTimeMake, &replaced_CMTimeMake, original_CMTimeMake),
  };
  static const std::array<HookGroup, 16> groups{
      HookGroup{"CAMCameraView", cameraViewHooks()},
      HookGroup{"CAMApplicationViewController", applicationViewControllerHooks()},
      HookGroup{"PFSlowMotionUtilities", slowMotionUtilitiesHooks()},
      HookGroup{"CAMCaptureController", captureControllerHooks()},
      HookGroup{"PFSlowMotionConfiguration", slowMotionConfigurationHooks()},
      HookGroup{"PFVideoAVObjectBuilder", videoObjectBuilderHooks()},
      // One lookup: the metaclass serves the class method, the class the instance rows.
      HookGroup{"PFVideoAdjustments", videoAdjustmentsHooks()},
      HookGroup{"PUVideoBannerView", videoBannerHooks()},
      HookGroup{"PLManagedAsset", managedAssetHooks()},
      HookGroup{"CAMCameraSpec", cameraSpecHooks()},
      HookGroup{"CAMPadApplicationSpec", padApplicationSpecHooks()},
      HookGroup{"CAMBottomBar", bottomBarHooks()},
      HookGroup{"CAMSlalomIndicatorView", slalomIndicatorHooks()},
      HookGroup{"PLVideoView", videoViewHooks()},
      HookGroup{"PLPhotoBrowserController", photoBrowserHooks()},
      HookGroup{"PLPublishingAgent", publishingAgentHooks()},
  };
  static const HookTable table{functions, groups};
  return table;
}

}  // namespace quorvane::ios8

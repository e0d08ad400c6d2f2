// The iOS 7 library: its identity and its hook table in installation order, its own order.
#include "libraries/QuorvaneiOS7.h"

#include <array>

#include "capture/CameraScreenHooks.h"
#include "capture/CaptureHooks.h"
#include "capture/IndicatorChooser.h"
#include "ios7/IOS7Hooks.h"
#include "media/MediaHooks.h"
#include "media/SaveHooks.h"
#include "port/MobileGestalt/MobileGestalt.h"

namespace quorvane::ios7 {

const LibraryIdentity kLibrary{"QuorvaneiOS7", "Tweak", 315, false};

const HookTable& hookTable() {
  static const std::array<FunctionHook, 1> functions{
      functionHook(&MGGetBoolAnswer, &replaced_MGGetBoolAnswer, original_MGGetBoolAnswer),
  };
  static const std::array<HookGroup, 13> groups{
      HookGroup{"PLCameraView", cameraViewHooks()},
      HookGroup{"PLApplicationCameraViewController", applicationViewControllerHooks()},
      HookGroup{"PLCameraController", cameraControllerHooks()},
      HookGroup{"PLSlalomConfiguration", slalomConfigurationHooks()},
      // The export's class methods, on the metaclass.
      HookGroup{"PLSlalomUtilities", slowMotionUtilitiesHooks()},
      HookGroup{"NSUserDefaults", userDefaultsHooks()},
      HookGroup{"CAMSlalomIndicatorView", slalomIndicatorHooks()},
      HookGroup{"PLVideoView", videoViewHooks()},
      HookGroup{"PLPhotoBrowserController", photoBrowserHooks()},
      HookGroup{"PLPublishingAgent", publishingAgentHooks()},
      HookGroup{"CAMPadApplicationSpec", padApplicationSpecHooks()},
      HookGroup{"CAMBottomBar", bottomBarHooks()},
      HookGroup{"CAMCameraSpec", cameraSpecHooks()},
  };
  static const HookTable table{functions, groups};
  return table;
}

}  // namespace quorvane::ios7

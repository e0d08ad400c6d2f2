// The iOS 8 library: its identity, its hook table in installation order, and the static
// constructor that the loader runs when it maps the library into Camera or Photos.
#include <array>

#include "capture/CaptureHooks.h"
#include "core/Installation.h"
#include "hud/RuvelProgressHUD.h"
#include "media/MediaHooks.h"
#include "platform/MobileGestalt/MobileGestalt.h"
#include "platform/objc/Object.h"

namespace quorvane {
namespace {

constexpr LibraryIdentity kLibrary{"QuorvaneiOS8", "Tweak", 432, true};

const HookTable& hookTable() {
  static const std::array<FunctionHook, 2> functions{
      functionHook(&MGGetBoolAnswer, &replaced_MGGetBoolAnswer, original_MGGetBoolAnswer),
      functionHook(&CMTimeMake, &replaced_CMTimeMake, original_CMTimeMake),
  };
  static const std::array<HookGroup, 8> groups{
      HookGroup{"PFSlowMotionUtilities", slowMotionUtilitiesHooks()},
      HookGroup{"CAMCaptureController", captureControllerHooks()},
      HookGroup{"PFSlowMotionConfiguration", slowMotionConfigurationHooks()},
      HookGroup{"PFVideoAVObjectBuilder", videoObjectBuilderHooks()},
      // One lookup: the metaclass serves the class method, the class the instance rows.
      HookGroup{"PFVideoAdjustments", videoAdjustmentsHooks()},
      HookGroup{"PUVideoBannerView", videoBannerHooks()},
      HookGroup{"PLManagedAsset", managedAssetHooks()},
      HookGroup{"PLVideoView", videoViewHooks()},
  };
  static const HookTable table{functions, groups};
  return table;
}

}  // namespace
}  // namespace quorvane

__attribute__((constructor)) static void QuorvaneiOS8Loaded() {
  // Code finds the HUD by name whether or not EnableSlalom lets the hooks in; it is made when
  // first asked for, which keeps the app's launch free of it.
  qv::makeClassOnFirstLookup("RuvelProgressHUD", &quorvane::registerRuvelProgressHUD);
  quorvane::startTweak(quorvane::hookTable(), quorvane::kLibrary);
}

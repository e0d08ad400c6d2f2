// The iOS 7 camera view's indicator creation and the capture controller's format choice.
#include <array>
#include <vector>

#include "capture/CameraScreenHooks.h"
#include "capture/CaptureHooks.h"
#include "capture/DeviceFormats.h"
#include "capture/FrameRateChoice.h"
#include "capture/ScopedFlag.h"
#include "ios7/IOS7Hooks.h"

namespace quorvane {

namespace PLCameraView {

void replaced__createSlalomIndicatorIfNecessary(id self, SEL _cmd) {
  ScopedFlag creating(creatingSlalomIndicator);
  original__createSlalomIndicatorIfNecessary(self, _cmd);
}

}  // namespace PLCameraView

namespace PLCameraController {

id replaced__mogulFormatFromDevice_(id self, SEL _cmd, id device) {
  const std::vector<id> formats = elementsOf(qv::send<id>(device, "formats"_sel));
  // No format, or one without ranges, leaves the choice to the stock method.
  const auto fastest = fastestVideoFormat(formatRecordsOf(formats));
  if (!fastest) return original__mogulFormatFromDevice_(self, _cmd, device);
  return formats[*fastest];
}

}  // namespace PLCameraController

namespace ios7 {

std::span<const MethodHook> cameraViewHooks() {
  static const std::array<MethodHook, 3> rows{
      instanceHook(PLCameraView::method__createSlalomIndicatorIfNecessary()),
      showControlsRow(),
      hideControlsRow(),
  };
  return rows;
}

std::span<const MethodHook> cameraControllerHooks() {
  static const std::array<MethodHook, 3> rows{
      mogulFrameRateRow(),
      startPreviewRow(),
      instanceHook(PLCameraController::method__mogulFormatFromDevice_()),
  };
  return rows;
}

}  // namespace ios7
}  // namespace quorvane

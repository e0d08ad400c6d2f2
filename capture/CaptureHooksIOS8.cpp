#include "capture/CaptureHooksIOS8.h"

#include <array>
#include <optional>
#include <vector>

#include "capture/CaptureHooks.h"
#include "capture/DeviceFormats.h"
#include "capture/FrameRateChoice.h"
#include "capture/ScopedFlag.h"
#include "core/Settings.h"
#include "port/Foundation/Foundation.h"

extern "C" {
BOOL noHigh = NO;
}

namespace quorvane {
namespace {

// noHigh is one exported flag, read by CMTimeMake on every thread while the main thread
// configures: relaxed atomic access keeps that free of data races at the cost of a plain load.
bool inConfigurationWindow() {
  return __atomic_load_n(&noHigh, __ATOMIC_RELAXED) != NO;
}

}  // namespace

CMTime replaced_CMTimeMake(CMTimeValue value, CMTimeScale timescale) {
  return original_CMTimeMake(
      value, frameTimescale(inConfigurationWindow(), timescale, settings.MogulFramerate));
}

namespace CAMCaptureController {

BOOL replaced__configureSessionWithCameraMode_cameraDevice_options_(id self, SEL _cmd, long mode,
                                                                    long cameraDevice, id options) {
  // At a rate the slow-motion format refuses, the window would turn the stock frame duration
  // into one the device raises on: it stays shut, the configuration keeps its own durations,
  // and the kickoff refuses the preview with its notice.
  std::optional<ScopedFlag> window;
  if (mogulFramerateSupported()) window.emplace(noHigh);
  return original__configureSessionWithCameraMode_cameraDevice_options_(self, _cmd, mode,
                                                                        cameraDevice, options);
}

namespace {

id slowMotionFormat(id self, SEL _cmd, id device, double frameRate) {
  const std::vector<id> formats = elementsOf(qv::send<id>(device, "formats"_sel));
  const auto choice =
      chooseFormat(qv::send<double>(self, "mogulFrameRate"_sel), formatRecordsOf(formats));
  if (!choice) return original__mogulFormatFromDevice_frameRate_(self, _cmd, device, frameRate);
  return formats[*choice];
}

}  // namespace

id replaced__mogulFormatFromDevice_frameRate_(id self, SEL _cmd, id device, double frameRate) {
  id format = slowMotionFormat(self, _cmd, device, frameRate);
  // The configuration sets its frame durations on this format next. A format narrower than the
  // device's best may not take a frame at the user's rate: the window then closes, and the stock
  // durations, which the format takes, go through instead of one the device raises on.
  if (inConfigurationWindow() && !frameRateAllowed(format, settings.MogulFramerate)) {
    __atomic_store_n(&noHigh, NO, __ATOMIC_RELAXED);
  }
  return format;
}

}  // namespace CAMCaptureController

std::span<const MethodHook> captureControllerHooks() {
  namespace capture = CAMCaptureController;
  static const std::array<MethodHook, 4> rows{
      startPreviewRow(),
      mogulFrameRateRow(),
      instanceHook(capture::method__configureSessionWithCameraMode_cameraDevice_options_()),
      instanceHook(capture::method__mogulFormatFromDevice_frameRate_()),
  };
  return rows;
}

}  // namespace quorvane

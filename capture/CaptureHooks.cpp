#include "capture/CaptureHooks.h"

#include <array>
#include <atomic>
#include <vector>

#include "capture/DeviceFormats.h"
#include "capture/FrameRateChoice.h"
#include "capture/ScopedFlag.h"
#include "core/Settings.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/Saturate.h"

namespace quorvane {

BOOL previewBlocked = NO;

namespace {

// noHigh is one exported flag, read by CMTimeMake on every thread while the main thread
// configures: relaxed atomic access keeps that free of data races at the cost of a plain load.
bool inConfigurationWindow() {
  return std::atomic_ref<BOOL>(noHigh).load(std::memory_order_relaxed) != NO;
}

}  // namespace

BOOL replaced_MGGetBoolAnswer(id question) {
  if (CFEqual(question, CFSTR("RearFacingCameraHFRCapability"))) return YES;
  return original_MGGetBoolAnswer(question);
}

CMTime replaced_CMTimeMake(CMTimeValue value, CMTimeScale timescale) {
  return original_CMTimeMake(
      value, frameTimescale(inConfigurationWindow(), timescale, settings.MogulFramerate));
}

namespace CAMCaptureController {

void replaced__startPreview_(id self, SEL _cmd, id argument) {
  if (previewBlocked) return;
  original__startPreview_(self, _cmd, argument);
}

double replaced_mogulFrameRate(id, SEL) {
  return static_cast<double>(std::uint64_t{settings.MogulFramerate});
}

BOOL replaced__configureSessionWithCameraMode_cameraDevice_options_(id self, SEL _cmd, long mode,
                                                                    long cameraDevice, id options) {
  ScopedFlag window(noHigh);
  return original__configureSessionWithCameraMode_cameraDevice_options_(self, _cmd, mode,
                                                                        cameraDevice, options);
}

id replaced__mogulFormatFromDevice_frameRate_(id self, SEL _cmd, id device, double frameRate) {
  const std::vector<id> formats = elementsOf(qv::send<id>(device, "formats"_sel));
  std::vector<FormatRecord> records;
  records.reserve(formats.size());
  for (id format : formats) records.push_back(formatRecordOf(format));
  const auto choice = chooseFormat(qv::send<double>(self, "mogulFrameRate"_sel), records);
  if (!choice) return original__mogulFormatFromDevice_frameRate_(self, _cmd, device, frameRate);
  return formats[*choice];
}

}  // namespace CAMCaptureController
}  // namespace quorvane

id bestFrameRateRange() {
  using namespace quorvane;
  id device = qv::send<id>(objc_getClass("AVCaptureDevice"), "defaultDeviceWithMediaType:"_sel,
                           AVMediaTypeVideo);
  std::vector<std::vector<id>> ranges;
  std::vector<std::vector<double>> maxFrameRates;
  for (id format : elementsOf(qv::send<id>(device, "formats"_sel))) {
    ranges.push_back(elementsOf(qv::send<id>(format, "videoSupportedFrameRateRanges"_sel)));
    maxFrameRates.emplace_back();
    for (id range : ranges.back()) {
      maxFrameRates.back().push_back(qv::send<double>(range, "maxFrameRate"_sel));
    }
  }
  const auto best = bestRangePosition(maxFrameRates);
  return best ? ranges[best->format][best->range] : nil;
}

long long maximumFPS() {
  id best = bestFrameRateRange();
  if (best == nil) return 30;
  // A rate beyond the integer type saturates instead of overflowing.
  return qv::saturate<long long>(qv::send<double>(best, "maxFrameRate"_sel));
}

namespace quorvane {

std::span<const MethodHook> captureControllerHooks() {
  namespace capture = CAMCaptureController;
  static const std::array<MethodHook, 4> rows{
      instanceHook("_startPreview:", &capture::replaced__startPreview_,
                   capture::original__startPreview_),
      instanceHook("mogulFrameRate", &capture::replaced_mogulFrameRate,
                   capture::original_mogulFrameRate),
      instanceHook("_configureSessionWithCameraMode:cameraDevice:options:",
                   &capture::replaced__configureSessionWithCameraMode_cameraDevice_options_,
                   capture::original__configureSessionWithCameraMode_cameraDevice_options_),
      instanceHook(
          "_mogulFormatFromDevice:frameRate:", &capture::replaced__mogulFormatFromDevice_frameRate_,
          capture::original__mogulFormatFromDevice_frameRate_),
  };
  return rows;
}

}  // namespace quorvane

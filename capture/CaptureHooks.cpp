#include "capture/CaptureHooks.h"

#include <optional>
#include <vector>

#include "capture/CameraScreenRules.h"
#include "capture/DeviceFormats.h"
#include "capture/FrameRateChoice.h"
#include "core/Settings.h"
#include "port/AVFoundation/AVFoundation.h"
#include "port/CoreFoundation/CoreFoundation.h"
#include "port/Foundation/Foundation.h"
#include "port/Foundation/Saturate.h"

namespace quorvane {

BOOL previewBlocked = NO;

BOOL replaced_MGGetBoolAnswer(id question) {
  if (CFEqual(question, CFSTR("RearFacingCameraHFRCapability"))) return YES;
  return original_MGGetBoolAnswer(question);
}

namespace CAMCaptureController {

void replaced__startPreview_(id self, SEL _cmd, id argument) {
  if (previewBlocked) return;
  original__startPreview_(self, _cmd, argument);
}

double replaced_mogulFrameRate(id, SEL) {
  return static_cast<double>(std::uint64_t{settings.MogulFramerate});
}

}  // namespace CAMCaptureController

namespace {

struct BestRange {
  id format = nil;
  id range = nil;
};

// The default video device's range with the greatest maxFrameRate, with its format.
BestRange bestRangeOfDefaultDevice() {
  id device = qv::send<id>(objc_getClass("AVCaptureDevice"), "defaultDeviceWithMediaType:"_sel,
                           AVMediaTypeVideo);
  const std::vector<id> formats = elementsOf(qv::send<id>(device, "formats"_sel));
  std::vector<std::vector<id>> ranges;
  std::vector<std::vector<double>> maxFrameRates;
  for (id format : formats) {
    ranges.push_back(elementsOf(qv::send<id>(format, "videoSupportedFrameRateRanges"_sel)));
    maxFrameRates.emplace_back();
    for (id range : ranges.back()) {
      maxFrameRates.back().push_back(qv::send<double>(range, "maxFrameRate"_sel));
    }
  }
  const auto best = bestRangePosition(maxFrameRates);
  if (!best) return {};
  return {formats[best->format], ranges[best->format][best->range]};
}

}  // namespace

bool mogulFramerateSupported() {
  const std::uint64_t rate = settings.MogulFramerate;
  const BestRange best = bestRangeOfDefaultDevice();
  std::optional<double> bestMaxFrameRate;
  if (best.range != nil) bestMaxFrameRate = qv::send<double>(best.range, "maxFrameRate"_sel);
  if (!previewAllowed(rate, bestMaxFrameRate)) return false;
  // Without any range there is no slow-motion format to set a duration on.
  return best.format == nil || frameRateAllowed(best.format, rate);
}

}  // namespace quorvane

id bestFrameRateRange() {
  return quorvane::bestRangeOfDefaultDevice().range;
}

long long maximumFPS() {
  id best = bestFrameRateRange();
  if (best == nil) return 30;
  // A rate beyond the integer type saturates instead of overflowing.
  return qv::saturate<long long>(qv::send<double>(best, "maxFrameRate"_sel));
}

namespace quorvane {

MethodHook startPreviewRow() {
  return instanceHook(CAMCaptureController::method__startPreview_());
}

MethodHook mogulFrameRateRow() {
  return instanceHook(CAMCaptureController::method_mogulFrameRate());
}

}  // namespace quorvane

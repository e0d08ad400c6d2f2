#include "capture/CaptureHooks.h"

#include <vector>

#include "capture/DeviceFormats.h"
#include "capture/FrameRateChoice.h"
#include "core/Settings.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/Saturate.h"

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

MethodHook startPreviewRow() {
  return instanceHook("_startPreview:", &CAMCaptureController::replaced__startPreview_,
                      CAMCaptureController::original__startPreview_);
}

MethodHook mogulFrameRateRow() {
  return instanceHook("mogulFrameRate", &CAMCaptureController::replaced_mogulFrameRate,
                      CAMCaptureController::original_mogulFrameRate);
}

}  // namespace quorvane

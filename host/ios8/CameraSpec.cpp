// CAMCameraSpec and CAMPadApplicationSpec: what the camera screen asks of the kind of device.
#include <map>

#include "host/ios8/CameraScreen.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/UIKit/UIKit.h"

namespace qv::host {
namespace {

constexpr double kSlowMotionRate = 120;

bool isPhone() {
  return send<NSInteger>(send<id>(objc_getClass("UIDevice"), "currentDevice"_sel),
                         "userInterfaceIdiom"_sel) == UIUserInterfaceIdiomPhone;
}

id specForCurrentDevice(id, SEL) {
  static auto* specs = new std::map<Class, id>;  // one per class, for the life of the app
  Class cls = objc_getClass(isPhone() ? "CAMCameraSpec" : "CAMPadApplicationSpec");
  if (cls == Nil) return nil;
  id& spec = (*specs)[cls];
  if (spec == nil) spec = make(cls).leak();
  return spec;
}

// A camera that records slow motion has a video format reaching 120 frames per second.
BOOL shouldCreateSlalomIndicator(id, SEL) {
  id device = send<id>(objc_getClass("AVCaptureDevice"), "defaultDeviceWithMediaType:"_sel,
                       AVMediaTypeVideo);
  for (id format : arrayElements(send<id>(device, "formats"_sel))) {
    if (!send<BOOL>(send<id>(format, "mediaType"_sel), "isEqualToString:"_sel, AVMediaTypeVideo)) {
      continue;
    }
    for (id range : arrayElements(send<id>(format, "videoSupportedFrameRateRanges"_sel))) {
      if (send<double>(range, "maxFrameRate"_sel) >= kSlowMotionRate) return YES;
    }
  }
  return NO;
}

BOOL specIsPhone(id, SEL) {
  return isPhone() ? YES : NO;
}

}  // namespace

void registerCameraSpecs() {
  Class spec = ClassBuilder("CAMCameraSpec", NSObjectClass())
                   .classMethod("specForCurrentDevice", &specForCurrentDevice)
                   .method("shouldCreateSlalomIndicator", &shouldCreateSlalomIndicator)
                   .method("isPhone", &specIsPhone)
                   .registerClass();
  ClassBuilder("CAMPadApplicationSpec", spec).registerClass();
}

}  // namespace qv::host

#include "host/ios8/CaptureController.h"

#include <algorithm>

#include "host/ios7/CameraController.h"
#include "host/ios8/ControllerCore.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/Foundation/Foundation.h"
#include "platform/MobileGestalt/MobileGestalt.h"
#include "port/Foundation/Saturate.h"

namespace qv::host {
namespace {

// Only a device whose gestalt claims high-frame-rate capture has a slow-motion rate: the best
// rate of its 1280×720 video formats.
double mogulFrameRate(id self, SEL) {
  if (!MGGetBoolAnswer("RearFacingCameraHFRCapability"_ns)) return 0;
  double best = 0;
  for (id format : formatsOf(controllerOf(self).currentDevice)) {
    if (isVideoFormat(format) && isHDFormat(format)) best = std::max(best, bestRateOf(format));
  }
  if (best < 120) return 0;
  const double chosen = controllerOf(self).chosenMogulFrameRate;
  return chosen >= 120 && chosen <= best ? chosen : best;
}

// The format's best rate, or the slower one the user chose between the two the camera has.
double slowMotionRate(id self, id format) {
  const double best = bestRateOf(format);
  const double chosen = controllerOf(self).chosenMogulFrameRate;
  return chosen >= 120 && chosen < best ? chosen : best;
}

void setMogulFrameRate(id self, SEL, double rate) {
  controllerOf(self).chosenMogulFrameRate = rate;
}

id mogulFormatFromDevice(id, SEL, id device, double frameRate) {
  for (id format : formatsOf(device)) {
    if (isVideoFormat(format) && isHDFormat(format) && bestRateOf(format) >= frameRate)
      return format;
  }
  return nil;
}

BOOL configureSession(id self, SEL, long mode, long cameraDevice, id) {
  id device = controllerOf(self).currentDevice;
  if (device == nil || cameraDevice != kBackCamera) return NO;
  const bool slowMotion = mode == kCameraModeSlowMotion;
  id format = slowMotion ? send<id>(self, "_mogulFormatFromDevice:frameRate:"_sel, device,
                                    send<double>(self, "mogulFrameRate"_sel))
                         : largestFormatAtThirty(device);
  if (format == nil || rangesOf(format).empty()) return NO;
  applyFormat(device, format,
              CMTimeMake(1, slowMotion ? saturate<CMTimeScale>(slowMotionRate(self, format)) : 30));
  controllerOf(self).cameraMode = mode;
  return YES;
}

void setCameraModeDevice(id self, SEL, long mode, long cameraDevice) {
  send<BOOL>(self, "_configureSessionWithCameraMode:cameraDevice:options:"_sel, mode, cameraDevice,
             nil);
}

Class registerCaptureControllerClass(const char* name) {
  ClassBuilder builder = controllerClassBuilder(name);
  builder.method("mogulFrameRate", &mogulFrameRate)
      .method("setMogulFrameRate:", &setMogulFrameRate)
      .method("_mogulFormatFromDevice:frameRate:", &mogulFormatFromDevice)
      .method("_configureSessionWithCameraMode:cameraDevice:options:", &configureSession)
      .method("setCameraMode:device:", &setCameraModeDevice);
  return registerControllerClass(builder);
}

}  // namespace

void registerCaptureControllerIOS8() {
  registerCaptureControllerClass("CAMCaptureController");
}

void registerCaptureControllerIOS9() {
  ClassBuilder("CAMCaptureController", registerCaptureControllerClass("CMKCaptureController"))
      .registerClass();
}

void registerCaptureController(HostGeneration generation) {
  switch (generation) {
    case HostGeneration::iOS7:
      return registerCameraControllerIOS7();
    case HostGeneration::iOS8:
      return registerCaptureControllerIOS8();
    case HostGeneration::iOS9:
      return registerCaptureControllerIOS9();
  }
}

}  // namespace qv::host

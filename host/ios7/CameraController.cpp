#include "host/ios7/CameraController.h"

#include "host/ios8/ControllerCore.h"
#include "platform/Foundation/Foundation.h"
#include "platform/MobileGestalt/MobileGestalt.h"
#include "port/Foundation/Saturate.h"

namespace qv::host {
namespace {

id mogulFormatFromDevice(id, SEL, id device) {
  id chosen = nil;
  double best = 0;
  for (id format : formatsOf(device)) {
    if (!isVideoFormat(format) || !isHDFormat(format)) continue;
    const double rate = bestRateOf(format);
    if (chosen == nil || rate > best) {
      chosen = format;
      best = rate;
    }
  }
  return chosen;
}

double mogulFrameRate(id self, SEL) {
  if (!MGGetBoolAnswer("RearFacingCameraHFRCapability"_ns)) return 0;
  id device = controllerOf(self).currentDevice;
  return bestRateOf(send<id>(self, "_mogulFormatFromDevice:"_sel, device));
}

// The configuration checks the rate against the format first: the device raises on a frame
// duration that no range of its active format allows.
BOOL configureSession(id self, SEL, long mode, long cameraDevice) {
  id device = controllerOf(self).currentDevice;
  if (device == nil || cameraDevice != kBackCamera) return NO;
  const bool slowMotion = mode == kCameraModeSlowMotion;
  id format = slowMotion ? send<id>(self, "_mogulFormatFromDevice:"_sel, device)
                         : largestFormatAtThirty(device);
  const double rate = slowMotion ? send<double>(self, "mogulFrameRate"_sel) : 30;
  if (format == nil || !allowsRate(format, rate)) return NO;
  applyFormat(device, format, CMTimeMake(1, saturate<CMTimeScale>(rate)));
  controllerOf(self).cameraMode = mode;
  return YES;
}

void setCameraModeDevice(id self, SEL, long mode, long cameraDevice) {
  send<BOOL>(self, "_configureSessionWithCameraMode:cameraDevice:"_sel, mode, cameraDevice);
}

}  // namespace

void registerCameraControllerIOS7() {
  ClassBuilder builder = controllerClassBuilder("PLCameraController");
  builder.method("mogulFrameRate", &mogulFrameRate)
      .method("_mogulFormatFromDevice:", &mogulFormatFromDevice)
      .method("_configureSessionWithCameraMode:cameraDevice:", &configureSession)
      .method("setCameraMode:device:", &setCameraModeDevice);
  registerControllerClass(builder);
}

}  // namespace qv::host

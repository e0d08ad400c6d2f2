#include "host/ios8/CaptureController.h"

#include <algorithm>
#include <map>
#include <vector>

#include "host/ios8/VideoRecording.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/Saturate.h"
#include "platform/MobileGestalt/MobileGestalt.h"

namespace qv::host {
namespace {

constexpr long kBackCamera = 0;

struct ControllerState {
  Ref<> currentDevice;
  id delegate = nil;  // a delegate is not retained
  long cameraMode = kCameraModePhoto;
  bool previewRunning = false;
  double chosenMogulFrameRate = 0;  // the user's choice between the rates the camera has
};

// The class that defines the methods: CAMCaptureController, or CMKCaptureController from iOS 9.
Class definingClass = Nil;

ControllerState& controllerOf(id self) {
  return stateOf<ControllerState>(self);
}

bool isVideo(id format) {
  return send<BOOL>(send<id>(format, "mediaType"_sel), "isEqualToString:"_sel, AVMediaTypeVideo);
}

bool isHD(id format) {
  const CMVideoDimensions size = CMVideoFormatDescriptionGetDimensions(
      send<CMFormatDescriptionRef>(format, "formatDescription"_sel));
  return size.width == 1280 && size.height == 720;
}

std::vector<id> rangesOf(id format) {
  return arrayElements(send<id>(format, "videoSupportedFrameRateRanges"_sel));
}

double bestRateOf(id format) {
  double best = 0;
  for (id range : rangesOf(format)) best = std::max(best, send<double>(range, "maxFrameRate"_sel));
  return best;
}

bool allowsThirty(id format) {
  for (id range : rangesOf(format)) {
    if (send<double>(range, "minFrameRate"_sel) <= 30 &&
        send<double>(range, "maxFrameRate"_sel) >= 30)
      return true;
  }
  return false;
}

std::vector<id> formatsOf(id device) {
  return arrayElements(send<id>(device, "formats"_sel));
}

id sharedInstance(id cls, SEL) {
  static auto* instances = new std::map<id, id>;  // one per class, for the life of the app
  id& instance = (*instances)[cls];
  if (instance == nil) instance = send<id>(send<id>(cls, "alloc"_sel), "init"_sel);
  return instance;
}

id init(id self, SEL) {
  self = sendSuper<id>(self, definingClass, "init"_sel);
  if (self == nil) return nil;
  controllerOf(self).currentDevice = Ref<>(send<id>(
      objc_getClass("AVCaptureDevice"), "defaultDeviceWithMediaType:"_sel, AVMediaTypeVideo));
  return self;
}

id currentDevice(id self, SEL) {
  return controllerOf(self).currentDevice;
}
id delegate(id self, SEL) {
  return controllerOf(self).delegate;
}
void setDelegate(id self, SEL, id delegate) {
  controllerOf(self).delegate = delegate;
}
long cameraMode(id self, SEL) {
  return controllerOf(self).cameraMode;
}
BOOL isPreviewRunning(id self, SEL) {
  return controllerOf(self).previewRunning ? YES : NO;
}

// Only a device whose gestalt claims high-frame-rate capture has a slow-motion rate: the best
// rate of its 1280×720 video formats.
double mogulFrameRate(id self, SEL) {
  if (!MGGetBoolAnswer("RearFacingCameraHFRCapability"_ns)) return 0;
  double best = 0;
  for (id format : formatsOf(controllerOf(self).currentDevice)) {
    if (isVideo(format) && isHD(format)) best = std::max(best, bestRateOf(format));
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
    if (isVideo(format) && isHD(format) && bestRateOf(format) >= frameRate) return format;
  }
  return nil;
}

id largestFormatAtThirty(id device) {
  const std::vector<id> formats = formatsOf(device);
  for (auto format = formats.rbegin(); format != formats.rend(); ++format) {
    if (isVideo(*format) && allowsThirty(*format)) return *format;
  }
  return nil;
}

void applyFormat(id device, id format, CMTime frameDuration) {
  id error = nil;
  send<BOOL>(device, "lockForConfiguration:"_sel, &error);
  send(device, "setActiveFormat:"_sel, format);
  send(device, "setActiveVideoMinFrameDuration:"_sel, frameDuration);
  send(device, "setActiveVideoMaxFrameDuration:"_sel, frameDuration);
  send(device, "unlockForConfiguration"_sel);
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

void startPreviewWith(id self, SEL, id) {
  controllerOf(self).previewRunning = true;
}
void startPreview(id self, SEL) {
  send(self, "_startPreview:"_sel, nil);
}
void stopPreview(id self, SEL) {
  controllerOf(self).previewRunning = false;
}

Class registerControllerClass(const char* name) {
  definingClass =
      ClassBuilder(name, NSObjectClass())
          .state<ControllerState>()
          .classMethod("sharedInstance", &sharedInstance)
          .method("init", &init)
          .method("currentDevice", &currentDevice)
          .method("delegate", &delegate)
          .method("setDelegate:", &setDelegate)
          .method("mogulFrameRate", &mogulFrameRate)
          .method("setMogulFrameRate:", &setMogulFrameRate)
          .method("_mogulFormatFromDevice:frameRate:", &mogulFormatFromDevice)
          .method("_configureSessionWithCameraMode:cameraDevice:options:", &configureSession)
          .method("setCameraMode:device:", &setCameraModeDevice)
          .method("cameraMode", &cameraMode)
          .method("_startPreview:", &startPreviewWith)
          .method("startPreview", &startPreview)
          .method("stopPreview", &stopPreview)
          .method("isPreviewRunning", &isPreviewRunning)
          .registerClass();
  addVideoRecording(definingClass);
  return definingClass;
}

}  // namespace

void registerCaptureControllerIOS8() {
  registerControllerClass("CAMCaptureController");
}

void registerCaptureControllerIOS9() {
  ClassBuilder("CAMCaptureController", registerControllerClass("CMKCaptureController"))
      .registerClass();
}

void registerCaptureController(HostGeneration generation) {
  switch (generation) {
    case HostGeneration::iOS7:
      return;
    case HostGeneration::iOS8:
      return registerCaptureControllerIOS8();
    case HostGeneration::iOS9:
      return registerCaptureControllerIOS9();
  }
}

}  // namespace qv::host

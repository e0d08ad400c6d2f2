#include "host/ios8/ControllerCore.h"

#include <algorithm>
#include <map>

#include "host/ios8/VideoRecording.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/Foundation/Foundation.h"

namespace qv::host {
namespace {

// The class that defines the shared methods; an app holds one generation's controller.
Class definingClass = Nil;

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

void startPreviewWith(id self, SEL, id) {
  controllerOf(self).previewRunning = true;
}
void startPreview(id self, SEL) {
  send(self, "_startPreview:"_sel, nil);
}
void stopPreview(id self, SEL) {
  controllerOf(self).previewRunning = false;
}

}  // namespace

ControllerState& controllerOf(id controller) {
  return stateOf<ControllerState>(controller);
}

id sharedCaptureController() {
  for (const char* name : {"CAMCaptureController", "PLCameraController"}) {
    if (Class cls = objc_getClass(name)) return send<id>(cls, "sharedInstance"_sel);
  }
  return nil;
}

std::vector<id> formatsOf(id device) {
  return arrayElements(send<id>(device, "formats"_sel));
}

std::vector<id> rangesOf(id format) {
  return arrayElements(send<id>(format, "videoSupportedFrameRateRanges"_sel));
}

bool isVideoFormat(id format) {
  return send<BOOL>(send<id>(format, "mediaType"_sel), "isEqualToString:"_sel, AVMediaTypeVideo);
}

bool isHDFormat(id format) {
  const CMVideoDimensions size = CMVideoFormatDescriptionGetDimensions(
      send<CMFormatDescriptionRef>(format, "formatDescription"_sel));
  return size.width == 1280 && size.height == 720;
}

double bestRateOf(id format) {
  double best = 0;
  for (id range : rangesOf(format)) best = std::max(best, send<double>(range, "maxFrameRate"_sel));
  return best;
}

bool allowsRate(id format, double rate) {
  for (id range : rangesOf(format)) {
    if (send<double>(range, "minFrameRate"_sel) <= rate &&
        rate <= send<double>(range, "maxFrameRate"_sel))
      return true;
  }
  return false;
}

double activeFrameRate(id device) {
  const CMTime frame = send<CMTime>(device, "activeVideoMinFrameDuration"_sel);
  return CMTIME_IS_VALID(frame) && frame.value > 0
             ? static_cast<double>(frame.timescale) / static_cast<double>(frame.value)
             : 0;
}

std::string formatSize(id format) {
  const CMVideoDimensions size = CMVideoFormatDescriptionGetDimensions(
      send<CMFormatDescriptionRef>(format, "formatDescription"_sel));
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

id largestFormatAtThirty(id device) {
  const std::vector<id> formats = formatsOf(device);
  for (auto format = formats.rbegin(); format != formats.rend(); ++format) {
    if (isVideoFormat(*format) && allowsRate(*format, 30)) return *format;
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

ClassBuilder controllerClassBuilder(const char* name) {
  ClassBuilder builder(name, NSObjectClass());
  builder.state<ControllerState>()
      .classMethod("sharedInstance", &sharedInstance)
      .method("init", &init)
      .method("currentDevice", &currentDevice)
      .method("delegate", &delegate)
      .method("setDelegate:", &setDelegate)
      .method("cameraMode", &cameraMode)
      .method("_startPreview:", &startPreviewWith)
      .method("startPreview", &startPreview)
      .method("stopPreview", &stopPreview)
      .method("isPreviewRunning", &isPreviewRunning);
  return builder;
}

Class registerControllerClass(ClassBuilder& builder) {
  definingClass = builder.registerClass();
  addVideoRecording(definingClass);
  return definingClass;
}

}  // namespace qv::host

// AVCaptureDevice: the simulated device's back camera, its formats and its configuration.
#include <mutex>
#include <string>
#include <vector>

#include "platform/AVFoundation/AVFoundation.h"
#include "platform/AVFoundation/CaptureClasses.h"
#include "platform/Foundation/Foundation.h"
#include "platform/System/ForkSafety.h"

id AVMediaTypeVideo = nil;
id AVMediaTypeAudio = nil;

namespace qv::avfoundation {
namespace {

struct DeviceState {
  Ref<> formats;
  Ref<> activeFormat;
  CMTime activeVideoMinFrameDuration = kCMTimeInvalid;
  CMTime activeVideoMaxFrameDuration = kCMTimeInvalid;
  bool lockedForConfiguration = false;
};

DeviceState& deviceOf(id device) {
  return stateOf<DeviceState>(device);
}

struct BackCamera {
  std::mutex mutex;
  Ref<> device;
};

BackCamera& backCamera() {
  static auto* camera = [] {
    auto* made = new BackCamera;  // asked until exit
    guardAcrossFork(made->mutex);
    return made;
  }();
  return *camera;
}

// Fills every part of a platform exception's reason: "*** -[AVCaptureDevice sel] what".
[[noreturn]] void raiseFor(id self, SEL selector, const char* name, const std::string& what) {
  raise(name, "*** " + methodName(self, selector) + " " + what);
}

void requireLock(id self, SEL selector) {
  if (!deviceOf(self).lockedForConfiguration) {
    raiseFor(self, selector, "NSGenericException",
             "Must call lockForConfiguration: before calling this method");
  }
}

void makeActive(DeviceState& device, id format) {
  device.activeFormat = Ref<>(format);
  device.activeVideoMinFrameDuration = defaultFrameDuration(format);
  device.activeVideoMaxFrameDuration = device.activeVideoMinFrameDuration;
}

id defaultDeviceWithMediaType(id, SEL, id mediaType) {
  if (send<BOOL>(mediaType, "isEqualToString:"_sel, AVMediaTypeVideo) == NO) return nil;
  std::lock_guard lock(backCamera().mutex);
  return backCamera().device;
}

BOOL hasMediaType(id, SEL, id mediaType) {
  return send<BOOL>(mediaType, "isEqualToString:"_sel, AVMediaTypeVideo);
}

id localizedName(id, SEL) {
  return "Back Camera"_ns;
}

id formats(id self, SEL) {
  return deviceOf(self).formats;
}

id activeFormat(id self, SEL) {
  return deviceOf(self).activeFormat;
}

void setActiveFormat(id self, SEL selector, id format) {
  requireLock(self, selector);
  const NSUInteger index = send<NSUInteger>(deviceOf(self).formats, "indexOfObject:"_sel, format);
  if (format == nil || index == NSNotFound) {
    raiseFor(self, selector, "NSInvalidArgumentException",
             "Unsupported format - use -formats to discover valid formats");
  }
  makeActive(deviceOf(self), format);
}

BOOL lockForConfiguration(id self, SEL, id* error) {
  deviceOf(self).lockedForConfiguration = true;
  if (error != nullptr) *error = nil;
  return YES;
}

void unlockForConfiguration(id self, SEL) {
  deviceOf(self).lockedForConfiguration = false;
}

CMTime activeVideoMinFrameDuration(id self, SEL) {
  return deviceOf(self).activeVideoMinFrameDuration;
}
CMTime activeVideoMaxFrameDuration(id self, SEL) {
  return deviceOf(self).activeVideoMaxFrameDuration;
}

// Both setters: locked, and a valid duration that one of the active format's ranges allows.
CMTime checkedFrameDuration(id self, SEL selector, CMTime duration) {
  requireLock(self, selector);
  if (!formatAllowsFrameDuration(deviceOf(self).activeFormat, duration)) {
    raiseFor(self, selector, "NSInvalidArgumentException",
             "Unsupported frame duration - use -activeFormat.videoSupportedFrameRateRanges to "
             "discover valid ranges");
  }
  return duration;
}

void setActiveVideoMinFrameDuration(id self, SEL selector, CMTime duration) {
  deviceOf(self).activeVideoMinFrameDuration = checkedFrameDuration(self, selector, duration);
}
void setActiveVideoMaxFrameDuration(id self, SEL selector, CMTime duration) {
  deviceOf(self).activeVideoMaxFrameDuration = checkedFrameDuration(self, selector, duration);
}

Ref<> makeDevice(const std::vector<CaptureFormat>& specs) {
  std::vector<Ref<>> formats;
  for (const CaptureFormat& spec : specs) formats.push_back(makeDeviceFormat(spec));
  Ref<> device = make(captureDeviceClass());
  DeviceState& state = deviceOf(device);
  state.formats = makeArray(std::vector<id>(formats.begin(), formats.end()));
  for (auto format = formats.rbegin(); format != formats.rend(); ++format) {
    if (isVideoFormat(*format)) {
      makeActive(state, *format);
      break;
    }
  }
  return device;
}

__attribute__((constructor(140))) void registerCaptureClasses() {
  AVMediaTypeVideo = detail::immortalString("vide");
  AVMediaTypeAudio = detail::immortalString("soun");
  frameRateRangeClass();
  deviceFormatClass();
  captureDeviceClass();
}

}  // namespace

Class captureDeviceClass() {
  static const Class cls =
      ClassBuilder("AVCaptureDevice", NSObjectClass())
          .state<DeviceState>()
          .classMethod("defaultDeviceWithMediaType:", &defaultDeviceWithMediaType)
          .method("hasMediaType:", &hasMediaType)
          .method("localizedName", &localizedName)
          .method("formats", &formats)
          .method("activeFormat", &activeFormat)
          .method("setActiveFormat:", &setActiveFormat)
          .method("lockForConfiguration:", &lockForConfiguration)
          .method("unlockForConfiguration", &unlockForConfiguration)
          .method("activeVideoMinFrameDuration", &activeVideoMinFrameDuration)
          .method("setActiveVideoMinFrameDuration:", &setActiveVideoMinFrameDuration)
          .method("activeVideoMaxFrameDuration", &activeVideoMaxFrameDuration)
          .method("setActiveVideoMaxFrameDuration:", &setActiveVideoMaxFrameDuration)
          .registerClass();
  return cls;
}

}  // namespace qv::avfoundation

namespace qv {

void setBackCamera(const std::optional<std::vector<CaptureFormat>>& formats) {
  Ref<> device = formats ? avfoundation::makeDevice(*formats) : Ref<>();
  std::lock_guard lock(avfoundation::backCamera().mutex);
  std::swap(avfoundation::backCamera().device, device);
}

}  // namespace qv

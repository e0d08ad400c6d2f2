#include "host/ios8/VideoRecording.h"

#include <cmath>

#include "host/ios8/PhotoLibrary.h"
#include "platform/AVFoundation/Media.h"
#include "platform/AVFoundation/Scene.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/Foundation/Foundation.h"
#include "platform/System/FileSystem.h"
#include "platform/dispatch/Clock.h"

namespace qv::host {
namespace {

struct Recording {
  bool capturing = false;
  std::int64_t started = 0;
  media::ClipSpec clip{30, 0, 0, 0};
  std::function<void(double)> progress;
  std::string lastPath;
};

Recording& recording() {
  static auto* made = new Recording;  // one camera per app
  return *made;
}

// The camera screen, the controller's delegate, follows capture with its controls.
void tellDelegate(id controller, SEL selector) {
  id delegate = send<id>(controller, "delegate"_sel);
  if (responds(delegate, selector)) send(delegate, selector, controller);
}

void startVideoCapture(id self, SEL) {
  Recording& state = recording();
  if (state.capturing) return;
  state.capturing = true;
  state.started = Clock::now();
  state.clip = activeClip(self);
  tellDelegate(self, "cameraControllerDidStartVideoCapture:"_sel);
}

void stopVideoCapture(id self, SEL) {
  Recording& state = recording();
  if (!state.capturing) return;
  state.capturing = false;
  tellDelegate(self, "cameraControllerDidStopVideoCapture:"_sel);
  media::ClipSpec clip = state.clip;
  clip.duration = std::max(static_cast<double>(Clock::now() - state.started) / 1e9,
                           1 / clip.frameRate);  // at least a frame
  const std::string path = nextAlbumPath();
  try {
    media::writeClip(resolvePath(path), clip, state.progress);
  } catch (const std::runtime_error& e) {
    CFLog(kCFLogLevelError, CFSTR("Camera: the recording could not be saved: %s"), e.what());
    return;
  }
  state.lastPath = path;
  importIntoLibrary(path);
}

BOOL isCapturingVideo(id, SEL) {
  return recording().capturing ? YES : NO;
}

}  // namespace

media::ClipSpec activeClip(id controller) {
  id device = send<id>(controller, "currentDevice"_sel);
  const CMVideoDimensions size = CMVideoFormatDescriptionGetDimensions(
      send<CMFormatDescriptionRef>(send<id>(device, "activeFormat"_sel), "formatDescription"_sel));
  const CMTime frame = send<CMTime>(device, "activeVideoMinFrameDuration"_sel);
  const double rate = CMTIME_IS_VALID(frame) && frame.value > 0
                          ? static_cast<double>(frame.timescale) / frame.value
                          : 30;
  media::ClipSpec clip{rate, 0, size.width > 0 ? size.width : 1280,
                       size.height > 0 ? size.height : 720};
  clip.sceneStart = media::sceneTimeNow();
  return clip;
}

void addVideoRecording(Class controllerClass) {
  class_addMethod(controllerClass, sel_registerName("startVideoCapture"), toIMP(&startVideoCapture),
                  "v@:");
  class_addMethod(controllerClass, sel_registerName("stopVideoCapture"), toIMP(&stopVideoCapture),
                  "v@:");
  class_addMethod(controllerClass, sel_registerName("isCapturingVideo"), toIMP(&isCapturingVideo),
                  "B@:");
}

void setRecordingProgress(std::function<void(double done)> progress) {
  recording().progress = std::move(progress);
}

std::string lastRecordingPath() {
  return recording().lastPath;
}

}  // namespace qv::host

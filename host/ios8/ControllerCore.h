// What the capture controllers of every generation share: their state, the methods they answer
// alike, and how they read a device's formats. CAMCaptureController (CaptureController.h) and
// iOS 7's PLCameraController (host/ios7/CameraController.h) are built on it.
//
// Shared messages:
//   +sharedInstance                 one controller per class, on the back camera
//   -currentDevice                  the AVCaptureDevice it configures
//   -delegate -setDelegate:         not retained
//   -cameraMode                     the last mode configured
//   -startPreview -stopPreview      start through _startPreview:, which runs the preview
//   -isPreviewRunning
//   -startVideoCapture -stopVideoCapture -isCapturingVideo   (VideoRecording.h)
#pragma once

#include <objc/runtime.h>

#include <string>
#include <vector>

#include "platform/CoreMedia/CoreMedia.h"
#include "platform/objc/Object.h"

namespace qv::host {

enum CameraMode : long {
  kCameraModePhoto = 0,
  kCameraModeVideo = 1,
  kCameraModeSlowMotion = 2,
};

inline constexpr long kBackCamera = 0;

struct ControllerState {
  Ref<> currentDevice;
  id delegate = nil;  // a delegate is not retained
  long cameraMode = kCameraModePhoto;
  bool previewRunning = false;
  double chosenMogulFrameRate = 0;  // the user's choice between the rates the camera has
};

ControllerState& controllerOf(id controller);

// The running app's capture controller: CAMCaptureController's, else PLCameraController's, or
// nil in an app without one.
id sharedCaptureController();

// A device's formats and what the controllers read of them.
std::vector<id> formatsOf(id device);
std::vector<id> rangesOf(id format);
bool isVideoFormat(id format);
bool isHDFormat(id format);  // 1280×720
double bestRateOf(id format);
bool allowsRate(id format, double rate);  // within one of its ranges

// The device's capture rate, from its active minimum frame duration; 0 without a valid one.
double activeFrameRate(id device);

// A format's dimensions as "1280x720".
std::string formatSize(id format);

// The largest video format that allows 30 frames per second: the photo and video modes' choice.
id largestFormatAtThirty(id device);

// Locks the device, makes the format active at the frame duration, and unlocks it.
void applyFormat(id device, id format, CMTime frameDuration);

// A controller class with the shared messages; the caller adds its generation's own and
// registers it with registerControllerClass.
ClassBuilder controllerClassBuilder(const char* name);

// Registers the class and gives it video recording.
Class registerControllerClass(ClassBuilder& builder);

}  // namespace qv::host

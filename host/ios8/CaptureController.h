// The camera app's capture controller, CAMCaptureController, with the stock behaviour that the
// tweak's hooks change and that the simulator observes.
//
// Messages (NSInteger modes and camera devices, double frame rates), beside the shared ones of
// ControllerCore.h:
//   -mogulFrameRate                 the device's own slow-motion rate (120 or 240; the one
//                                   chosen, where the camera has both), or 0 when the gestalt
//                                   says it has none
//   -setMogulFrameRate:             chooses between the rates the camera has
//   -_mogulFormatFromDevice:frameRate:
//                                   the first 1280×720 video format whose ranges reach the
//                                   rate, else nil
//   -_configureSessionWithCameraMode:cameraDevice:options:
//                                   slow motion (mode 2): the format from the call above at
//                                   mogulFrameRate, both frame durations CMTimeMake(1, the
//                                   format's best rate, or the slower rate chosen); other
//                                   modes: the largest video format that allows 30 fps, at
//                                   CMTimeMake(1, 30). Answers NO, and
//                                   leaves the device alone, without a format or for a camera
//                                   other than the back one (0)
//   -setCameraMode:device:          configures the session for the mode
#pragma once

#include "host/devices/Catalog.h"
#include "host/ios8/ControllerCore.h"

namespace qv::host {

// iOS 8: CAMCaptureController defines the methods.
void registerCaptureControllerIOS8();

// iOS 9: CMKCaptureController defines them, and CAMCaptureController is an empty subclass.
void registerCaptureControllerIOS9();

// The capture controller of the generation: iOS 7's is PLCameraController (host/ios7).
void registerCaptureController(HostGeneration generation);

}  // namespace qv::host

// The iOS 7 Camera's capture controller, PLCameraController, on the controller core that it
// shares with iOS 8's (host/ios8/ControllerCore.h: the shared instance, the device, the
// delegate, the preview and video recording).
//
// Its own messages (NSInteger modes and camera devices, double frame rates):
//   -mogulFrameRate                 the slow-motion rate: the best rate of the format that
//                                   _mogulFormatFromDevice: chooses, or 0 when the gestalt says
//                                   the camera has no high-frame-rate capture
//   -_mogulFormatFromDevice:        the device's slow-motion format: its first 1280×720 video
//                                   format among those reaching the highest rate, else nil
//   -_configureSessionWithCameraMode:cameraDevice:
//                                   slow motion (mode 2): the format from the call above, both
//                                   frame durations CMTimeMake(1, mogulFrameRate); other modes:
//                                   the largest video format that allows 30 fps, at
//                                   CMTimeMake(1, 30). Answers NO, and leaves the device alone,
//                                   without a format, at a rate the format does not allow, or for
//                                   a camera other than the back one (0)
//   -setCameraMode:device:          configures the session for the mode
#pragma once

namespace qv::host {

void registerCameraControllerIOS7();

}  // namespace qv::host

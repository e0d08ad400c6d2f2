// The Camera app of the iOS 8 generation: its application view controller and its start.
//
// CAMApplicationViewController (a UIViewController):
//   -view                               the camera screen, filling the window, black: the
//                                       CAMCameraView (CameraScreen.h) where there is one
//   -_kickoffCameraControllerPreview    starts the capture controller's preview
//                                       ([[CAMCaptureController sharedInstance] startPreview])
// CAMPreviewView (a UIView filling the camera screen): while the preview runs, a grey picture
// captioned with the camera's active format and frame rate, in place of the video.
#pragma once

namespace qv::host {

void registerCameraAppIOS8();

// Opens the app's window with the application view controller at its root and makes the
// camera screen the capture controller's delegate. Needs registerCameraAppIOS8.
void launchCameraAppIOS8();

}  // namespace qv::host

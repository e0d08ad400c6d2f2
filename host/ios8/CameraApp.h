// The Camera app of the iOS 8 generation: its application view controller and its start.
//
// CAMApplicationViewController (a UIViewController):
//   -view                               the camera screen, filling the window
//   -_kickoffCameraControllerPreview    starts the capture controller's preview
//                                       ([[CAMCaptureController sharedInstance] startPreview])
#pragma once

namespace qv::host {

void registerCameraAppIOS8();

// Opens the app's window with the application view controller at its root and makes the
// camera screen the capture controller's delegate. Needs registerCameraAppIOS8.
void launchCameraAppIOS8();

}  // namespace qv::host

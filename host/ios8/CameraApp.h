// The Camera app of the iOS 8 generation, and of iOS 7 under its own class names: its
// application view controller and its start.
//
// CAMApplicationViewController (iOS 7: PLApplicationCameraViewController, a UIViewController):
//   -view                               the camera screen, filling the window, black: the
//                                       CAMCameraView (CameraScreen.h; iOS 7: PLCameraView)
//                                       where there is one
//   -_kickoffCameraControllerPreview    starts the capture controller's preview
//                                       ([[CAMCaptureController sharedInstance] startPreview];
//                                       iOS 7: PLCameraController's)
// CAMPreviewView (iOS 7: PLCameraPreviewView, a UIView filling the camera screen): while the
// preview runs, a grey picture captioned with the camera's active format and frame rate, in place
// of the video.
#pragma once

namespace qv::host {

struct CameraAppClasses {
  const char* viewController;
  const char* cameraView;
  const char* preview;
};

inline constexpr CameraAppClasses kCameraAppIOS8{"CAMApplicationViewController", "CAMCameraView",
                                                 "CAMPreviewView"};
inline constexpr CameraAppClasses kCameraAppIOS7{"PLApplicationCameraViewController",
                                                 "PLCameraView", "PLCameraPreviewView"};

void registerCameraApp(const CameraAppClasses& classes);

// Opens the app's window with the application view controller at its root and makes the
// camera screen the capture controller's delegate. Needs registerCameraApp.
void launchCameraApp();

}  // namespace qv::host

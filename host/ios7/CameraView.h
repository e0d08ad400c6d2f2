// The camera screen of the iOS 7 Camera app: PLCameraView on the camera view that it shares with
// iOS 8's CAMCameraView (host/ios8/CameraScreen.h: the bottom bar, the controls around capture,
// the delegate calls), and the camera's debug slow-motion controls.
//
// PLCameraView (a UIView: the application view controller's view, and the capture controller's
// delegate, on which the camera shows its notices)
//   -setCameraMode:               as CAMCameraView's; then, in slow motion and when the app's
//                                 defaults answer boolForKey:@"PLDebugCowbell" with YES, shows
//                                 the debug controls, and hides them otherwise
//   -_createSlalomIndicatorIfNecessary
//                                 once, when MGGetBoolAnswer answers the rear camera's
//                                 high-frame-rate question with YES: a 40 × 40 indicator in the
//                                 bottom bar showing the controller's mogulFrameRate, without a
//                                 tap action of its own
// PLCameraSlalomDebugView (a UIView in the camera view's top-left corner): the live capture
// rate, the active format and the controller's mogulFrameRate, on a dark panel.
// The app's controller and preview are host/ios8/CameraApp.h's, under their iOS 7 names.
#pragma once

#include <objc/runtime.h>

#include <string>
#include <vector>

namespace qv::host {

void registerCameraViewIOS7();

// The camera view's debug controls, or nil before the camera first showed them.
id slalomDebugView(id cameraView);

// What the debug controls show, line by line, as drawn.
std::vector<std::string> slalomDebugLines();

}  // namespace qv::host

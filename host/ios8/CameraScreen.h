// The camera screen of the iOS 8 Camera app, with the stock behaviour the tweak changes: the
// camera view with its bottom bar and slow-motion indicator, and the device spec classes it
// consults. Frame rates are NSUInteger on the indicator and double on the capture controller.
//
// CAMCameraView (a UIView: the application view controller's view, and the capture
// controller's delegate, on which the camera shows its notices)
//   -_bottomBar                   the CAMBottomBar along the bottom edge, 150 points high
//   -cameraMode -setCameraMode:   setting one (0 photo, 1 video, 2 slow motion) configures the
//                                 capture controller's session for it, creates the indicator in
//                                 slow motion, shows the mode's controls and the indicator's rate
//   -_createSlalomIndicatorIfNecessary
//                                 once, when CAMCameraSpec answers shouldCreateSlalomIndicator
//                                 and isPhone: a 40 × 40 indicator with the stock tap recognizer
//                                 (target the camera view, action _slalomIndicatorTapped:), put
//                                 in the bottom bar and showing the controller's mogulFrameRate
//   -_slalomIndicatorTapped:      where the camera reaches 240 frames per second (so 120 too),
//                                 switches the controller's slow-motion rate between the two and
//                                 configures again; elsewhere nothing
//   -_showControlsForCapturingVideoAnimated:   the controls back (the mode dial); the indicator
//                                 visible in slow motion only
//   -_hideControlsForCapturingVideoAnimated:   the controls away while video is captured, the
//                                 indicator too
//   -cameraControllerDidStartVideoCapture: -cameraControllerDidStopVideoCapture:
//                                 as the capture controller's delegate: hides the controls while
//                                 video is captured, shows them after
// CAMBottomBar (a UIView): the mode dial and the shutter button, drawn
//   -slalomIndicatorView -setSlalomIndicatorView:   the indicator, a child of the bar
//   -_layoutForVerticalOrientation   (from layoutSubviews) the indicator at the bar's right end,
//                                 (width − 55, 20)
// CAMSlalomIndicatorView (a UIView): its rate over "FPS" in a yellow frame
//   -initWithFrame: -framesPerSecond -setFramesPerSecond:
// CAMCameraSpec, and CAMPadApplicationSpec, its subclass for the iPad, which defines no
// shouldCreateSlalomIndicator of its own
//   +specForCurrentDevice         the shared spec object of the device's kind
//   -shouldCreateSlalomIndicator  whether the back camera has a video format reaching 120
//   -isPhone                      whether UIDevice's idiom is the phone's
#pragma once

#include "platform/objc/Object.h"

namespace qv::host {

void registerCameraSpecs();
void registerSlalomIndicatorView();
void registerBottomBar();
void registerCameraView();

// What the camera views of both generations share (iOS 7's PLCameraView, host/ios7): the
// bottom bar, the controls around video capture, the delegate calls and the layout. The caller
// adds setCameraMode: (through applyCameraMode) and _createSlalomIndicatorIfNecessary, and
// registers the class with registerCameraViewClass.
ClassBuilder cameraViewBuilder(const char* name);
Class registerCameraViewClass(ClassBuilder& builder);

// setCameraMode:'s stock work: the bar's dial, the session, the indicator and the controls.
void applyCameraMode(id cameraView, long mode);

// For _createSlalomIndicatorIfNecessary: whether the view's bar lacks its indicator; a new
// 40 × 40 indicator; and putting it in the bar, showing the controller's mogulFrameRate.
bool needsSlalomIndicator(id cameraView);
Ref<> makeSlalomIndicator();
void placeSlalomIndicator(id cameraView, id indicator);

}  // namespace qv::host

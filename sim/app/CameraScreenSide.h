// The app side of the camera screen's steps and observable state: the mode dial, the
// slow-motion indicator, its taps, the alert in front with its text field and buttons, and where
// the screen takes typing and double taps.
#pragma once

#include <objc/runtime.h>

#include <string>

#include "sim/language/Value.h"

namespace qv::sim::app {

// The camera view (CAMCameraView, or iOS 7's PLCameraView) of the app's screen, or nil.
id cameraScreen();

// Each answers why it could not, or an empty text.
std::string setCameraScreenMode(long mode);
std::string tapIndicator(unsigned taps);
std::string typeIntoAlert(const Value& text);
std::string pressAlertButton(const Value& title);

// The indicator as {fps, hidden, frame, recognizers}, and the alert in front as {title,
// message, buttons, text, placeholder, tag}; none when there is none.
Value indicatorState();
Value alertState();

// The iOS 7 camera's debug controls as {hidden, lines}; none before it showed them.
Value debugControlsState();

// The text field being edited as {text, frame} (frame in screen points), none without one; the
// frames of the window's views where a double tap is recognized.
Value firstResponderState();
Value doubleTapAreas();

}  // namespace qv::sim::app

// Video recording by the camera's capture controller: a real clip in the album at the device's
// active format and frame duration, as long as the virtual time between start and stop,
// imported into the photo library when it is written.
//
// CAMCaptureController
//   -startVideoCapture   starts (nothing while recording)
//   -stopVideoCapture    writes and imports the clip; a clip that cannot be written is logged
//                        and left out
//   -isCapturingVideo
#pragma once

#include <objc/runtime.h>

#include <functional>
#include <string>

namespace qv::host {

// Adds the recording methods to the class that defines the controller's methods.
void addVideoRecording(Class controllerClass);

// Seam: called with the share written while a clip is written (the simulator's progress).
void setRecordingProgress(std::function<void(double done)> progress);

// The device path of the last clip recorded in this process; empty before one.
std::string lastRecordingPath();

}  // namespace qv::host

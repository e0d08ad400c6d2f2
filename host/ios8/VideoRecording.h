// Video recording by the camera's capture controller: a real clip in the album at the device's
// active format and frame duration, as long as the virtual time between start and stop, of the
// scene as it was in that time, imported into the photo library when it is written.
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

#include "platform/AVFoundation/Media.h"

namespace qv::host {

// The clip the controller's device captures now: its active format's size (1280×720 without
// one) at its minimum frame duration (30 fps without one), from the scene's time now.
media::ClipSpec activeClip(id controller);

// Adds the recording methods to the class that defines the controller's methods.
void addVideoRecording(Class controllerClass);

// Seam: called with the share written while a clip is written (the simulator's progress).
void setRecordingProgress(std::function<void(double done)> progress);

// The device path of the last clip recorded in this process; empty before one.
std::string lastRecordingPath();

}  // namespace qv::host

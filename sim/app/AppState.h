// State an app process keeps for the supervisor's steps, and the host objects they reach.
#pragma once

#include <objc/runtime.h>

#include "host/AppWindow.h"

namespace qv::sim::app {

// Whether a start_preview step asked for the preview since the last stop_preview.
bool& previewRequested();

// The app's capture controller (CAMCaptureController's or PLCameraController's shared
// instance), or nil.
id captureController();

}  // namespace qv::sim::app

// Capture at the user's frame rate: the replaced capability question, the capture controller's
// rows that both libraries install, and the exported best-frame-rate functions. What only the
// iOS 8 library has (CMTimeMake's window, noHigh) lives in CaptureHooksIOS8.h.
#pragma once

#include "core/Export.h"
#include "core/HookTable.h"
#include "core/Original.h"
#include "port/CoreMedia/CoreMedia.h"

extern "C" {
// The default video device's frame-rate range with the greatest maxFrameRate (the earliest of
// equals), or nil when it has none.
QV_EXPORT id bestFrameRateRange();
// That range's maxFrameRate truncated to a whole number, or 30 without one.
QV_EXPORT long long maximumFPS();
}

namespace quorvane {

// Set once the camera screen refuses the configured rate; from then on no preview starts in
// this process. Main thread only.
extern BOOL previewBlocked;

// Whether slow motion can capture at the MogulFramerate setting: the rate is above 1 and at most
// the whole part of the best range's maximum (30 without a range), and one frame at that rate is
// a duration that the best range's format allows. A rate that fails is refused before the
// preview starts and kept out of the capture configuration, where the device would raise on it.
bool mogulFramerateSupported();

// Answers YES to "RearFacingCameraHFRCapability"; asks the replaced function anything else.
BOOL replaced_MGGetBoolAnswer(id question);
inline OriginalFunction<BOOL(id)> original_MGGetBoolAnswer;

namespace CAMCaptureController {

// Does nothing once previewBlocked is set.
QV_REPLACED_METHOD(void, _startPreview_, "_startPreview:", id argument);

// Answers the MogulFramerate setting.
QV_REPLACED_METHOD(double, mogulFrameRate, "mogulFrameRate");

}  // namespace CAMCaptureController

// Rows both libraries put in their capture controller's group, each in its own place.
MethodHook startPreviewRow();
MethodHook mogulFrameRateRow();

}  // namespace quorvane

// Capture at the user's frame rate: the replaced capability question and CMTimeMake, the four
// replaced CAMCaptureController methods, and the exported best-frame-rate functions.
#pragma once

#include <span>

#include "core/Export.h"
#include "core/HookTable.h"
#include "core/Original.h"
#include "platform/CoreMedia/CoreMedia.h"

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

// Answers YES to "RearFacingCameraHFRCapability"; asks the replaced function anything else.
BOOL replaced_MGGetBoolAnswer(id question);
inline OriginalFunction<BOOL(id)> original_MGGetBoolAnswer;

// Inside the configuration window, timescales above 60 become the MogulFramerate setting.
CMTime replaced_CMTimeMake(CMTimeValue value, CMTimeScale timescale);
inline OriginalFunction<CMTime(CMTimeValue, CMTimeScale)> original_CMTimeMake;

namespace CAMCaptureController {

// Does nothing once previewBlocked is set.
void replaced__startPreview_(id self, SEL _cmd, id argument);
inline Original<void(id)> original__startPreview_;

// Answers the MogulFramerate setting.
double replaced_mogulFrameRate(id self, SEL _cmd);
inline Original<double()> original_mogulFrameRate;

// Opens the configuration window (noHigh) for the replaced implementation's run.
BOOL replaced__configureSessionWithCameraMode_cameraDevice_options_(id self, SEL _cmd, long mode,
                                                                    long cameraDevice, id options);
inline Original<BOOL(long, long, id)>
    original__configureSessionWithCameraMode_cameraDevice_options_;

// Chooses the format itself at 60 frames per second and below.
id replaced__mogulFormatFromDevice_frameRate_(id self, SEL _cmd, id device, double frameRate);
inline Original<id(id, double)> original__mogulFormatFromDevice_frameRate_;

}  // namespace CAMCaptureController

// The CAMCaptureController group's rows of the hook table, in table order.
std::span<const MethodHook> captureControllerHooks();

}  // namespace quorvane

// Capture hooks that only the iOS 8 library has: the configuration window, in which CMTimeMake
// gives frame durations the MogulFramerate timescale, with its exported flag noHigh, and the
// capture controller's own format choice at a given rate.
#pragma once

#include <span>

#include "core/Export.h"
#include "core/HookTable.h"
#include "core/Original.h"
#include "port/CoreMedia/CoreMedia.h"

extern "C" {
// YES while the capture controller configures its session.
QV_EXPORT extern BOOL noHigh;
}

namespace quorvane {

// Inside the configuration window, timescales above 60 become the MogulFramerate setting.
CMTime replaced_CMTimeMake(CMTimeValue value, CMTimeScale timescale);
inline OriginalFunction<CMTime(CMTimeValue, CMTimeScale)> original_CMTimeMake;

namespace CAMCaptureController {

// Opens the configuration window (noHigh) for the replaced implementation's run.
QV_REPLACED_METHOD(BOOL, _configureSessionWithCameraMode_cameraDevice_options_,
                   "_configureSessionWithCameraMode:cameraDevice:options:", long mode,
                   long cameraDevice, id options);

// Chooses the format itself at 60 frames per second and below; closes the configuration window
// when the format does not take a frame at the MogulFramerate setting.
QV_REPLACED_METHOD(id, _mogulFormatFromDevice_frameRate_,
                   "_mogulFormatFromDevice:frameRate:", id device, double frameRate);

}  // namespace CAMCaptureController

// The CAMCaptureController group's rows of the iOS 8 table, in table order.
std::span<const MethodHook> captureControllerHooks();

}  // namespace quorvane

// What the Photos app does with the clip it shows: play it through the builder and the
// configuration, edit its slow-motion section, and export it, as its buttons would.
#pragma once

#include <objc/runtime.h>

#include <functional>
#include <string>

#include "host/ios8/MediaClasses.h"
#include "platform/CoreMedia/CoreMedia.h"

namespace qv::host {

// Plays the view's asset: its slow-motion edit, or for a clip of kind subtype 101 the default
// section at the default rate, or nothing slowed; the view's player plays it from its playhead
// (PhotosUI.h); answers what it played. iOS 7 plays through a
// PLSlalomConfiguration (host/ios7/SlalomClasses.h).
PlaybackPlan playVideo(id videoView);
PlaybackPlan playbackPlanOf(id asset);

// Saves a slow-motion edit of [start, end) seconds: the section set on the asset's adjustments
// (or new default ones), the rate applied again for the clip's frame rate, or on iOS 7 the
// asset's section itself; then the video's information read again. Answers why it could not, or an
// empty text.
std::string editSlowMotion(id videoView, double start, double end);

struct ExportResult {
  std::string presetAsked;  // what exportPresetForAsset:preferredPreset: answered
  CMTime minFrameDuration = kCMTimeInvalid;
  std::string outputPath;  // device path; empty when no session could be made
  long status = 0;         // AVAssetExportSessionStatus
  std::string failure;
};

// Exports the view's asset as the share sheet does: the preset the utilities choose for the
// preferred one, a session configured by them, a file in the export folder. Waits for the end.
ExportResult exportVideo(id videoView, const std::string& preferredPreset,
                         const std::function<void(double done)>& progress = {});

}  // namespace qv::host

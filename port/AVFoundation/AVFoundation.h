// The media types, export presets and file type AVFoundation exports, and the export session's
// status values: the same on every target. Its classes are reached through messages.
#pragma once

#include <objc/runtime.h>

extern "C" {
extern id AVMediaTypeVideo;  // "vide"
extern id AVMediaTypeAudio;  // "soun"

// Export presets: their own names as text.
extern id AVAssetExportPresetPassthrough;
extern id AVAssetExportPresetHighestQuality;
extern id AVAssetExportPresetMediumQuality;
extern id AVAssetExportPresetLowQuality;
extern id AVAssetExportPreset640x480;
extern id AVAssetExportPreset960x540;
extern id AVAssetExportPreset1280x720;
extern id AVAssetExportPreset1920x1080;
extern id AVFileTypeQuickTimeMovie;  // "com.apple.quicktime-movie"
}

enum AVAssetExportSessionStatus : long {
  AVAssetExportSessionStatusUnknown = 0,
  AVAssetExportSessionStatusWaiting,
  AVAssetExportSessionStatusExporting,
  AVAssetExportSessionStatusCompleted,
  AVAssetExportSessionStatusFailed,
  AVAssetExportSessionStatusCancelled,
};

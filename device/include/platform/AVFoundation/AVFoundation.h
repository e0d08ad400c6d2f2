// AVFoundation on the device: the media types and export presets AVFoundation exports, and the
// export session's status values. Its classes are reached through messages.
#pragma once

#include "platform/objc/Object.h"

extern "C" {
extern id AVMediaTypeVideo;
extern id AVMediaTypeAudio;
extern id AVAssetExportPresetPassthrough;
extern id AVAssetExportPresetHighestQuality;
extern id AVAssetExportPresetMediumQuality;
extern id AVAssetExportPresetLowQuality;
extern id AVAssetExportPreset640x480;
extern id AVAssetExportPreset960x540;
extern id AVAssetExportPreset1280x720;
extern id AVAssetExportPreset1920x1080;
extern id AVFileTypeQuickTimeMovie;
}

enum AVAssetExportSessionStatus : long {
  AVAssetExportSessionStatusUnknown = 0,
  AVAssetExportSessionStatusWaiting,
  AVAssetExportSessionStatusExporting,
  AVAssetExportSessionStatusCompleted,
  AVAssetExportSessionStatusFailed,
  AVAssetExportSessionStatusCancelled,
};

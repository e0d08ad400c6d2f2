// AVFoundation: media types, capture devices, assets read from real files and export sessions,
// with the platform's selectors.
//
// Classes, answered through `send`:
//   AVCaptureDevice        +defaultDeviceWithMediaType: -formats -activeFormat -setActiveFormat:
//                          -lockForConfiguration: (an NSError** out-parameter, passed as id*)
//                          -unlockForConfiguration -activeVideoMinFrameDuration
//                          -setActiveVideoMinFrameDuration: -activeVideoMaxFrameDuration
//                          -setActiveVideoMaxFrameDuration: -hasMediaType: -localizedName
//   AVCaptureDeviceFormat  -mediaType -formatDescription -videoSupportedFrameRateRanges
//   AVFrameRateRange       -minFrameRate -maxFrameRate -minFrameDuration -maxFrameDuration
//   AVAsset                +assetWithURL: (an AVURLAsset, -URL) -duration -tracks
//                          -tracksWithMediaType: -isPlayable
//   AVAssetTrack           -mediaType -nominalFrameRate (float) -naturalSize -trackID
//   AVAssetExportSession   +exportSessionWithAsset:presetName: -initWithAsset:presetName: (nil for
//                          a nil asset or an unknown preset) -asset -presetName -outputURL
//                          -setOutputURL: -outputFileType -setOutputFileType:
//                          -minVideoFrameDuration -setMinVideoFrameDuration: (raises
//                          NSInvalidArgumentException for an invalid or non-positive duration)
//                          -exportAsynchronouslyWithCompletionHandler: (on a global queue; the
//                          handler runs there) -status -progress (float)
//
// An asset of a missing, empty, truncated or unreadable file has a zero duration and no tracks.
//
// Like the platform's device, the configuration setters raise: NSGenericException when the
// device is not locked for configuration, NSInvalidArgumentException for a format the device
// does not have, or a frame duration that is invalid or outside every frame-rate range of the
// active format.
#pragma once

#include <string>

#include "platform/AVFoundation/AVCapture.h"
#include "platform/objc/Object.h"
#include "port/AVFoundation/AVFoundation.h"

namespace qv {
// Why a failed export failed (the platform's error, as text); empty otherwise.
std::string exportFailure(id session);
// Why an asset's file cannot be read (the platform's error, as text, naming the device's path);
// empty for an asset with tracks.
std::string assetError(id asset);
}  // namespace qv

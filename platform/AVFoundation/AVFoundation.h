// AVFoundation: media types and capture devices, with the platform's selectors.
//
// Classes, answered through `send`:
//   AVCaptureDevice        +defaultDeviceWithMediaType: -formats -activeFormat -setActiveFormat:
//                          -lockForConfiguration: (an NSError** out-parameter, passed as id*)
//                          -unlockForConfiguration -activeVideoMinFrameDuration
//                          -setActiveVideoMinFrameDuration: -activeVideoMaxFrameDuration
//                          -setActiveVideoMaxFrameDuration: -hasMediaType: -localizedName
//   AVCaptureDeviceFormat  -mediaType -formatDescription -videoSupportedFrameRateRanges
//   AVFrameRateRange       -minFrameRate -maxFrameRate -minFrameDuration -maxFrameDuration
//
// Like the platform's device, the configuration setters raise: NSGenericException when the
// device is not locked for configuration, NSInvalidArgumentException for a format the device
// does not have, or a frame duration that is invalid or outside every frame-rate range of the
// active format.
#pragma once

#include "platform/AVFoundation/AVCapture.h"
#include "platform/objc/Object.h"

extern "C" {
extern id AVMediaTypeVideo;  // "vide"
extern id AVMediaTypeAudio;  // "soun"
}

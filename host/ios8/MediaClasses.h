// The media classes the Camera and Photos apps share, with their stock behaviour.
//
// PFSlowMotionUtilities (class methods)
//   +exportPresetForAsset:preferredPreset:          the preferred preset
//   +configureExportSession:forcePreciseConversion: a minimum frame duration of 1/30 second, as
//                                                   slow motion leaves the device at 30 fps
// PFSlowMotionConfiguration
//   -volumeDuringSlowMotion 0.3, -volumeDuringRampToSlowMotion 0.6 (floats)
// PFVideoAdjustments
//   +defaultSlowMotionTimeRangeForDuration:          the middle half of the clip
//   +defaultSlowMotionRateForNominalFrameRate:       30 over the clip's rate, at most 1 (float)
//   -initWithSlowMotionTimeRange:rate: -copy -slowMotionRate -setSlowMotionRate:
//   -slowMotionTimeRange -setSlowMotionTimeRange:
// PFVideoAVObjectBuilder
//   -initWithVideoAsset:videoAdjustments:  keeps the AVAsset and a copy of the adjustments, in
//                                          the ivars "_videoAsset" and "_videoAdjustments"
//   -videoAsset -videoAdjustments
#pragma once

#include <objc/runtime.h>

#include "platform/CoreMedia/CMTimeRange.h"

namespace qv::host {

void registerMediaClassesIOS8();

// The nominal frame rate of an AVAsset's first video track; 0 without one.
float firstVideoRate(id avAsset);

// What a player follows for one clip, as the builder and the configuration give it.
struct PlaybackPlan {
  double duration = 0;      // of the clip, seconds
  bool slowMotion = false;  // whether a section plays slowed down
  double slowStart = 0;     // seconds
  double slowEnd = 0;
  float rate = 1;  // in the slow section
  float volume = 1;
  float rampVolume = 1;
  double playingTime = 0;  // seconds the whole playback takes
};

// The plan of a builder: its asset's duration, and the slow section of its adjustments (none
// without adjustments, with an empty range or a rate of 1 or more) at the volumes of a new
// PFSlowMotionConfiguration.
PlaybackPlan playbackPlan(id builder);

}  // namespace qv::host

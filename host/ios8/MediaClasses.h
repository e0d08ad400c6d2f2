// The media classes the Camera and Photos apps share, with their stock behaviour.
//
// PFSlowMotionUtilities (class methods; iOS 7 has them as PLSlalomUtilities)
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

#include "port/CoreMedia/CMTimeRange.h"

namespace qv::host {

// The volumes a new slow-motion configuration plays at, in either generation.
inline constexpr float kStockSlowMotionVolume = 0.3f;
inline constexpr float kStockRampVolume = 0.6f;

void registerMediaClassesIOS8();

// The export utilities' class with their stock class methods, under the generation's name.
void registerExportUtilities(const char* className);

// The export utilities of the app's generation, or Nil.
Class exportUtilitiesClass();

// The stock slow-motion section of a clip (its middle half; empty for no duration) and the stock
// rate for a clip's frame rate (30 over it, at most 1).
CMTimeRange stockSlowMotionRange(CMTime duration);
float stockSlowMotionRate(float frameRate);

// The default section as the app's media classes give it.
CMTimeRange defaultSlowMotionRange(CMTime duration);

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

// A clip of `duration` seconds whose section plays at `rate`; nothing is slowed for an empty
// section or a rate of 1 or more. Volumes stay 1.
PlaybackPlan slowedPlan(double duration, CMTimeRange section, float rate);

// The plan of a builder: its asset's duration, and the slow section of its adjustments (none
// without adjustments, with an empty range or a rate of 1 or more) at the volumes of a new
// PFSlowMotionConfiguration.
PlaybackPlan playbackPlan(id builder);

}  // namespace qv::host

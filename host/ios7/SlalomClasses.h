// iOS 7's slow-motion media classes, with their stock behaviour. iOS 7 has no PFVideoAdjustments:
// a clip's slow section is the asset's own (PLManagedAsset -slalomTimeRange), and the player
// takes its rate and volumes from a PLSlalomConfiguration it fills in itself.
//
// PLSlalomConfiguration: a new one plays at rate 1 and full volume
//   -setRate: -rate  -setVolumeDuringSlalom: -volumeDuringSlalom
//   -setVolumeDuringRampToSlalom: -volumeDuringRampToSlalom      (floats)
// PLSlalomUtilities (class methods): as PFSlowMotionUtilities (host/ios8/MediaClasses.h)
//   +exportPresetForAsset:preferredPreset: +configureExportSession:forcePreciseConversion:
#pragma once

#include <objc/runtime.h>

#include <optional>

#include "host/ios8/MediaClasses.h"

namespace qv::host {

void registerSlalomClassesIOS7();

// What iOS 7's player plays for a clip (an AVAsset) with the slow section, if any: it creates a
// configuration, sets the stock rate for the clip's frame rate and the stock volumes through its
// setters, and follows what the configuration then holds.
PlaybackPlan slalomPlaybackPlan(id avAsset, std::optional<CMTimeRange> section);

}  // namespace qv::host

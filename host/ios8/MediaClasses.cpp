#include "host/ios8/MediaClasses.h"

#include <algorithm>

#include "platform/AVFoundation/AVFoundation.h"
#include "platform/Foundation/Foundation.h"

namespace qv::host {
namespace {

// The export utilities (PFSlowMotionUtilities, iOS 7's PLSlalomUtilities).

id exportPresetForAsset(id, SEL, id, id preferredPreset) {
  return preferredPreset;
}

void configureExportSession(id, SEL, id session, BOOL) {
  send(session, "setMinVideoFrameDuration:"_sel, CMTimeMake(1, 30));
}

// PFSlowMotionConfiguration.

float volumeDuringSlowMotion(id, SEL) {
  return kStockSlowMotionVolume;
}
float volumeDuringRampToSlowMotion(id, SEL) {
  return kStockRampVolume;
}

// PFVideoAdjustments.

struct AdjustmentsState {
  CMTimeRange slowMotionTimeRange = kCMTimeRangeZero;
  float slowMotionRate = 1;
};

AdjustmentsState& adjustmentsOf(id self) {
  return stateOf<AdjustmentsState>(self);
}

CMTimeRange defaultSlowMotionTimeRangeForDuration(id, SEL, CMTime duration) {
  return stockSlowMotionRange(duration);
}

float defaultSlowMotionRateForNominalFrameRate(id, SEL, float frameRate) {
  return stockSlowMotionRate(frameRate);
}

id initWithSlowMotionTimeRangeRate(id self, SEL, CMTimeRange range, float rate) {
  self = send<id>(self, "init"_sel);
  if (self == nil) return nil;
  adjustmentsOf(self).slowMotionTimeRange = range;
  adjustmentsOf(self).slowMotionRate = rate;
  return self;
}

id copyAdjustments(id self, SEL, void*) {
  const AdjustmentsState& state = adjustmentsOf(self);
  return send<id>(send<id>(object_getClass(self), "alloc"_sel),
                  "initWithSlowMotionTimeRange:rate:"_sel, state.slowMotionTimeRange,
                  state.slowMotionRate);
}

float slowMotionRate(id self, SEL) {
  return adjustmentsOf(self).slowMotionRate;
}
void setSlowMotionRate(id self, SEL, float rate) {
  adjustmentsOf(self).slowMotionRate = rate;
}
CMTimeRange slowMotionTimeRange(id self, SEL) {
  return adjustmentsOf(self).slowMotionTimeRange;
}
void setSlowMotionTimeRange(id self, SEL, CMTimeRange range) {
  adjustmentsOf(self).slowMotionTimeRange = range;
}

// PFVideoAVObjectBuilder.

Ivar builderIvar(const char* name) {
  return class_getInstanceVariable(objc_getClass("PFVideoAVObjectBuilder"), name);
}

id initWithVideoAssetVideoAdjustments(id self, SEL, id asset, id adjustments) {
  self = send<id>(self, "init"_sel);
  if (self == nil) return nil;
  object_setIvar(self, builderIvar("_videoAsset"), retain(asset));
  object_setIvar(self, builderIvar("_videoAdjustments"), send<id>(adjustments, "copy"_sel));
  return self;
}

id videoAsset(id self, SEL) {
  return object_getIvar(self, builderIvar("_videoAsset"));
}
id videoAdjustments(id self, SEL) {
  return object_getIvar(self, builderIvar("_videoAdjustments"));
}

void deallocBuilder(id self, SEL) {
  release(object_getIvar(self, builderIvar("_videoAsset")));
  release(object_getIvar(self, builderIvar("_videoAdjustments")));
  sendSuper(self, objc_getClass("PFVideoAVObjectBuilder"), "dealloc"_sel);
}

}  // namespace

CMTimeRange stockSlowMotionRange(CMTime duration) {
  if (!CMTIME_IS_VALID(duration) || duration.timescale <= 0 || duration.value <= 0) {
    return kCMTimeRangeZero;
  }
  const CMTime quarter{duration.value / 4, duration.timescale, kCMTimeFlags_Valid, 0};
  const CMTime half{duration.value / 2, duration.timescale, kCMTimeFlags_Valid, 0};
  return CMTimeRangeMake(quarter, half);
}

float stockSlowMotionRate(float frameRate) {
  return frameRate > 30 ? 30 / frameRate : 1.0f;
}

CMTimeRange defaultSlowMotionRange(CMTime duration) {
  Class adjustments = objc_getClass("PFVideoAdjustments");
  if (adjustments == Nil) return stockSlowMotionRange(duration);
  return send<CMTimeRange>(adjustments, "defaultSlowMotionTimeRangeForDuration:"_sel, duration);
}

void registerExportUtilities(const char* className) {
  ClassBuilder(className, NSObjectClass())
      .classMethod("exportPresetForAsset:preferredPreset:", &exportPresetForAsset)
      .classMethod("configureExportSession:forcePreciseConversion:", &configureExportSession)
      .registerClass();
}

Class exportUtilitiesClass() {
  Class utilities = objc_getClass("PFSlowMotionUtilities");
  return utilities != Nil ? utilities : objc_getClass("PLSlalomUtilities");
}

void registerMediaClassesIOS8() {
  registerExportUtilities("PFSlowMotionUtilities");
  ClassBuilder("PFSlowMotionConfiguration", NSObjectClass())
      .method("volumeDuringSlowMotion", &volumeDuringSlowMotion)
      .method("volumeDuringRampToSlowMotion", &volumeDuringRampToSlowMotion)
      .registerClass();
  ClassBuilder("PFVideoAdjustments", NSObjectClass())
      .state<AdjustmentsState>()
      .classMethod("defaultSlowMotionTimeRangeForDuration:", &defaultSlowMotionTimeRangeForDuration)
      .classMethod("defaultSlowMotionRateForNominalFrameRate:",
                   &defaultSlowMotionRateForNominalFrameRate)
      .method("initWithSlowMotionTimeRange:rate:", &initWithSlowMotionTimeRangeRate)
      .method("copyWithZone:", &copyAdjustments)
      .method("slowMotionRate", &slowMotionRate)
      .method("setSlowMotionRate:", &setSlowMotionRate)
      .method("slowMotionTimeRange", &slowMotionTimeRange)
      .method("setSlowMotionTimeRange:", &setSlowMotionTimeRange)
      .registerClass();
  ClassBuilder("PFVideoAVObjectBuilder", NSObjectClass())
      .ivar<id>("_videoAsset")
      .ivar<id>("_videoAdjustments")
      .method("initWithVideoAsset:videoAdjustments:", &initWithVideoAssetVideoAdjustments)
      .method("videoAsset", &videoAsset)
      .method("videoAdjustments", &videoAdjustments)
      .method("dealloc", &deallocBuilder)
      .registerClass();
}

float firstVideoRate(id avAsset) {
  const std::vector<id> tracks =
      arrayElements(send<id>(avAsset, "tracksWithMediaType:"_sel, AVMediaTypeVideo));
  return tracks.empty() ? 0 : send<float>(tracks.front(), "nominalFrameRate"_sel);
}

PlaybackPlan slowedPlan(double duration, CMTimeRange section, float rate) {
  PlaybackPlan plan;
  plan.duration = duration > 0 ? duration : 0;
  plan.playingTime = plan.duration;
  const double start = std::clamp(CMTimeGetSeconds(section.start), 0.0, plan.duration);
  const double end = std::clamp(CMTimeGetSeconds(CMTimeRangeGetEnd(section)), start, plan.duration);
  if (!(rate > 0) || rate >= 1 || !(end > start)) return plan;
  plan.slowMotion = true;
  plan.slowStart = start;
  plan.slowEnd = end;
  plan.rate = rate;
  plan.playingTime = plan.duration - (end - start) + (end - start) / rate;
  return plan;
}

PlaybackPlan playbackPlan(id builder) {
  const double duration =
      CMTimeGetSeconds(send<CMTime>(send<id>(builder, "videoAsset"_sel), "duration"_sel));
  id adjustments = send<id>(builder, "videoAdjustments"_sel);
  PlaybackPlan plan =
      slowedPlan(duration, send<CMTimeRange>(adjustments, "slowMotionTimeRange"_sel),
                 send<float>(adjustments, "slowMotionRate"_sel));
  if (!plan.slowMotion) return plan;
  Ref<> configuration = make(objc_getClass("PFSlowMotionConfiguration"));
  plan.volume = send<float>(configuration.get(), "volumeDuringSlowMotion"_sel);
  plan.rampVolume = send<float>(configuration.get(), "volumeDuringRampToSlowMotion"_sel);
  return plan;
}

}  // namespace qv::host

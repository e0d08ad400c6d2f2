// Export preset and frame duration, slow-motion volumes, the builder's slow-motion range and
// the playback rate.
#include <array>
#include <atomic>
#include <limits>
#include <vector>

#include "core/Settings.h"
#include "media/MediaHooks.h"
#include "port/AVFoundation/AVFoundation.h"
#include "port/Foundation/Foundation.h"

namespace quorvane {

float firstVideoTrackRate(id asset) {
  const std::vector<id> tracks =
      qv::arrayElements(qv::send<id>(asset, "tracksWithMediaType:"_sel, AVMediaTypeVideo));
  return tracks.empty() ? 0 : qv::send<float>(tracks.front(), "nominalFrameRate"_sel);
}

namespace PFSlowMotionUtilities {

id replaced_exportPresetForAsset_preferredPreset_(id self, SEL _cmd, id asset, id preferredPreset) {
  const bool mail =
      qv::send<BOOL>(preferredPreset, "hasPrefix:"_sel, "AVAssetExportPresetMail"_ns) != NO;
  id preset = mail && settings.mailMax == 1 ? "AVAssetExportPresetHighestQuality"_ns
                                            : AVAssetExportPresetPassthrough;
  return original_exportPresetForAsset_preferredPreset_(self, _cmd, asset, preset);
}

void replaced_configureExportSession_forcePreciseConversion_(id self, SEL _cmd, id session,
                                                             BOOL forcePreciseConversion) {
  original_configureExportSession_forcePreciseConversion_(self, _cmd, session,
                                                          forcePreciseConversion);
  // A rate that is no positive 32-bit timescale would make an invalid time, which the session
  // refuses by raising: the stock duration stays instead.
  const std::uint64_t rate = settings.MogulFramerate;
  if (rate == 0 || rate > static_cast<std::uint64_t>(std::numeric_limits<CMTimeScale>::max())) {
    return;
  }
  qv::send(session, "setMinVideoFrameDuration:"_sel, CMTimeMake(1, static_cast<CMTimeScale>(rate)));
}

}  // namespace PFSlowMotionUtilities

namespace PFSlowMotionConfiguration {

float replaced_volumeDuringSlowMotion(id, SEL) {
  return settings.volumeRamp;
}

float replaced_volumeDuringRampToSlowMotion(id, SEL) {
  return settings.volumeRamp;
}

}  // namespace PFSlowMotionConfiguration

namespace PFVideoAdjustments {

Class videoAdjustmentsClass() {
  // Concurrent first lookups all store the one class the runtime has under that name.
  static std::atomic<Class> cached{Nil};
  Class cls = cached.load(std::memory_order_acquire);
  if (cls == Nil) {
    cls = objc_getClass("PFVideoAdjustments");
    if (cls != Nil) cached.store(cls, std::memory_order_release);
  }
  return cls;
}

float replaced_defaultSlowMotionRateForNominalFrameRate_(id, SEL, float) {
  return settings.rate;
}

float replaced_slowMotionRate(id, SEL) {
  return settings.rate;
}

void replaced_setSlowMotionRate_(id self, SEL _cmd, float) {
  original_setSlowMotionRate_(self, _cmd, settings.rate);
}

}  // namespace PFVideoAdjustments

namespace PFVideoAVObjectBuilder {
namespace {

Ivar adjustmentsIvar(id builder) {
  return class_getInstanceVariable(object_getClass(builder), "_videoAdjustments");
}

// New adjustments at the rate setting, a copy of which the builder then owns.
void giveNewAdjustments(id builder, id asset, Class adjustmentsClass, CMTimeRange range) {
  const float rate =
      qv::send<float>(adjustmentsClass, "defaultSlowMotionRateForNominalFrameRate:"_sel,
                      firstVideoTrackRate(asset));
  id created = qv::send<id>(qv::send<id>(adjustmentsClass, "alloc"_sel),
                            "initWithSlowMotionTimeRange:rate:"_sel, range, rate);
  Ivar ivar = adjustmentsIvar(builder);
  if (ivar != nullptr) object_setIvar(builder, ivar, qv::send<id>(created, "copy"_sel));
  qv::release(created);
}

}  // namespace

id replaced_initWithVideoAsset_videoAdjustments_(id self, SEL _cmd, id asset, id adjustments) {
  id builder = original_initWithVideoAsset_videoAdjustments_(self, _cmd, asset, adjustments);
  if (builder == nil) return nil;
  if (asset == nil || !settings.ForceSlalom) return builder;
  const CMTime duration = qv::send<CMTime>(asset, "duration"_sel);
  Class adjustmentsClass = PFVideoAdjustments::videoAdjustmentsClass();
  const CMTimeRange range =
      adjustmentsClass != Nil
          ? qv::send<CMTimeRange>(adjustmentsClass, "defaultSlowMotionTimeRangeForDuration:"_sel,
                                  duration)
          : CMTimeRange{};
  if (adjustments == nil) giveNewAdjustments(builder, asset, adjustmentsClass, range);
  Ivar ivar = adjustmentsIvar(builder);
  id held = ivar != nullptr ? object_getIvar(builder, ivar) : nil;
  qv::send(held, "setSlowMotionTimeRange:"_sel, range);
  return builder;
}

}  // namespace PFVideoAVObjectBuilder

std::span<const MethodHook> slowMotionUtilitiesHooks() {
  namespace utilities = PFSlowMotionUtilities;
  static const std::array<MethodHook, 2> rows{
      classHook(utilities::method_exportPresetForAsset_preferredPreset_()),
      classHook(utilities::method_configureExportSession_forcePreciseConversion_()),
  };
  return rows;
}

std::span<const MethodHook> slowMotionConfigurationHooks() {
  namespace configuration = PFSlowMotionConfiguration;
  static const std::array<MethodHook, 2> rows{
      instanceHook(configuration::method_volumeDuringSlowMotion()),
      instanceHook(configuration::method_volumeDuringRampToSlowMotion()),
  };
  return rows;
}

std::span<const MethodHook> videoObjectBuilderHooks() {
  namespace builder = PFVideoAVObjectBuilder;
  static const std::array<MethodHook, 1> rows{
      instanceHook(builder::method_initWithVideoAsset_videoAdjustments_()),
  };
  return rows;
}

std::span<const MethodHook> videoAdjustmentsHooks() {
  namespace adjustments = PFVideoAdjustments;
  static const std::array<MethodHook, 3> rows{
      classHook(adjustments::method_defaultSlowMotionRateForNominalFrameRate_()),
      instanceHook(adjustments::method_slowMotionRate()),
      instanceHook(adjustments::method_setSlowMotionRate_()),
  };
  return rows;
}

}  // namespace quorvane

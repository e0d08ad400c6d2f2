// Playback, edit and export with the user's settings: the twelve replaced methods of the media,
// Photos UI and photo-library classes, and their rows of the hook table by group.
#pragma once

#include <span>

#include "core/HookTable.h"
#include "core/Original.h"
#include "port/CoreMedia/CMTimeRange.h"

namespace quorvane {

// Kind subtype of a slow-motion video, and the saved-asset type of an adjusted slow-motion save.
inline constexpr int kSlowMotionKindSubtype = 101;
inline constexpr unsigned kSlowMotionSavedAssetType = 3;

namespace PFSlowMotionUtilities {

// A mail preset becomes the highest quality with mailMax 1; everything else passthrough.
QV_REPLACED_METHOD(id, exportPresetForAsset_preferredPreset_,
                   "exportPresetForAsset:preferredPreset:", id asset, id preferredPreset);

// After the stock configuration, one frame at MogulFramerate as the minimum frame duration.
QV_REPLACED_METHOD(void, configureExportSession_forcePreciseConversion_,
                   "configureExportSession:forcePreciseConversion:", id session,
                   BOOL forcePreciseConversion);

}  // namespace PFSlowMotionUtilities

namespace PFSlowMotionConfiguration {

// Both answer the volumeRamp setting.
QV_REPLACED_METHOD(float, volumeDuringSlowMotion, "volumeDuringSlowMotion");
QV_REPLACED_METHOD(float, volumeDuringRampToSlowMotion, "volumeDuringRampToSlowMotion");

}  // namespace PFSlowMotionConfiguration

namespace PFVideoAVObjectBuilder {

// With ForceSlalom, every video gets the default slow-motion range (and, without adjustments,
// new ones at the rate setting).
QV_REPLACED_METHOD(id, initWithVideoAsset_videoAdjustments_,
                   "initWithVideoAsset:videoAdjustments:", id asset, id adjustments);

}  // namespace PFVideoAVObjectBuilder

namespace PFVideoAdjustments {

// The class, looked up by name on first use and kept once found.
Class videoAdjustmentsClass();

// The rate setting, whatever the clip's rate (class method).
QV_REPLACED_METHOD(float, defaultSlowMotionRateForNominalFrameRate_,
                   "defaultSlowMotionRateForNominalFrameRate:", float frameRate);

QV_REPLACED_METHOD(float, slowMotionRate, "slowMotionRate");

// Stores the rate setting in place of the argument.
QV_REPLACED_METHOD(void, setSlowMotionRate_, "setSlowMotionRate:", float rate);

}  // namespace PFVideoAdjustments

namespace PUVideoBannerView {

// The slow-motion badge for every subtype with ForceSlalom.
QV_REPLACED_METHOD(id, _badgeImageForVideoSubtype_, "_badgeImageForVideoSubtype:", long subtype);

}  // namespace PUVideoBannerView

namespace PLManagedAsset {

// Marks a clip whose readable rate reaches MogulFramerate, a forced one, and an adjusted
// slow-motion save, as slow motion.
QV_REPLACED_METHOD(BOOL, setVideoInfoFromFileAtURL_fullSizeRenderURL_overwriteOriginalProperties_,
                   "setVideoInfoFromFileAtURL:fullSizeRenderURL:overwriteOriginalProperties:",
                   id fileURL, id renderURL, BOOL overwrite);

// YES for every video with ForceSlalom.
QV_REPLACED_METHOD(BOOL, isMogul, "isMogul");

}  // namespace PLManagedAsset

namespace PLVideoView {

// The editor for forced or slow-motion videos, or where the platform offers it.
QV_REPLACED_METHOD(BOOL, _shouldShowSlalomEditor, "_shouldShowSlalomEditor");

}  // namespace PLVideoView

// The nominal frame rate of an AVAsset's first video track; 0 without one.
float firstVideoTrackRate(id asset);

// The asset a PLVideoView shows, read from its ivar "_videoCameraImage" by name; nil without one.
id shownAsset(id videoView);

// The groups' rows, in table order.
std::span<const MethodHook> slowMotionUtilitiesHooks();  // class methods
std::span<const MethodHook> slowMotionConfigurationHooks();
std::span<const MethodHook> videoObjectBuilderHooks();
std::span<const MethodHook> videoAdjustmentsHooks();  // the class method, then two instance rows
std::span<const MethodHook> videoBannerHooks();
std::span<const MethodHook> managedAssetHooks();
std::span<const MethodHook> videoViewHooks();

}  // namespace quorvane

// Playback, edit and export with the user's settings: the twelve replaced methods of the media,
// Photos UI and photo-library classes, and their rows of the hook table by group.
#pragma once

#include <span>

#include "core/HookTable.h"
#include "core/Original.h"
#include "platform/CoreMedia/CMTimeRange.h"

namespace quorvane {

// Kind subtype of a slow-motion video, and the saved-asset type of an adjusted slow-motion save.
inline constexpr int kSlowMotionKindSubtype = 101;
inline constexpr unsigned kSlowMotionSavedAssetType = 3;

namespace PFSlowMotionUtilities {

// A mail preset becomes the highest quality with mailMax 1; everything else passthrough.
id replaced_exportPresetForAsset_preferredPreset_(id self, SEL _cmd, id asset, id preferredPreset);
inline Original<id(id, id)> original_exportPresetForAsset_preferredPreset_;

// After the stock configuration, one frame at MogulFramerate as the minimum frame duration.
void replaced_configureExportSession_forcePreciseConversion_(id self, SEL _cmd, id session,
                                                             BOOL forcePreciseConversion);
inline Original<void(id, BOOL)> original_configureExportSession_forcePreciseConversion_;

}  // namespace PFSlowMotionUtilities

namespace PFSlowMotionConfiguration {

// Both answer the volumeRamp setting.
float replaced_volumeDuringSlowMotion(id self, SEL _cmd);
inline Original<float()> original_volumeDuringSlowMotion;
float replaced_volumeDuringRampToSlowMotion(id self, SEL _cmd);
inline Original<float()> original_volumeDuringRampToSlowMotion;

}  // namespace PFSlowMotionConfiguration

namespace PFVideoAVObjectBuilder {

// With ForceSlalom, every video gets the default slow-motion range (and, without adjustments,
// new ones at the rate setting).
id replaced_initWithVideoAsset_videoAdjustments_(id self, SEL _cmd, id asset, id adjustments);
inline Original<id(id, id)> original_initWithVideoAsset_videoAdjustments_;

}  // namespace PFVideoAVObjectBuilder

namespace PFVideoAdjustments {

// The class, looked up by name on first use and kept once found.
Class videoAdjustmentsClass();

// The rate setting, whatever the clip's rate (class method).
float replaced_defaultSlowMotionRateForNominalFrameRate_(id self, SEL _cmd, float frameRate);
inline Original<float(float)> original_defaultSlowMotionRateForNominalFrameRate_;

float replaced_slowMotionRate(id self, SEL _cmd);
inline Original<float()> original_slowMotionRate;

// Stores the rate setting in place of the argument.
void replaced_setSlowMotionRate_(id self, SEL _cmd, float rate);
inline Original<void(float)> original_setSlowMotionRate_;

}  // namespace PFVideoAdjustments

namespace PUVideoBannerView {

// The slow-motion badge for every subtype with ForceSlalom.
id replaced__badgeImageForVideoSubtype_(id self, SEL _cmd, long subtype);
inline Original<id(long)> original__badgeImageForVideoSubtype_;

}  // namespace PUVideoBannerView

namespace PLManagedAsset {

// Marks a clip whose readable rate reaches MogulFramerate, a forced one, and an adjusted
// slow-motion save, as slow motion.
BOOL replaced_setVideoInfoFromFileAtURL_fullSizeRenderURL_overwriteOriginalProperties_(
    id self, SEL _cmd, id fileURL, id renderURL, BOOL overwrite);
inline Original<BOOL(id, id, BOOL)>
    original_setVideoInfoFromFileAtURL_fullSizeRenderURL_overwriteOriginalProperties_;

// YES for every video with ForceSlalom.
BOOL replaced_isMogul(id self, SEL _cmd);
inline Original<BOOL()> original_isMogul;

}  // namespace PLManagedAsset

namespace PLVideoView {

// The editor for forced or slow-motion videos, or where the platform offers it.
BOOL replaced__shouldShowSlalomEditor(id self, SEL _cmd);
inline Original<BOOL()> original__shouldShowSlalomEditor;

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

// The replacements only the iOS 7 library has: its camera view's indicator creation and its
// capture controller's format choice (the iOS 7 forms of two iOS 8 replacements), the three
// slow-motion configuration setters that apply the playback settings, and the user defaults'
// answer for the camera's debug key. Their rows, with the rows shared with the iOS 8 library,
// form the iOS 7 table's groups.
#pragma once

#include <span>

#include "core/HookTable.h"
#include "core/Original.h"

namespace quorvane {

namespace PLCameraView {

// Lets isPhone pass while the stock creation runs; nothing else.
void replaced__createSlalomIndicatorIfNecessary(id self, SEL _cmd);
inline Original<void()> original__createSlalomIndicatorIfNecessary;

}  // namespace PLCameraView

namespace PLCameraController {

// The video format with the best frame-rate range, when the first range of that format is above
// 30 frames per second; otherwise the stock choice.
id replaced__mogulFormatFromDevice_(id self, SEL _cmd, id device);
inline Original<id(id)> original__mogulFormatFromDevice_;

}  // namespace PLCameraController

namespace PLSlalomConfiguration {

// Each passes a setting on in place of the argument: rate, and volumeRamp for both volumes.
void replaced_setRate_(id self, SEL _cmd, float rate);
inline Original<void(float)> original_setRate_;
void replaced_setVolumeDuringSlalom_(id self, SEL _cmd, float volume);
inline Original<void(float)> original_setVolumeDuringSlalom_;
void replaced_setVolumeDuringRampToSlalom_(id self, SEL _cmd, float volume);
inline Original<void(float)> original_setVolumeDuringRampToSlalom_;

}  // namespace PLSlalomConfiguration

namespace NSUserDefaults {

// YES for exactly "PLDebugCowbell"; the stored answer for every other key.
BOOL replaced_boolForKey_(id self, SEL _cmd, id key);
inline Original<BOOL(id)> original_boolForKey_;

}  // namespace NSUserDefaults

namespace ios7 {

// The iOS 7 table's groups that hold these replacements, in table order.
std::span<const MethodHook> cameraViewHooks();
std::span<const MethodHook> cameraControllerHooks();
std::span<const MethodHook> slalomConfigurationHooks();
std::span<const MethodHook> userDefaultsHooks();

}  // namespace ios7
}  // namespace quorvane

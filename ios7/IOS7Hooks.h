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

namespace ios7 {

// The iOS 7 table's groups that hold the replacements below, in table order.
std::span<const MethodHook> cameraViewHooks();
std::span<const MethodHook> cameraControllerHooks();
std::span<const MethodHook> slalomConfigurationHooks();
std::span<const MethodHook> userDefaultsHooks();

}  // namespace ios7

namespace PLCameraView {

// Lets isPhone pass while the stock creation runs; nothing else.
QV_REPLACED_METHOD(void, _createSlalomIndicatorIfNecessary, "_createSlalomIndicatorIfNecessary");

}  // namespace PLCameraView

namespace PLCameraController {

// The video format with the best frame-rate range, when the first range of that format is above
// 30 frames per second; otherwise the stock choice.
QV_REPLACED_METHOD(id, _mogulFormatFromDevice_, "_mogulFormatFromDevice:", id device);

}  // namespace PLCameraController

namespace PLSlalomConfiguration {

// Each passes a setting on in place of the argument: rate, and volumeRamp for both volumes.
QV_REPLACED_METHOD(void, setRate_, "setRate:", float rate);
QV_REPLACED_METHOD(void, setVolumeDuringSlalom_, "setVolumeDuringSlalom:", float volume);
QV_REPLACED_METHOD(void, setVolumeDuringRampToSlalom_,
                   "setVolumeDuringRampToSlalom:", float volume);

}  // namespace PLSlalomConfiguration

namespace NSUserDefaults {

// YES for exactly "PLDebugCowbell"; the stored answer for every other key.
QV_REPLACED_METHOD(BOOL, boolForKey_, "boolForKey:", id key);

}  // namespace NSUserDefaults

}  // namespace quorvane

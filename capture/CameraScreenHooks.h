// The camera screen: the slow-motion indicator on every device, placed in the bottom bar,
// shown or hidden around capture, without the stock tap when the tweak's own taps are on; the
// stock tap ignored below 120 frames per second; and the preview refused, with a ten-second
// notice, at a rate the device cannot deliver.
#pragma once

#include <functional>
#include <span>

#include "core/Export.h"
#include "core/HookTable.h"
#include "core/Original.h"

extern "C" {
// The view on which the indicator's notices appear: from CoreFoundation 1217.11 on, the
// indicator's grandparent; before, the delegate of the capture controller (CAMCaptureController,
// else PLCameraController). Nil when there is none.
QV_EXPORT id cameraView(id view);
}

namespace quorvane {

// YES exactly while the stock indicator creation runs. Main thread only.
extern BOOL creatingSlalomIndicator;

// A notice titled TWEAK_NAME on the view. Without a view to show it on, nothing is shown and
// the completion runs from the main queue, so that a refused entry still brings its alert back.
void showCameraNotice(id view, id message, std::function<void()> completion, double seconds);

namespace CAMCameraView {

// Ignores the stock tap below 120 frames per second.
QV_REPLACED_METHOD(void, _slalomIndicatorTapped_, "_slalomIndicatorTapped:", id sender);

// Lets isPhone pass during the stock creation; takes the stock tap away when indicatorTap is on.
QV_REPLACED_METHOD(void, _createSlalomIndicatorIfNecessary, "_createSlalomIndicatorIfNecessary");

// In slow motion, hides the indicator as hideIndicator says.
QV_REPLACED_METHOD(void, _showControlsForCapturingVideoAnimated_,
                   "_showControlsForCapturingVideoAnimated:", BOOL animated);

// In slow motion, shows the indicator.
QV_REPLACED_METHOD(void, _hideControlsForCapturingVideoAnimated_,
                   "_hideControlsForCapturingVideoAnimated:", BOOL animated);

}  // namespace CAMCameraView

namespace CAMApplicationViewController {

// Starts the preview only at a rate the device offers and its slow-motion format takes
// (mogulFramerateSupported); otherwise a notice, and no preview for the rest of the process.
QV_REPLACED_METHOD(void, _kickoffCameraControllerPreview, "_kickoffCameraControllerPreview");

}  // namespace CAMApplicationViewController

namespace CAMCameraSpec {

// YES, on the phone's CAMCameraSpec and (added) on the iPad's CAMPadApplicationSpec.
QV_REPLACED_METHOD(BOOL, shouldCreateSlalomIndicator, "shouldCreateSlalomIndicator");

// YES while the indicator is created; the stock answer otherwise.
QV_REPLACED_METHOD(BOOL, isPhone, "isPhone");

}  // namespace CAMCameraSpec

namespace CAMBottomBar {

// The indicator centred in the bar.
QV_REPLACED_METHOD(void, _layoutForVerticalOrientation, "_layoutForVerticalOrientation");

}  // namespace CAMBottomBar

// The camera view's rows that both libraries install on their camera view class.
MethodHook showControlsRow();
MethodHook hideControlsRow();

// The rows of the hook table's groups, in table order.
std::span<const MethodHook> cameraViewHooks();  // the iOS 8 camera view
std::span<const MethodHook> applicationViewControllerHooks();
std::span<const MethodHook> cameraSpecHooks();
std::span<const MethodHook> padApplicationSpecHooks();
std::span<const MethodHook> bottomBarHooks();

}  // namespace quorvane

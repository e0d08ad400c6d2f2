// The slow-motion indicator as a frame-rate control: a tap opens an alert in which the user
// types a rate (or picks the device's highest), a double tap applies the highest at once; a
// chosen rate goes to the live capture device as its frame durations. With FakeFPS on, the
// indicator shows aFPS and the alert is refused with a notice.
#pragma once

#include <cstdint>
#include <span>

#include "core/HookTable.h"
#include "core/Original.h"
#include "port/CoreGraphics/CGGeometry.h"
#include "port/Foundation/Foundation.h"

namespace quorvane::CAMSlalomIndicatorView {

// Shows aFPS instead of the rate while FakeFPS is on.
QV_REPLACED_METHOD(void, setFramesPerSecond_, "setFramesPerSecond:", unsigned long framesPerSecond);

// With indicatorTap on, adds the double tap (autoSetFPS) and the single tap (setFPS:), which
// waits for the double tap to fail.
QV_REPLACED_METHOD(id, initWithFrame_, "initWithFrame:", CGRect frame);

// Added: the chooser alert's delegate call ("v@:@q").
QV_ADDED_METHOD(void, alertView_clickedButtonAtIndex_, "alertView:clickedButtonAtIndex:", id alert,
                NSInteger buttonIndex);
// Added: applies the rate to the capture device and shows it ("v@:Q"). The device changes only
// when it can be locked and its active format's ranges allow the rate; otherwise it stays as it
// was and a notice says the rate is not supported.
QV_ADDED_METHOD(void, hv_setFPS_, "hv_setFPS:", unsigned long long framesPerSecond);
// Added: the double tap, the device's highest rate ("v@:").
QV_ADDED_METHOD(void, autoSetFPS, "autoSetFPS");
// Added: the single tap, the chooser alert ("v@:@").
QV_ADDED_METHOD(void, setFPS_, "setFPS:", id recognizer);

}  // namespace quorvane::CAMSlalomIndicatorView

namespace quorvane {

// The CAMSlalomIndicatorView group's rows of the hook table, in table order.
std::span<const MethodHook> slalomIndicatorHooks();

}  // namespace quorvane

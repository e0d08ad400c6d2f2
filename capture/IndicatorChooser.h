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
QV_REPLACED_METHOD(void, setFramesPerSecond_, unsigned long framesPerSecond);

// With indicatorTap on, adds the double tap (autoSetFPS) and the single tap (setFPS:), which
// waits for the double tap to fail.
QV_REPLACED_METHOD(id, initWithFrame_, CGRect frame);

// Added: the chooser alert's delegate call ("v@:@q").
void alertView_clickedButtonAtIndex_(id self, SEL _cmd, id alert, NSInteger buttonIndex);
// Added: applies the rate to the capture device and shows it ("v@:Q"). The device changes only
// when it can be locked and its active format's ranges allow the rate; otherwise it stays as it
// was and a notice says the rate is not supported.
void hv_setFPS_(id self, SEL _cmd, unsigned long long framesPerSecond);
// Added: the double tap, the device's highest rate ("v@:").
void autoSetFPS(id self, SEL _cmd);
// Added: the single tap, the chooser alert ("v@:@").
void setFPS_(id self, SEL _cmd, id recognizer);

}  // namespace quorvane::CAMSlalomIndicatorView

namespace quorvane {

// The CAMSlalomIndicatorView group's rows of the hook table, in table order.
std::span<const MethodHook> slalomIndicatorHooks();

}  // namespace quorvane

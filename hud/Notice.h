// The timed notice: the one way the library tells the user something on screen. A text-only
// RuvelProgressHUD with a title line and a wrapped message covers a view for a number of
// seconds; then every HUD on that view is hidden and the completion, if any, runs.
#pragma once

#include <objc/runtime.h>

#include <cstdint>
#include <functional>

namespace quorvane {

// Shows the notice at once and returns; the main queue takes it down after `seconds`. The
// deferred hide holds the view and the completion until it has run. Main thread only. A nil
// view raises as the HUD's initWithView: does, and nothing is scheduled.
void showNotice(id view, id title, id message, std::function<void()> completion, double seconds);

// Seconds as whole nanoseconds, truncated toward zero; NaN is 0 and values beyond the range of
// int64 stop at its ends.
std::int64_t noticeDelay(double seconds);

}  // namespace quorvane

// Faults a test can switch on in a build, to prove that a checker catches a broken platform:
// the environment variable QUORVANE_FAULT names them, separated by commas. Unset, none is on.
#pragma once

namespace qv {

// "lost-delayed-performs": performSelector:withObject:afterDelay: with a delay never runs, so
// a notice that hides after its time stays up.
bool faultSwitchedOn(const char* name);

}  // namespace qv

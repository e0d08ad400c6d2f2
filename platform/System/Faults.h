// Faults a test can switch on in a build, to prove that a checker catches a broken platform:
// the environment variable QUORVANE_FAULT names them, separated by commas. Unset, none is on.
#pragma once

namespace qv {

// "lost-timed-dispatch": work that dispatch_after puts on the main queue for later never runs,
// so a notice that hides after its time stays up. "reused-album-names": a recording takes the
// album's first name, IMG_0001.MOV, over whatever file has it.
bool faultSwitchedOn(const char* name);

}  // namespace qv

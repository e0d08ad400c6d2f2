// A target for timers, deferred performs and threads: it records what reached it, when (in
// virtual seconds since the test began) and on which kind of thread.
#pragma once

#include <string>

#include "platform/Foundation/FoundationRuntime.h"

namespace qv::test {

struct Recorder {
  std::string trace;
  int calls = 0;
  id invalidateOnCall = nil;  // a timer to invalidate from the callback
};

// The recorder class, registered once per process.
Class recorderClass();

// Virtual seconds since the clock's start, as text ("1.5").
std::string secondsSinceStart();

}  // namespace qv::test

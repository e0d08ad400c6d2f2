// Runs a test body in a forked child process. The runtime cannot forget a class and a loaded
// library's state is process-wide, so every test that registers host classes or loads a
// library runs this way; the child's failures, crashes, leaks and hangs fail the test in the
// parent.
#pragma once

#include <chrono>
#include <functional>

namespace qv::test {

// Long enough for the slowest forked test under the sanitizers; far below CTest's time-out, so
// a hang is reported as such.
inline constexpr std::chrono::seconds kForkedTimeout{120};

void runForked(const std::function<void()>& body,
               std::chrono::milliseconds timeout = kForkedTimeout);

}  // namespace qv::test

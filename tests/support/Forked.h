// Runs a test body in a forked child process. The runtime cannot forget a class and a loaded
// library's state is process-wide, so every test that registers host classes or loads a
// library runs this way; the child's failures and crashes fail the test in the parent.
#pragma once

#include <functional>

namespace qv::test {

void runForked(const std::function<void()>& body);

}  // namespace qv::test

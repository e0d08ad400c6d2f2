#include "tests/support/Forked.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <thread>

#include "platform/objc/AutoreleasePool.h"

extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace qv::test {

namespace {

// The child's exit status when its own checks passed but LeakSanitizer found a leak.
constexpr int kLeaked = 3;

[[noreturn]] void finishChild(bool failed) {
  int status = failed ? 1 : 0;
  if (&__lsan_do_recoverable_leak_check != nullptr && __lsan_do_recoverable_leak_check() != 0) {
    status = failed ? 1 : kLeaked;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(status);
}

// The child's wait status, or nullopt when it has not ended within `timeout`.
std::optional<int> waitFor(pid_t child, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  auto pause = std::chrono::microseconds(100);
  int status = 0;
  while (true) {
    const pid_t ended = waitpid(child, &status, WNOHANG);
    if (ended == child) return status;
    if (ended == -1 && errno != EINTR) {
      ADD_FAILURE() << "waiting for the forked test: " << std::strerror(errno);
      return W_EXITCODE(1, 0);
    }
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(pause);
    pause = std::min<std::chrono::microseconds>(pause * 2, std::chrono::milliseconds(20));
  }
}

void reportEnd(int status) {
  if (WIFSIGNALED(status)) {
    ADD_FAILURE() << "forked test died of signal " << WTERMSIG(status) << " ("
                  << strsignal(WTERMSIG(status)) << ")";
  } else if (WEXITSTATUS(status) == kLeaked) {
    ADD_FAILURE() << "forked test leaked memory (LeakSanitizer's report above)";
  } else {
    EXPECT_EQ(WEXITSTATUS(status), 0) << "forked test failed (see its output above)";
  }
}

}  // namespace

void runForked(const std::function<void()>& body, std::chrono::milliseconds timeout) {
  std::fflush(stdout);
  std::fflush(stderr);
  const pid_t child = fork();
  ASSERT_NE(child, -1) << std::strerror(errno);
  if (child == 0) {
    bool failed = false;
    try {
      AutoreleasePool pool;
      body();
    } catch (const std::exception& e) {
      ADD_FAILURE() << "exception in forked test: " << e.what();
      failed = true;
    }
    finishChild(failed || ::testing::Test::HasFailure());
  }
  if (const std::optional<int> status = waitFor(child, timeout)) {
    reportEnd(*status);
    return;
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  ADD_FAILURE() << "forked test hung: no end after " << timeout.count() << " ms, killed";
}

}  // namespace qv::test

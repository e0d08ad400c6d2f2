#include "tests/support/Forked.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <exception>

#include "platform/objc/AutoreleasePool.h"

extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace qv::test {

namespace {

[[noreturn]] void finishChild(bool failed) {
  if (&__lsan_do_recoverable_leak_check != nullptr && __lsan_do_recoverable_leak_check() != 0) {
    failed = true;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  _exit(failed ? 1 : 0);
}

}  // namespace

void runForked(const std::function<void()>& body) {
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
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  if (WIFSIGNALED(status)) {
    ADD_FAILURE() << "forked test died of signal " << WTERMSIG(status) << " ("
                  << strsignal(WTERMSIG(status)) << ")";
  } else {
    EXPECT_EQ(WEXITSTATUS(status), 0) << "forked test failed (see its output above)";
  }
}

}  // namespace qv::test

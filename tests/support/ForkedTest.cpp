#include "tests/support/Forked.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

extern "C" int __lsan_do_recoverable_leak_check() __attribute__((weak));

namespace qv::test {
namespace {

TEST(Forked, AChildsFailureAndCrashFailTheParent) {
  EXPECT_NONFATAL_FAILURE(runForked([] { throw std::runtime_error("in the child"); }),
                          "forked test failed");
  EXPECT_NONFATAL_FAILURE(runForked([] { std::abort(); }), "died of signal 6");
}

TEST(Forked, AChildThatHangsIsKilledAndFailsAsHung) {
  EXPECT_NONFATAL_FAILURE(runForked([] { pause(); }, std::chrono::milliseconds(200)),
                          "forked test hung: no end after 200 ms, killed");
}

// Where the leaking child drops its only pointer.
int* volatile leakedBlock = nullptr;

// Only a sanitizer build has a leak check to report.
TEST(Forked, AChildsLeakIsReportedInTheParent) {
  if (&__lsan_do_recoverable_leak_check == nullptr) GTEST_SKIP() << "no LeakSanitizer";
  EXPECT_NONFATAL_FAILURE(runForked([] {
                            leakedBlock = new int[8]{};
                            leakedBlock = nullptr;
                          }),
                          "forked test leaked memory");
}

}  // namespace
}  // namespace qv::test

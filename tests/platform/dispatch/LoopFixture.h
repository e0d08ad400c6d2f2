// What the run-loop tests share: a trace of events in order, and a fixture that owns the main
// thread and leaves the process-wide loop empty for the next case.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

namespace qv::test {

constexpr std::int64_t kSecond = 1'000'000'000;

// Events recorded from any thread, read back as one string: "a b c".
class Trace {
 public:
  void add(const std::string& event) {
    std::lock_guard lock(mutex_);
    text_ += text_.empty() ? event : " " + event;
  }
  std::string str() const {
    std::lock_guard lock(mutex_);
    return text_;
  }

 private:
  mutable std::mutex mutex_;
  std::string text_;
};

// Counts arrivals of background work; `reached(n)` waits for n of them. A case that would
// hang fails after a while instead.
class Arrivals {
 public:
  void arrive() {
    {
      std::lock_guard lock(mutex_);
      ++count_;
    }
    changed_.notify_all();
  }
  bool reached(int count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] { return count_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  int count_ = 0;
};

class MainLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MainRunLoop::adoptCurrentThread();
    start = Clock::now();
  }
  // Work left behind would outlive the case's locals that it captures.
  void TearDown() override { EXPECT_EQ(MainRunLoop::pendingCount(), 0u) << "work left behind"; }

  // The tag with the seconds since the case began, on the platform clock: "a@2.5".
  std::string at(const char* tag) const {
    char text[64];
    std::snprintf(text, sizeof text, "%s@%g", tag,
                  static_cast<double>(Clock::now() - start) / kSecond);
    return text;
  }

  std::int64_t start = 0;
};

}  // namespace qv::test

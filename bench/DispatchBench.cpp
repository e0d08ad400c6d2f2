// The main loop's cost per item, and of one installation log line.
#include <benchmark/benchmark.h>

#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Seams.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

namespace {

void BM_PostAndRunMainQueueItem(benchmark::State& state) {
  int runs = 0;
  for (auto _ : state) {
    qv::MainRunLoop::post([&runs] { ++runs; });
    qv::MainRunLoop::runUntilIdle();
  }
  benchmark::DoNotOptimize(runs);
}
BENCHMARK(BM_PostAndRunMainQueueItem);

// Each round moves the virtual clock one millisecond to the timer's deadline.
void BM_ScheduleAndFireTimer(benchmark::State& state) {
  int fired = 0;
  for (auto _ : state) {
    const std::int64_t deadline = qv::Clock::now() + 1'000'000;
    qv::MainRunLoop::schedule(deadline, [&fired] { ++fired; });
    qv::MainRunLoop::runUntil(deadline);
  }
  benchmark::DoNotOptimize(fired);
}
BENCHMARK(BM_ScheduleAndFireTimer);

// An installation line as the tweak logs it, into a sink that drops it (standard error would
// measure the terminal).
void BM_CFLogShortLine(benchmark::State& state) {
  qv::setLogSink([](int, const std::string& message) { benchmark::DoNotOptimize(message); });
  qv::Ref<> message = qv::makeString("logos: nil class CAMCameraView");
  std::size_t lines = 0;
  for (auto _ : state) {
    CFLog(kCFLogLevelError, CFSTR("[%s: %s:%d] %s: %@"), "QuorvaneiOS8", "Tweak", 432, "ERROR",
          message.get());
    // The process log keeps every line: empty it now and then so memory stays flat.
    if (++lines % 4096 == 0) qv::clearProcessLog();
  }
  qv::setLogSink(nullptr);
  qv::clearProcessLog();
}
BENCHMARK(BM_CFLogShortLine);

}  // namespace

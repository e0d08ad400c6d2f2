// The capture hooks' cost on their hot paths:
// - CMTimeMake hooked (outside and inside the configuration window) against the stock function
//   (BM_CMTimeMakeHooked* against BM_CMTimeMakeStock; the target is at most 2x);
// - mogulFrameRate through its replacement against a plain method of the same shape
//   (BM_MogulFrameRateReplaced against BM_PlainFrameRate).
#include <benchmark/benchmark.h>

#include "bench/ReplacedMessage.h"
#include "capture/CaptureHooks.h"
#include "capture/CaptureHooksIOS8.h"
#include "core/Settings.h"
#include "platform/objc/Object.h"
#include "port/Substrate/Substrate.h"

namespace {

// Hooked and stock by turns, so that random interleaving can put the pair side by side: the
// replacement goes into CMTimeMake's slot for a hooked run, and the stock function back for a
// stock one.
void setTimeMake(bool hooked) {
  static void* stock = nullptr;
  if (hooked) {
    if (quorvane::original_CMTimeMake.installed()) return;
    MSHookFunction(reinterpret_cast<void*>(&CMTimeMake),
                   reinterpret_cast<void*>(&quorvane::replaced_CMTimeMake),
                   quorvane::original_CMTimeMake.slot());
    stock = *quorvane::original_CMTimeMake.slot();
  } else if (quorvane::original_CMTimeMake.installed()) {
    MSHookFunction(reinterpret_cast<void*>(&CMTimeMake), stock, nullptr);
    *quorvane::original_CMTimeMake.slot() = nullptr;
  }
}

void makeTimes(benchmark::State& state) {
  CMTimeScale timescale = 240;
  for (auto _ : state) {
    CMTime time = CMTimeMake(1, timescale);
    benchmark::DoNotOptimize(time);
    benchmark::ClobberMemory();
  }
}

void BM_CMTimeMakeStock(benchmark::State& state) {
  setTimeMake(false);
  makeTimes(state);
}
BENCHMARK(BM_CMTimeMakeStock);

void BM_CMTimeMakeHooked(benchmark::State& state) {
  setTimeMake(true);
  noHigh = NO;
  makeTimes(state);
}
BENCHMARK(BM_CMTimeMakeHooked);

void BM_CMTimeMakeHookedInsideConfiguration(benchmark::State& state) {
  setTimeMake(true);
  quorvane::settings.MogulFramerate.set(120);
  noHigh = YES;
  makeTimes(state);
  noHigh = NO;
}
BENCHMARK(BM_CMTimeMakeHookedInsideConfiguration);

double stockFrameRate(id, SEL) {
  return 240.0;
}

void sendFrameRate(benchmark::State& state, SEL selector) {
  namespace controller = quorvane::CAMCaptureController;
  static const id instance = qv::bench::instanceWithReplacedMethod(
      "BenchCaptureController", &stockFrameRate, "mogulFrameRate", "plainFrameRate",
      &controller::replaced_mogulFrameRate, controller::original_mogulFrameRate.slot());
  qv::bench::sendEachIteration<double>(state, instance, selector);
}

const bool frameRatePair = qv::bench::registerStockAndReplaced(
    "BM_PlainFrameRate", "plainFrameRate", "BM_MogulFrameRateReplaced", "mogulFrameRate",
    &sendFrameRate);

}  // namespace

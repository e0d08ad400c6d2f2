// What the benchmarks of replaced methods share: a class whose stock method answers under two
// names, one of them then replaced, and a loop that sends one message.
#pragma once

#include <benchmark/benchmark.h>

#include "platform/objc/Object.h"
#include "port/Substrate/Substrate.h"

namespace qv::bench {

// Sends `selector` with `args` to `receiver` at every iteration.
template <typename R, typename... Args>
void sendEachIteration(benchmark::State& state, id receiver, SEL selector, Args... args) {
  for (auto _ : state) {
    R answer = send<R>(receiver, selector, args...);
    benchmark::DoNotOptimize(answer);
  }
}

// An instance, for the life of the process, of a new class on which `stock` answers both
// `replaced` and `kept`; `replaced` is then hooked with `replacement`, the stock implementation
// going to `slot`.
template <typename R, typename... Args>
id instanceWithReplacedMethod(const char* className, R (*stock)(id, SEL, Args...),
                              const char* replaced, const char* kept,
                              R (*replacement)(id, SEL, Args...), IMP* slot) {
  Class cls = ClassBuilder(className, NSObjectClass())
                  .method(replaced, stock)
                  .method(kept, stock)
                  .registerClass();
  MSHookMessageEx(cls, sel_registerName(replaced), toIMP(replacement), slot);
  return make(cls).leak();
}

// Registers the pair of benchmarks that `ask` runs with the stock method's selector and with the
// replaced one, under their two names. Call it once, at load.
inline bool registerStockAndReplaced(const char* stockName, const char* stock,
                                     const char* replacedName, const char* replaced,
                                     void (*ask)(benchmark::State&, SEL)) {
  benchmark::RegisterBenchmark(stockName, ask, sel_registerName(stock));
  benchmark::RegisterBenchmark(replacedName, ask, sel_registerName(replaced));
  return true;
}

}  // namespace qv::bench

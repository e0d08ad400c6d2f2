// The message-send helper against the runtime's own lookup plus call (BM_Send against
// BM_RawLookupAndCall), and a hooked method that forwards to its original against the stock
// method (BM_HookedMethodForwardingToOriginal against BM_Send).
#include <benchmark/benchmark.h>

#include "platform/objc/AutoreleasePool.h"
#include "platform/objc/Object.h"
#include "port/Substrate/Substrate.h"

namespace {

long stockValue(id, SEL, long x) {
  return x + 1;
}

IMP originalValue = nullptr;
long replacedValue(id self, SEL cmd, long x) {
  return qv::invoke<long>(originalValue, self, cmd, x);
}

struct Classes {
  Class plain = qv::ClassBuilder("BenchPlain", qv::NSObjectClass())
                    .method("value:", &stockValue)
                    .registerClass();
  Class hooked = qv::ClassBuilder("BenchHooked", qv::NSObjectClass())
                     .method("value:", &stockValue)
                     .registerClass();
  Classes() { MSHookMessageEx(hooked, "value:"_sel, qv::toIMP(&replacedValue), &originalValue); }
};

const Classes& classes() {
  static Classes c;
  return c;
}

void BM_RawLookupAndCall(benchmark::State& state) {
  qv::Ref<> object = qv::make(classes().plain);
  id receiver = object;
  SEL selector = "value:"_sel;
  long x = 0;
  for (auto _ : state) {
    IMP imp = objc_msg_lookup(receiver, selector);
    x = qv::fromIMP<long (*)(id, SEL, long)>(imp)(receiver, selector, x);
    benchmark::DoNotOptimize(x);
  }
}
BENCHMARK(BM_RawLookupAndCall);

// value: through the send helper on an instance of `cls`, each answer the next argument.
void sendValues(benchmark::State& state, Class cls) {
  qv::Ref<> object = qv::make(cls);
  id receiver = object;
  long x = 0;
  for (auto _ : state) {
    x = qv::send<long>(receiver, "value:"_sel, x);
    benchmark::DoNotOptimize(x);
  }
}

void BM_Send(benchmark::State& state) {
  sendValues(state, classes().plain);
}
BENCHMARK(BM_Send);

void BM_HookedMethodForwardingToOriginal(benchmark::State& state) {
  sendValues(state, classes().hooked);
}
BENCHMARK(BM_HookedMethodForwardingToOriginal);

}  // namespace

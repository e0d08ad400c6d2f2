// The camera screen hooks' cost where the host calls them often:
// - isPhone through its replacement against the stock method of the same shape
//   (BM_IsPhoneReplaced against BM_IsPhoneStock);
// - the bottom bar's layout with the indicator re-placed, against the stock layout alone
//   (BM_BarLayoutReplaced against BM_BarLayoutStock), both through the layout message;
// - a tap on the indicator, delivered through hit testing to its two recognizers, with the
//   double tap waiting out (BM_IndicatorTap; the stock alert it opens is not part of it).
#include <benchmark/benchmark.h>

#include "bench/ReplacedMessage.h"
#include "capture/CameraScreenHooks.h"
#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"
#include "port/Substrate/Substrate.h"

namespace {

BOOL stockIsPhone(id, SEL) {
  return NO;
}

void askIsPhone(benchmark::State& state, SEL selector) {
  static const id spec = qv::bench::instanceWithReplacedMethod(
      "BenchCameraSpec", &stockIsPhone, "isPhone", "stockIsPhone",
      &quorvane::CAMCameraSpec::replaced_isPhone, quorvane::CAMCameraSpec::original_isPhone.slot());
  qv::bench::sendEachIteration<BOOL>(state, spec, selector);
}

const bool isPhonePair = qv::bench::registerStockAndReplaced(
    "BM_IsPhoneStock", "stockIsPhone", "BM_IsPhoneReplaced", "isPhone", &askIsPhone);

id indicatorOf(id bar) {
  return qv::arrayElements(qv::send<id>(bar, "subviews"_sel)).front();
}

id slalomIndicatorView(id self, SEL) {
  return indicatorOf(self);
}

void stockLayout(id self, SEL) {
  const CGRect bounds = qv::send<CGRect>(self, "bounds"_sel);
  qv::send(indicatorOf(self), "setFrame:"_sel, CGRectMake(bounds.size.width - 55, 20, 40, 40));
}

qv::Ref<> makeBar(const char* name, bool hooked) {
  Class cls = qv::ClassBuilder(name, objc_getClass("UIView"))
                  .method("_layoutForVerticalOrientation", &stockLayout)
                  .method("slalomIndicatorView", &slalomIndicatorView)
                  .registerClass();
  if (hooked) {
    MSHookMessageEx(cls, "_layoutForVerticalOrientation"_sel,
                    qv::toIMP(&quorvane::CAMBottomBar::replaced__layoutForVerticalOrientation),
                    quorvane::CAMBottomBar::original__layoutForVerticalOrientation.slot());
  }
  qv::Ref<> bar = qv::adopt(qv::send<id>(qv::send<id>(cls, "alloc"_sel), "initWithFrame:"_sel,
                                         CGRectMake(0, 418, 320, 150)));
  qv::send(bar, "addSubview:"_sel, qv::make(objc_getClass("UIView")).get());
  return bar;
}

void layOut(benchmark::State& state, id bar) {
  for (auto _ : state) {
    qv::send(bar, "_layoutForVerticalOrientation"_sel);
    benchmark::ClobberMemory();
  }
}

void BM_BarLayoutStock(benchmark::State& state) {
  static const qv::Ref<> bar = makeBar("BenchStockBar", false);
  layOut(state, bar);
}
BENCHMARK(BM_BarLayoutStock);

void BM_BarLayoutReplaced(benchmark::State& state) {
  static const qv::Ref<> bar = makeBar("BenchHookedBar", true);
  layOut(state, bar);
}
BENCHMARK(BM_BarLayoutReplaced);

int taps = 0;
void counted(id, SEL, id) {
  ++taps;
}

// A bar whose indicator has the tweak's two recognizers, the single one waiting for the double.
struct TappedIndicator {
  TappedIndicator() {
    static const Class target = qv::ClassBuilder("BenchTapTarget", qv::NSObjectClass())
                                    .method("single:", &counted)
                                    .method("double:", &counted)
                                    .registerClass();
    receiver = qv::make(target);
    qv::send(bar, "_layoutForVerticalOrientation"_sel);
    qv::Ref<> doubleTap = add("double:"_sel, 2);
    qv::send(add("single:"_sel, 1).get(), "requireGestureRecognizerToFail:"_sel, doubleTap.get());
  }

  qv::Ref<> add(SEL action, unsigned long count) {
    qv::Ref<> made =
        qv::adopt(qv::send<id>(qv::send<id>(objc_getClass("UITapGestureRecognizer"), "alloc"_sel),
                               "initWithTarget:action:"_sel, receiver.get(), action));
    qv::send(made, "setNumberOfTapsRequired:"_sel, count);
    qv::send(indicatorOf(bar), "addGestureRecognizer:"_sel, made.get());
    return made;
  }

  qv::Ref<> bar = makeBar("BenchTappedBar", false);
  qv::Ref<> receiver;
};

void BM_IndicatorTap(benchmark::State& state) {
  static TappedIndicator tapped;
  qv::AutoreleasePool pool;
  id indicator = indicatorOf(tapped.bar);
  for (auto _ : state) {
    id landed = qv::ui::tapView(indicator, 1).landedOn;
    benchmark::DoNotOptimize(landed);
  }
  if (taps == 0) state.SkipWithError("the tap reached no recognizer");
}
BENCHMARK(BM_IndicatorTap);

}  // namespace

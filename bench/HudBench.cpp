// The timed notice's HUD at 320 × 480: one layout pass plus drawing the panel and its labels
// (target ≤ 1 ms, 6 % of a 60 Hz frame), and the text measurements each layout makes.
#include <benchmark/benchmark.h>

#include "hud/Notice.h"
#include "hud/RuvelProgressHUD.h"
#include "platform/UIKit/Snapshot.h"
#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"

namespace {

using qv::send;

id boldFont(CGFloat size) {
  return send<id>(objc_getClass("UIFont"), "boldSystemFontOfSize:"_sel, size);
}

id message() {
  return "❗ Unsupported FPS: 240\nHead to settings to change this."_ns;
}

void NoticeLayoutAndDraw(benchmark::State& state) {
  qv::AutoreleasePool pool;
  quorvane::registerRuvelProgressHUD();
  qv::Ref<> parent = qv::adopt(send<id>(send<id>(objc_getClass("UIView"), "alloc"_sel),
                                        "initWithFrame:"_sel, CGRectMake(0, 0, 320, 480)));
  quorvane::showNotice(parent, "Driftlane"_ns, message(), nullptr, 10.0);
  id hud = send<id>(objc_getClass("RuvelProgressHUD"), "HUDForView:"_sel, parent.get());
  for (auto _ : state) {
    send(hud, "layoutSubviews"_sel);
    benchmark::DoNotOptimize(qv::ui::snapshot(hud));
  }
}
BENCHMARK(NoticeLayoutAndDraw)->Unit(benchmark::kMicrosecond);

void TitleLineSize(benchmark::State& state) {
  qv::AutoreleasePool pool;
  qv::Ref<> attributes = qv::makeDictionary({{NSFontAttributeName, boldFont(16)}});
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        send<CGSize>("Driftlane"_ns, "sizeWithAttributes:"_sel, attributes.get()));
  }
}
BENCHMARK(TitleLineSize);

void MessageWrappedSize(benchmark::State& state) {
  qv::AutoreleasePool pool;
  qv::Ref<> attributes = qv::makeDictionary({{NSFontAttributeName, boldFont(12)}});
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        send<CGRect>(message(), "boundingRectWithSize:options:attributes:context:"_sel,
                     CGSizeMake(260, 381), NSInteger{1}, attributes.get(), id{nil}));
  }
}
BENCHMARK(MessageWrappedSize);

}  // namespace

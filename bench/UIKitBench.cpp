// Text measurement per call, and a layout and display of a 320 × 480 view holding two labels,
// as an overlay's panel goes through them.
#include <benchmark/benchmark.h>

#include "platform/UIKit/Snapshot.h"
#include "platform/UIKit/TextLayout.h"
#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"

namespace {

using namespace qv;

const text::Font kBold16{"DejaVu Sans", true, false, 16};
const text::Font kBold12{"DejaVu Sans", true, false, 12};

void OneLineSize(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(text::lineSize("Saving Slo-mo...", kBold16));
}
BENCHMARK(OneLineSize);

void WrappedSize(benchmark::State& state) {
  const std::string message = "Unsupported FPS: 240\nHead to settings to change this.";
  for (auto _ : state) benchmark::DoNotOptimize(text::wrappedSize(message, kBold12, {260, 400}));
}
BENCHMARK(WrappedSize);

Ref<> makeLabel(id parent, const char* content, double size, CGRect frame) {
  Ref<> label =
      adopt(send<id>(send<id>(objc_getClass("UILabel"), "alloc"_sel), "initWithFrame:"_sel, frame));
  send(label, "setFont:"_sel, send<id>(objc_getClass("UIFont"), "boldSystemFontOfSize:"_sel, size));
  send(label, "setText:"_sel, makeString(content).get());
  send(label, "setTextAlignment:"_sel, NSInteger(1));
  send(label, "setNumberOfLines:"_sel, NSInteger(0));
  send(parent, "addSubview:"_sel, label.get());
  return label;
}

void LayoutAndDrawTwoLabels(benchmark::State& state) {
  AutoreleasePool pool;
  Ref<> view = adopt(send<id>(send<id>(objc_getClass("UIView"), "alloc"_sel), "initWithFrame:"_sel,
                              CGRectMake(0, 0, 320, 480)));
  Ref<> title = makeLabel(view, "Driftlane", 16, CGRectMake(20, 200, 280, 19));
  Ref<> message = makeLabel(view, "Unsupported FPS: 240\nHead to settings to change this.", 12,
                            CGRectMake(20, 223, 280, 28));
  for (auto _ : state) {
    AutoreleasePool iteration;
    send(view, "setNeedsLayout"_sel);
    for (id label : {title.get(), message.get()}) send(label, "setNeedsDisplay"_sel);
    ui::runPendingPasses();
  }
}
BENCHMARK(LayoutAndDrawTwoLabels)->Unit(benchmark::kMicrosecond);

void SnapshotTwoLabels(benchmark::State& state) {
  AutoreleasePool pool;
  Ref<> view = adopt(send<id>(send<id>(objc_getClass("UIView"), "alloc"_sel), "initWithFrame:"_sel,
                              CGRectMake(0, 0, 320, 480)));
  Ref<> title = makeLabel(view, "Driftlane", 16, CGRectMake(20, 200, 280, 19));
  Ref<> message =
      makeLabel(view, "Head to settings to change this.", 12, CGRectMake(20, 223, 280, 28));
  for (auto _ : state) benchmark::DoNotOptimize(ui::snapshot(view).width());
}
BENCHMARK(SnapshotTwoLabels)->Unit(benchmark::kMicrosecond);

}  // namespace

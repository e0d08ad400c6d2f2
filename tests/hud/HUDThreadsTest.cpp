// Properties set on other threads reach the HUD's views on the main thread, in the order they
// were set. These tests run real threads, also under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "platform/dispatch/RunLoop.h"
#include "port/dispatch/dispatch.h"
#include "tests/hud/HUDTestSupport.h"

namespace quorvane::test {
namespace {

using qv::Ref;
using qv::send;

std::atomic<int> offMainArrivals{0};

// Records each update's key path as it arrives, then lets the HUD apply it.
void recordArrival(id self, SEL, id keyPath) {
  if (!qv::MainRunLoop::isMainThread()) {
    ++offMainArrivals;
  } else {
    trace() += qv::utf8(keyPath) + ";";
  }
  qv::sendSuper(self, objc_getClass("ArrivalHUD"), "updateUIForKeypath:"_sel, keyPath);
}

Class arrivalHUDClass() {
  static const Class cls = qv::ClassBuilder("ArrivalHUD", registerRuvelProgressHUD())
                               .method("updateUIForKeypath:", &recordArrival)
                               .registerClass();
  return cls;
}

class HUDThreads : public HUDTest {
 protected:
  void SetUp() override {
    HUDTest::SetUp();
    offMainArrivals = 0;
    hud = makeHUD(parent, arrivalHUDClass());
    send(parent, "addSubview:"_sel, hud.get());
    trace().clear();
  }
  void TearDown() override {
    hud = nullptr;
    HUDTest::TearDown();
  }

  std::string labelText(std::size_t child) {
    return qv::utf8(send<id>(childrenOf(hud)[child], "text"_sel));
  }

  Ref<> hud;
};

TEST_F(HUDThreads, UpdatesFromATaskArriveOnTheMainThreadInOrder) {
  std::string expected;
  for (int i = 1; i <= 10; ++i) expected += "labelText;detailsLabelText;";
  send(hud, "showAnimated:whileExecutingBlock:"_sel, BOOL{NO},
       std::function<void()>([hud = hud.get()] {
         for (int i = 1; i <= 10; ++i) {
           send(hud, "setLabelText:"_sel, makeString(std::to_string(i).c_str()).get());
           send(hud, "setDetailsLabelText:"_sel,
                makeString(("details " + std::to_string(i)).c_str()).get());
         }
       }));
  drainRunLoop();
  EXPECT_EQ(offMainArrivals, 0);
  EXPECT_EQ(trace(), expected);
  EXPECT_EQ(labelText(0), "10");
  EXPECT_EQ(labelText(1), "details 10");
}

TEST_F(HUDThreads, ALabelSetElsewhereCostsOneLayoutAndOneRedraw) {
  send(hud, "show:"_sel, BOOL{NO});
  qv::MainRunLoop::runUntilIdle();
  const qv::ui::PassCounts before = qv::ui::passCounts(hud);
  dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0),
                 [hud = hud] { send(hud, "setLabelText:"_sel, "Saving Slo-mo..."_ns); });
  qv::MainRunLoop::runUntilIdle();
  EXPECT_EQ(trace(), "labelText;");
  EXPECT_EQ(labelText(0), "Saving Slo-mo...");
  const qv::ui::PassCounts after = qv::ui::passCounts(hud);
  EXPECT_EQ(after.layouts, before.layouts + 1);
  EXPECT_EQ(after.displays, before.displays + 1);
}

// A task method that switches its HUD, given as the argument, to text only.
void switchToText(id, SEL, id hud) {
  send(hud, "setProgress:"_sel, 0.5f);
  send(hud, "setMode:"_sel, 5);
}

TEST_F(HUDThreads, ATaskThreadCanSwitchTheMode) {
  static const Class switcher = qv::ClassBuilder("HUDModeSwitcher", qv::NSObjectClass())
                                    .method("switchToText:", &switchToText)
                                    .registerClass();
  Ref<> target = qv::make(switcher);
  send(hud, "showWhileExecuting:onTarget:withObject:animated:"_sel, "switchToText:"_sel,
       target.get(), hud.get(), BOOL{YES});
  drainRunLoop();
  EXPECT_EQ(offMainArrivals, 0);
  EXPECT_EQ(trace(), "progress;mode;");
  EXPECT_EQ(send<id>(hud, "indicator"_sel), nil);
  EXPECT_EQ(send<float>(hud, "progress"_sel), 0.5f);
}

}  // namespace
}  // namespace quorvane::test

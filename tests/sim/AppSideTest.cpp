// What an app process does for the supervisor, in forked children: methods taken away to model
// other system builds, and the notices it reports with the time they have left.
#include <gtest/gtest.h>

#include "host/AppWindow.h"
#include "host/Removals.h"
#include "hud/Notice.h"
#include "hud/RuvelProgressHUD.h"
#include "platform/UIKit/UIKit.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "sim/AppSide.h"
#include "tests/support/Forked.h"

namespace qv::sim {
namespace {

int answer(id, SEL) {
  return 42;
}

TEST(Removals, ARemovedMethodIsGoneAsIfTheBuildNeverHadIt) {
  test::runForked([] {
    host::Removal instanceMethod, classMethod, missing;
    ASSERT_TRUE(host::parseRemoval("-[QVRemovalHost answer]", instanceMethod));
    ASSERT_TRUE(host::parseRemoval("+[QVRemovalHost shared]", classMethod));
    ASSERT_TRUE(host::parseRemoval("-[QVRemovalHost missing]", missing));
    host::leaveOutMethods({instanceMethod, classMethod, missing});
    Class cls = ClassBuilder("QVRemovalHost", NSObjectClass())
                    .method("answer", &answer)
                    .method("kept", &answer)
                    .method("shared", &answer)
                    .classMethod("shared", &answer)
                    .registerClass();
    const auto unused = host::unusedMethodRemovals();
    ASSERT_EQ(unused.size(), 1u);
    EXPECT_EQ(unused[0].describe(), "-[QVRemovalHost missing]");

    EXPECT_EQ(class_getInstanceMethod(cls, "answer"_sel), nullptr);
    EXPECT_EQ(class_getInstanceMethod(object_getClass(asId(cls)), "shared"_sel), nullptr);
    Ref<> instance = make(cls);
    EXPECT_FALSE(responds(instance, "answer"_sel));
    EXPECT_THROW(send<int>(instance.get(), "answer"_sel), ObjCException);
    EXPECT_THROW(send<int>(cls, "shared"_sel), ObjCException);
    EXPECT_EQ(send<int>(instance.get(), "kept"_sel), 42);
    EXPECT_EQ(send<int>(instance.get(), "shared"_sel), 42) << "only the class method went";
  });
}

TEST(Removals, ReadTheFormsTheyAreWrittenIn) {
  host::Removal removal;
  ASSERT_TRUE(host::parseRemoval("+[PFVideoAdjustments defaultSlowMotionRateForNominalFrameRate:]",
                                 removal));
  EXPECT_EQ(removal.className, "PFVideoAdjustments");
  EXPECT_EQ(removal.selector, "defaultSlowMotionRateForNominalFrameRate:");
  EXPECT_TRUE(removal.classMethod);
  EXPECT_EQ(removal.describe(), "+[PFVideoAdjustments defaultSlowMotionRateForNominalFrameRate:]");
  ASSERT_TRUE(host::parseRemoval("CAMBottomBar", removal));
  EXPECT_TRUE(removal.selector.empty());
  for (const char* wrong : {"", "-[CAMBottomBar]", "[CAMBottomBar layout]", "CAM BottomBar",
                            "-[CAMBottomBar  layout]", "-[1CAM layout]"}) {
    EXPECT_FALSE(host::parseRemoval(wrong, removal)) << wrong;
  }
}

Value noticesAndHUDs() {
  return app::observe({"notices", "huds"}, -1);
}

TEST(AppSide, ANoticeReportsItsTitleMessageAndTheTimeItHasLeft) {
  test::runForked([] {
    quorvane::registerRuvelProgressHUD();
    host::openAppWindow(make(objc_getClass("UIViewController")));
    id screen = send<id>(send<id>(host::appWindow(), "rootViewController"_sel), "view"_sel);
    quorvane::showNotice(screen, "Driftlane"_ns, "❗ Unsupported FPS: 240"_ns, {}, 10.0);
    MainRunLoop::runFor(4);

    EXPECT_EQ(toText(noticesAndHUDs()),
              "{notices: [{title: Driftlane, message: \"❗ Unsupported FPS: 240\", time_left: 6}], "
              "huds: [{mode: text_only, label: Driftlane, details: \"❗ Unsupported FPS: 240\", "
              "time_left: 6}]}");
    // Looking ahead happens in a copy of the process: here the notice is still up, on time.
    MainRunLoop::runFor(5.5);
    EXPECT_EQ(toText(noticesAndHUDs()),
              "{notices: [{title: Driftlane, message: \"❗ Unsupported FPS: 240\", time_left: "
              "0.5}], huds: [{mode: text_only, label: Driftlane, details: \"❗ Unsupported FPS: "
              "240\", time_left: 0.5}]}");
    MainRunLoop::runFor(0.5);
    EXPECT_EQ(toText(noticesAndHUDs()), "{notices: [], huds: []}");
  });
}

TEST(AppSide, AHUDThatNothingHidesHasNoTimeLeft) {
  test::runForked([] {
    Class hudClass = quorvane::registerRuvelProgressHUD();
    host::openAppWindow(make(objc_getClass("UIViewController")));
    id screen = send<id>(send<id>(host::appWindow(), "rootViewController"_sel), "view"_sel);
    id hud = send<id>(hudClass, "showHUDAddedTo:animated:"_sel, screen, BOOL{NO});
    send(hud, "setLabelText:"_sel, "Saving Slo-mo..."_ns);
    EXPECT_EQ(toText(noticesAndHUDs()),
              "{notices: [], huds: [{mode: spinner, label: \"Saving Slo-mo...\", details: none, "
              "time_left: none}]}");
  });
}

}  // namespace
}  // namespace qv::sim

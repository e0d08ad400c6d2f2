// What an app process does for the supervisor, in forked children: methods taken away to model
// other system builds, the notices it reports with the time they have left, and snapshots at a
// display's density.
#include <gtest/gtest.h>

#include <fstream>

#include "host/AppWindow.h"
#include "host/Removals.h"
#include "hud/Notice.h"
#include "hud/RuvelProgressHUD.h"
#include "platform/UIKit/UIKit.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "sim/app/AppSide.h"
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

// The width and height a PNG file's header gives, as "W x H".
std::string pngSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  unsigned char header[24] = {};
  in.read(reinterpret_cast<char*>(header), sizeof header);
  const auto at = [&](int offset) {
    return (header[offset] << 24) | (header[offset + 1] << 16) | (header[offset + 2] << 8) |
           header[offset + 3];
  };
  return std::to_string(at(16)) + " x " + std::to_string(at(20));
}

TEST(AppSide, ASnapshotIsTakenAtTheScaleAsked) {
  test::runForked([] {
    host::applyScreen(host::Idiom::Phone);
    host::openAppWindow(make(objc_getClass("UIViewController")));
    const std::string one = ::testing::TempDir() + "/app-side-1x.png";
    const std::string two = ::testing::TempDir() + "/app-side-2x.png";
    EXPECT_EQ(app::perform("snapshot", one), "");
    EXPECT_EQ(pngSize(one), "320 x 568");
    EXPECT_EQ(app::perform("snapshot", ValueMap{{"file", two}, {"scale", 2LL}}), "");
    EXPECT_EQ(pngSize(two), "640 x 1136");
    EXPECT_EQ(app::perform("snapshot", ValueMap{{"file", two}, {"scale", 0LL}}),
              "snapshot: the scale is from 1 to 4, not 0");
  });
}

}  // namespace
}  // namespace qv::sim

// The camera screen's stock behaviour, which the tweak's hooks change: where and when the
// indicator is made, its stock tap, its place, and the controls around capture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/AppWindow.h"
#include "host/ios8/CaptureController.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/host/CameraHost.h"
#include "tests/support/Forked.h"

namespace qv {
namespace {

using host::kCameraModeSlowMotion;
using host::kCameraModeVideo;
using test::captureController;
using test::runForked;

id screen() {
  return send<id>(send<id>(host::appWindow(), "rootViewController"_sel), "view"_sel);
}

id indicator() {
  return send<id>(send<id>(screen(), "_bottomBar"_sel), "slalomIndicatorView"_sel);
}

void openOn(const std::string& device) {
  test::startCameraScreenHost(device);
  test::openCameraScreen();
}

void setMode(long mode) {
  send(screen(), "setCameraMode:"_sel, mode);
  ui::runPendingPasses();
}

TEST(CameraScreen, TheScreenIsTheCameraViewAndTheControllersDelegate) {
  runForked([] {
    AutoreleasePool pool;
    openOn("iPhone 6");
    EXPECT_STREQ(object_getClassName(screen()), "CAMCameraView");
    EXPECT_EQ(send<id>(captureController(), "delegate"_sel), screen());
    ui::runPendingPasses();
    const CGRect bar = send<CGRect>(send<id>(screen(), "_bottomBar"_sel), "frame"_sel);
    EXPECT_TRUE(CGRectEqualToRect(bar, CGRectMake(0, 418, 320, 150)));
    setMode(kCameraModeSlowMotion);
    EXPECT_EQ(send<long>(captureController(), "cameraMode"_sel), kCameraModeSlowMotion);
  });
}

TEST(CameraScreen, OnlyPhonesThatRecordSlowMotionGetTheIndicator) {
  for (const char* device : {"iPhone 5", "iPad Air 2"}) {
    runForked([device] {
      AutoreleasePool pool;
      openOn(device);
      setMode(kCameraModeSlowMotion);
      EXPECT_EQ(indicator(), nil) << device;
    });
  }
  runForked([] {
    AutoreleasePool pool;
    openOn("iPhone 6");
    setMode(kCameraModeVideo);
    EXPECT_EQ(indicator(), nil) << "made for slow motion";
    setMode(kCameraModeSlowMotion);
    ASSERT_NE(indicator(), nil);
    EXPECT_EQ(send<NSUInteger>(indicator(), "framesPerSecond"_sel), 240u);
    const CGRect frame = send<CGRect>(indicator(), "frame"_sel);
    EXPECT_TRUE(CGRectEqualToRect(frame, CGRectMake(265, 20, 40, 40)));
    id recognizers = send<id>(indicator(), "gestureRecognizers"_sel);
    ASSERT_EQ(arrayElements(recognizers).size(), 1u);
    EXPECT_EQ(ui::actionsOf(arrayElements(recognizers)[0]),
              std::vector<SEL>{"_slalomIndicatorTapped:"_sel});
  });
}

std::string minFrameDuration() {
  const CMTime time = send<CMTime>(send<id>(captureController(), "currentDevice"_sel),
                                   "activeVideoMinFrameDuration"_sel);
  return std::to_string(time.value) + "/" + std::to_string(time.timescale);
}

TEST(CameraScreen, TheStockTapSwitchesBetween120And240WhereTheCameraHasBoth) {
  runForked([] {
    AutoreleasePool pool;
    openOn("iPhone 6");
    setMode(kCameraModeSlowMotion);
    EXPECT_EQ(minFrameDuration(), "1/240");
    ui::tapView(indicator(), 1);
    EXPECT_EQ(send<NSUInteger>(indicator(), "framesPerSecond"_sel), 120u);
    EXPECT_EQ(minFrameDuration(), "1/120");
    ui::tapView(indicator(), 1);
    EXPECT_EQ(send<NSUInteger>(indicator(), "framesPerSecond"_sel), 240u);
  });
  runForked([] {
    AutoreleasePool pool;
    openOn("iPhone 5s");
    setMode(kCameraModeSlowMotion);
    ui::tapView(indicator(), 1);
    EXPECT_EQ(send<NSUInteger>(indicator(), "framesPerSecond"_sel), 120u) << "only 120";
  });
}

TEST(CameraScreen, CaptureHidesTheControlsAndTheIndicator) {
  runForked([] {
    AutoreleasePool pool;
    openOn("iPhone 6");
    setMode(kCameraModeSlowMotion);
    EXPECT_FALSE(send<BOOL>(indicator(), "isHidden"_sel));
    send(screen(), "_hideControlsForCapturingVideoAnimated:"_sel, BOOL{YES});
    EXPECT_TRUE(send<BOOL>(indicator(), "isHidden"_sel));
    send(screen(), "_showControlsForCapturingVideoAnimated:"_sel, BOOL{YES});
    EXPECT_FALSE(send<BOOL>(indicator(), "isHidden"_sel));
    setMode(kCameraModeVideo);
    EXPECT_TRUE(send<BOOL>(indicator(), "isHidden"_sel)) << "a slow-motion indicator";
  });
}

}  // namespace
}  // namespace qv

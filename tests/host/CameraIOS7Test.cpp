// The iOS 7 Camera's stock behaviour, which the iOS 7 library's hooks change: PLCameraController's
// slow-motion format and session, and PLCameraView's indicator and debug controls.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/AppWindow.h"
#include "host/ios7/CameraView.h"
#include "host/ios8/ControllerCore.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/System/FileSystem.h"
#include "platform/UIKit/UIKit.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/host/CameraHost.h"
#include "tests/support/Forked.h"
#include "tests/support/SandboxRoot.h"

namespace qv {
namespace {

using host::kCameraModeSlowMotion;
using host::kCameraModeVideo;
using test::activeFormatSize;
using test::captureController;
using test::runForked;

id device() {
  return send<id>(captureController(), "currentDevice"_sel);
}

id formatAt(std::size_t index) {
  return arrayElements(send<id>(device(), "formats"_sel)).at(index);
}

BOOL configure(long mode) {
  return send<BOOL>(captureController(), "_configureSessionWithCameraMode:cameraDevice:"_sel, mode,
                    long{0});
}

std::string minFrameDuration() {
  const CMTime time = send<CMTime>(device(), "activeVideoMinFrameDuration"_sel);
  return std::to_string(time.value) + "/" + std::to_string(time.timescale);
}

double forcedRate = 0;
double answerForcedRate(id, SEL) {
  return forcedRate;
}

TEST(CameraControllerIOS7, ChoosesTheFastestHDFormatForTheDeviceAlone) {
  for (const auto& [name, rate] : std::vector<std::pair<std::string, double>>{
           {"iPhone 5s (iOS 7.1)", 120}, {"iPhone 5 (iOS 7.0)", 0}, {"iPad Air (iOS 7.1)", 0}}) {
    runForked([&] {
      test::startCameraHost(name);
      EXPECT_STREQ(object_getClassName(captureController()), "PLCameraController") << name;
      // Every catalog device of the generation has its 1280×720 format sixth.
      EXPECT_EQ(send<id>(captureController(), "_mogulFormatFromDevice:"_sel, device()), formatAt(5))
          << name;
      EXPECT_EQ(send<double>(captureController(), "mogulFrameRate"_sel), rate) << name;
    });
  }
}

TEST(CameraControllerIOS7, SlowMotionCapturesAtMogulFrameRateWhereTheFormatAllowsIt) {
  runForked([] {
    test::startCameraHost("iPhone 5s (iOS 7.1)");
    ASSERT_TRUE(configure(kCameraModeSlowMotion));
    EXPECT_EQ(activeFormatSize(device()), "1280x720");
    EXPECT_EQ(minFrameDuration(), "1/120");
    EXPECT_EQ(send<long>(captureController(), "cameraMode"_sel), kCameraModeSlowMotion);

    ASSERT_TRUE(configure(kCameraModeVideo));
    EXPECT_EQ(activeFormatSize(device()), "1920x1080");
    EXPECT_EQ(minFrameDuration(), "1/30");

    // A rate beyond the format's ranges would make the device raise: the camera leaves it.
    class_replaceMethod(objc_getClass("PLCameraController"), sel_registerName("mogulFrameRate"),
                        toIMP(&answerForcedRate), "d@:");
    for (const double rate : {240.0, 1.0, 0.0}) {
      forcedRate = rate;
      EXPECT_FALSE(configure(kCameraModeSlowMotion)) << rate;
      EXPECT_EQ(activeFormatSize(device()), "1920x1080") << rate;
      EXPECT_EQ(minFrameDuration(), "1/30") << rate;
      EXPECT_EQ(send<long>(captureController(), "cameraMode"_sel), kCameraModeVideo) << rate;
    }
    forcedRate = 60;
    EXPECT_TRUE(configure(kCameraModeSlowMotion));
    EXPECT_EQ(minFrameDuration(), "1/60");
  });
}

id screen() {
  return send<id>(send<id>(host::appWindow(), "rootViewController"_sel), "view"_sel);
}

id indicator() {
  return send<id>(send<id>(screen(), "_bottomBar"_sel), "slalomIndicatorView"_sel);
}

void storeDebugCowbell(bool value) {
  const std::string path = userDefaultsPath("Camera");
  std::filesystem::create_directories(std::filesystem::path(resolvePath(path)).parent_path());
  Ref<> values =
      makeDictionary({{"PLDebugCowbell"_ns,
                       send<id>(objc_getClass("NSNumber"), "numberWithBool:"_sel, BOOL{value})}});
  ASSERT_TRUE(
      send<BOOL>(values.get(), "writeToFile:atomically:"_sel, makeString(path).get(), BOOL{YES}));
}

void openCamera(const std::string& device) {
  registerUserDefaults("Camera");
  test::startCameraScreenHost(device);
  test::openCameraScreen();
}

void setMode(long mode) {
  send(screen(), "setCameraMode:"_sel, mode);
  ui::runPendingPasses();
}

TEST(CameraViewIOS7, TheGestaltDecidesTheIndicatorWhichHasNoTapOfItsOwn) {
  runForked([] {
    AutoreleasePool pool;
    openCamera("iPhone 5s (iOS 7.1)");
    EXPECT_STREQ(object_getClassName(screen()), "PLCameraView");
    EXPECT_EQ(send<id>(captureController(), "delegate"_sel), screen());
    setMode(kCameraModeSlowMotion);
    ASSERT_NE(indicator(), nil);
    EXPECT_EQ(send<NSUInteger>(indicator(), "framesPerSecond"_sel), 120u);
    EXPECT_EQ(arrayElements(send<id>(indicator(), "gestureRecognizers"_sel)).size(), 0u);
    EXPECT_EQ(minFrameDuration(), "1/120");
  });
  runForked([] {
    AutoreleasePool pool;
    openCamera("iPhone 5 (iOS 7.0)");
    setMode(kCameraModeSlowMotion);
    EXPECT_EQ(indicator(), nil) << "the gestalt claims no high-frame-rate capture";
  });
}

// The stored default is read from the app's defaults file, as a new process of the app finds it.
TEST(CameraViewIOS7, TheDebugControlsFollowTheStoredCowbellInSlowMotion) {
  for (const bool stored : {true, false}) {
    runForked([stored] {
      AutoreleasePool pool;
      test::SandboxRoot root;
      storeDebugCowbell(stored);
      openCamera("iPhone 5s (iOS 7.1)");
      setMode(kCameraModeSlowMotion);
      id panel = host::slalomDebugView(screen());
      if (!stored) {
        EXPECT_EQ(panel, nil);
        return;
      }
      ASSERT_NE(panel, nil);
      EXPECT_FALSE(send<BOOL>(panel, "isHidden"_sel));
      EXPECT_EQ(host::slalomDebugLines(),
                (std::vector<std::string>{"SLALOM DEBUG", "capture: 120 fps",
                                          "format: 1280x720, up to 120", "mogul: 120 fps"}));
      setMode(kCameraModeVideo);
      EXPECT_TRUE(send<BOOL>(panel, "isHidden"_sel));
    });
  }
}

}  // namespace
}  // namespace qv

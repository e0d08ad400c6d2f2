#include "host/ios8/CaptureController.h"

#include <gtest/gtest.h>

#include "host/DeviceSetup.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/Foundation/FoundationRuntime.h"
#include "platform/MobileGestalt/MobileGestalt.h"
#include "platform/Seams.h"
#include "tests/host/CameraHost.h"
#include "tests/support/Forked.h"

namespace qv {
namespace {

using test::activeFormatSize;
using test::captureController;
using test::runForked;
using test::startCameraHost;

double mogulFrameRate() {
  return send<double>(captureController(), "mogulFrameRate"_sel);
}

BOOL configure(long mode, long camera = 0) {
  return send<BOOL>(captureController(),
                    "_configureSessionWithCameraMode:cameraDevice:options:"_sel, mode, camera, nil);
}

id device() {
  return send<id>(captureController(), "currentDevice"_sel);
}

// "1/240" for the device's frame durations when both agree, else both.
std::string frameDurations() {
  const CMTime low = send<CMTime>(device(), "activeVideoMinFrameDuration"_sel);
  const CMTime high = send<CMTime>(device(), "activeVideoMaxFrameDuration"_sel);
  const std::string text = std::to_string(low.value) + "/" + std::to_string(low.timescale);
  if (CMTimeCompare(low, high) == 0) return text;
  return text + " " + std::to_string(high.value) + "/" + std::to_string(high.timescale);
}

TEST(DeviceSetup, AppliesVersionNumbersGestaltAndCamera) {
  runForked([] {
    startCameraHost("iPhone 6");
    EXPECT_EQ(kCFCoreFoundationVersionNumber, 1145.15);
    EXPECT_EQ(NSFoundationVersionNumber, 1144.17);
    EXPECT_TRUE(MGGetBoolAnswer("RearFacingCameraHFRCapability"_ns));
    EXPECT_EQ(device(), send<id>(objc_getClass("AVCaptureDevice"),
                                 "defaultDeviceWithMediaType:"_sel, AVMediaTypeVideo));
    EXPECT_EQ(arrayElements(send<id>(device(), "formats"_sel)).size(), 7u);
  });
}

TEST(CaptureController, MogulFrameRateIsTheDevicesOwn) {
  for (const auto& [name, rate] : std::vector<std::pair<std::string, double>>{
           {"iPhone 6", 240}, {"iPhone 5s", 120}, {"iPad Air 2", 120}, {"iPhone 5", 0}}) {
    runForked([&] {
      startCameraHost(name);
      EXPECT_EQ(mogulFrameRate(), rate) << name;
    });
  }
}

TEST(CaptureController, MogulFormatIsTheFirstHDFormatReachingTheRate) {
  runForked([] {
    startCameraHost("iPhone 6");
    const std::vector<id> formats = arrayElements(send<id>(device(), "formats"_sel));
    const auto formatFor = [](double rate) {
      return send<id>(captureController(), "_mogulFormatFromDevice:frameRate:"_sel, device(), rate);
    };
    EXPECT_EQ(formatFor(240.0), formats[5]);
    EXPECT_EQ(formatFor(241.0), nil);
  });
}

TEST(CaptureController, SlowMotionRunsAtTheFormatsBestRate) {
  runForked([] {
    startCameraHost("iPhone 6");
    EXPECT_TRUE(configure(host::kCameraModeSlowMotion));
    EXPECT_EQ(activeFormatSize(device()), "1280x720");
    EXPECT_EQ(frameDurations(), "1/240");
    EXPECT_EQ(send<long>(captureController(), "cameraMode"_sel), 2);
    EXPECT_TRUE(configure(host::kCameraModeVideo));
    EXPECT_EQ(activeFormatSize(device()), "1920x1080");
    EXPECT_EQ(frameDurations(), "1/30");
  });
}

TEST(CaptureController, RefusesWithoutAFormatOrForAnotherCamera) {
  runForked([] {
    startCameraHost("iPhone 6");
    EXPECT_FALSE(configure(host::kCameraModeVideo, 1)) << "no front camera";

    setBackCamera(
        std::vector<CaptureFormat>{{"vide", 1280, 720, {}}, {"vide", 1920, 1080, {{2, 30}}}});
    ClassBuilder("OtherCaptureController", objc_getClass("CAMCaptureController")).registerClass();
    id controller = send<id>(objc_getClass("OtherCaptureController"), "sharedInstance"_sel);
    id camera = send<id>(controller, "currentDevice"_sel);
    EXPECT_FALSE(send<BOOL>(controller, "_configureSessionWithCameraMode:cameraDevice:options:"_sel,
                            long{host::kCameraModeSlowMotion}, 0L, nil))
        << "the 1280x720 format has no ranges";
    EXPECT_EQ(activeFormatSize(camera), "1920x1080") << "the device is left alone";

    setBackCamera(std::nullopt);
    ClassBuilder("CameralessController", objc_getClass("CAMCaptureController")).registerClass();
    controller = send<id>(objc_getClass("CameralessController"), "sharedInstance"_sel);
    EXPECT_FALSE(send<BOOL>(controller, "_configureSessionWithCameraMode:cameraDevice:options:"_sel,
                            long{host::kCameraModeVideo}, 0L, nil));
  });
}

TEST(CaptureController, TheHostsGestaltCallersSeeTheDevicesAnswer) {
  runForked([] {
    startCameraHost("iPhone 6");
    setGestaltAnswers({{"RearFacingCameraHFRCapability", false}});
    EXPECT_EQ(mogulFrameRate(), 0.0);
  });
}

TEST(CaptureController, StartPreviewRunsThePreview) {
  runForked([] {
    startCameraHost("iPhone 4s");
    EXPECT_FALSE(send<BOOL>(captureController(), "isPreviewRunning"_sel));
    send(captureController(), "startPreview"_sel);
    EXPECT_TRUE(send<BOOL>(captureController(), "isPreviewRunning"_sel));
    send(captureController(), "stopPreview"_sel);
    EXPECT_FALSE(send<BOOL>(captureController(), "isPreviewRunning"_sel));
  });
}

TEST(CaptureController, IOS9ControllerInheritsEveryMethod) {
  runForked([] {
    startCameraHost("iPhone 6s Plus");
    Class subclass = objc_getClass("CAMCaptureController");
    Class base = objc_getClass("CMKCaptureController");
    ASSERT_NE(base, Nil);
    EXPECT_EQ(class_getSuperclass(subclass), base);
    unsigned count = 0;
    free(class_copyMethodList(subclass, &count));
    EXPECT_EQ(count, 0u) << "an empty subclass";
    EXPECT_EQ(object_getClass(captureController()), subclass);
    EXPECT_EQ(mogulFrameRate(), 240.0);
    EXPECT_TRUE(configure(host::kCameraModeSlowMotion));
    EXPECT_EQ(frameDurations(), "1/240");
  });
}

}  // namespace
}  // namespace qv

// The capture hooks of the built QuorvaneiOS8.dylib, in a camera host made from the shipped
// device catalog, mapped as the loader maps it.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/ios8/CaptureController.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/Foundation/Foundation.h"
#include "platform/MobileGestalt/MobileGestalt.h"
#include "platform/Seams.h"
#include "tests/capture/TweakedCamera.h"
#include "tests/host/CameraHost.h"
#include "tests/support/Forked.h"

namespace qv {
namespace {

using test::captureController;
using test::runForked;

// A camera app on the device with the library loaded; MogulFramerate as given, or absent.
class CameraApp : public test::TweakedCamera {
 public:
  explicit CameraApp(const std::string& device, std::optional<double> mogulFramerate = {},
                     const std::function<void()>& beforeLoad = {})
      : TweakedCamera(device, settingsFor(mogulFramerate),
                      test::CameraOptions().controllerOnly().beforeLoading(beforeLoad)) {}

 private:
  static test::SettingsEntries settingsFor(std::optional<double> mogulFramerate) {
    if (!mogulFramerate) return {};
    return {{"MogulFramerate", *mogulFramerate}};
  }
};

double mogulFrameRate(id controller = captureController()) {
  return send<double>(controller, "mogulFrameRate"_sel);
}

BOOL configure(long mode, id controller = captureController()) {
  return send<BOOL>(controller, "_configureSessionWithCameraMode:cameraDevice:options:"_sel, mode,
                    0L, nil);
}

// The back camera's frame durations as "1/240" ("1/240 1/30" when they differ).
std::string frameDurations() {
  id device = send<id>(objc_getClass("AVCaptureDevice"), "defaultDeviceWithMediaType:"_sel,
                       AVMediaTypeVideo);
  const CMTime low = send<CMTime>(device, "activeVideoMinFrameDuration"_sel);
  const CMTime high = send<CMTime>(device, "activeVideoMaxFrameDuration"_sel);
  const auto text = [](CMTime time) {
    return std::to_string(time.value) + "/" + std::to_string(time.timescale);
  };
  return CMTimeCompare(low, high) == 0 ? text(low) : text(low) + " " + text(high);
}

std::string activeFormatSize() {
  return test::activeFormatSize(send<id>(captureController(), "currentDevice"_sel));
}

TEST(CaptureLibrary, MogulFrameRateAnswersTheSetting) {
  runForked([] {
    CameraApp app("iPhone 5s", 240);
    EXPECT_EQ(mogulFrameRate(), 240.0) << "the device's own is 120";
  });
  runForked([] {
    CameraApp app("iPhone 5");
    EXPECT_EQ(mogulFrameRate(), 60.0) << "the default setting";
  });
}

TEST(CaptureLibrary, CMTimeMakeChangesOnlyInsideTheConfiguration) {
  runForked([] {
    CameraApp app("iPhone 6", 100);
    EXPECT_EQ(CMTimeMake(1, 240).timescale, 240);
    EXPECT_TRUE(configure(host::kCameraModeSlowMotion));
    EXPECT_EQ(activeFormatSize(), "1280x720");
    EXPECT_EQ(frameDurations(), "1/100") << "the host asked for 1/240";
    EXPECT_EQ(app.noHigh(), NO);
    EXPECT_EQ(CMTimeMake(1, 240).timescale, 240);
    EXPECT_TRUE(configure(host::kCameraModeVideo));
    EXPECT_EQ(frameDurations(), "1/30") << "30 is not above 60";
  });
}

TEST(CaptureLibrary, AtSixtyAndBelowTheTweakChoosesTheFormat) {
  runForked([] {
    // The best format is 720p up to 240, whose first range reaches 30: the last 720p format.
    CameraApp app("iPhone 6 Plus", 30);
    EXPECT_TRUE(configure(host::kCameraModeSlowMotion));
    EXPECT_EQ(activeFormatSize(), "1280x720");
    EXPECT_EQ(frameDurations(), "1/30");
  });
  runForked([] {
    // No format reaches 240: the stock choice finds none and the configuration is refused.
    CameraApp app("iPhone 5s", 240);
    EXPECT_FALSE(configure(host::kCameraModeSlowMotion));
  });
}

TEST(CaptureLibrary, AZeroSettingNeverMakesAZeroTimescale) {
  runForked([] {
    CameraApp app("iPhone 6", 0);
    // The chooser keeps the 720p format; the host's own 1/240 passes unchanged instead of
    // becoming an invalid time that the device raises on.
    EXPECT_TRUE(configure(host::kCameraModeSlowMotion));
    EXPECT_EQ(frameDurations(), "1/240");
  });
}

TEST(CaptureLibrary, TheRearCameraAlwaysClaimsHighFrameRates) {
  runForked([] {
    CameraApp app("iPhone 5", std::nullopt,
                  [] { EXPECT_FALSE(MGGetBoolAnswer("RearFacingCameraHFRCapability"_ns)); });
    setGestaltAnswers({{"RearFacingCameraHFRCapability", false}, {"Other", true}});
    EXPECT_TRUE(MGGetBoolAnswer("RearFacingCameraHFRCapability"_ns));
    EXPECT_TRUE(MGGetBoolAnswer("Other"_ns));
    EXPECT_FALSE(MGGetBoolAnswer("Unknown"_ns));
    EXPECT_FALSE(MGGetBoolAnswer(nil));
  });
}

TEST(CaptureLibrary, BestFrameRateOfTheDefaultDevice) {
  runForked([] {
    CameraApp app("iPhone 6");
    id best = app.bestFrameRateRange();
    EXPECT_EQ(send<double>(best, "maxFrameRate"_sel), 240.0);
    EXPECT_EQ(app.maximumFPS(), 240);
    setBackCamera(std::vector<CaptureFormat>{{"vide", 1280, 720, {{2, 30}, {2, 239.999}}}});
    EXPECT_EQ(app.maximumFPS(), 239) << "truncated";
  });
}

TEST(CaptureLibrary, ADeviceWithoutFormats) {
  for (const auto& camera : std::vector<std::optional<std::vector<CaptureFormat>>>{
           std::vector<CaptureFormat>{}, std::nullopt}) {
    runForked([&camera] {
      CameraApp app("iPhone 6", 30, [&] { setBackCamera(camera); });
      EXPECT_EQ(app.bestFrameRateRange(), nil);
      EXPECT_EQ(app.maximumFPS(), 30);
      EXPECT_FALSE(configure(host::kCameraModeSlowMotion)) << "and no crash";
    });
  }
}

TEST(CaptureLibrary, HooksReachTheIOS9SubclassOnly) {
  runForked([] {
    CameraApp app("iPhone 6s Plus", 120, [] {
      ClassBuilder("OtherCaptureController", objc_getClass("CMKCaptureController")).registerClass();
    });
    id base = send<id>(objc_getClass("CMKCaptureController"), "sharedInstance"_sel);
    id sibling = send<id>(objc_getClass("OtherCaptureController"), "sharedInstance"_sel);
    EXPECT_EQ(mogulFrameRate(), 120.0);
    EXPECT_EQ(mogulFrameRate(base), 240.0);
    EXPECT_EQ(mogulFrameRate(sibling), 240.0);

    EXPECT_TRUE(configure(host::kCameraModeSlowMotion));
    EXPECT_EQ(frameDurations(), "1/120");
    EXPECT_TRUE(configure(host::kCameraModeSlowMotion, base));
    EXPECT_EQ(frameDurations(), "1/240") << "no configuration window for the base class";
    EXPECT_TRUE(configure(host::kCameraModeSlowMotion, sibling));
    EXPECT_EQ(frameDurations(), "1/240");
  });
}

}  // namespace
}  // namespace qv

// The capture replacements installed from a table of their own, for what the library's
// interface cannot reach: previewBlocked, which the camera screen sets, and the window's end.
#include "capture/CaptureHooks.h"
#include "capture/CaptureHooksIOS8.h"

#include <gtest/gtest.h>

#include <array>

#include "core/Installation.h"
#include "core/Settings.h"
#include "host/ios8/CaptureController.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/Foundation/Foundation.h"
#include "tests/host/CameraHost.h"
#include "tests/support/Forked.h"

namespace quorvane {
namespace {

using qv::test::captureController;
using qv::test::runForked;

void installCaptureHooks() {
  static const std::array<FunctionHook, 1> functions{
      functionHook(&CMTimeMake, &replaced_CMTimeMake, original_CMTimeMake)};
  static const std::array<HookGroup, 1> groups{
      HookGroup{"CAMCaptureController", captureControllerHooks()}};
  installHookTable({functions, groups}, {"QuorvaneTest", "Tweak", 1, false});
}

bool previewRunning() {
  return qv::send<BOOL>(captureController(), "isPreviewRunning"_sel);
}

TEST(CaptureHooks, ARefusedPreviewNeverStarts) {
  runForked([] {
    qv::test::startCameraHost("iPhone 6");
    installCaptureHooks();
    qv::send(captureController(), "startPreview"_sel);
    EXPECT_TRUE(previewRunning());
    qv::send(captureController(), "stopPreview"_sel);

    previewBlocked = YES;
    qv::send(captureController(), "startPreview"_sel);
    EXPECT_FALSE(previewRunning());
    qv::send(captureController(), "_startPreview:"_sel, nil);
    EXPECT_FALSE(previewRunning());
  });
}

TEST(CaptureHooks, TheWindowClosesWhenTheConfigurationRaises) {
  runForked([] {
    qv::test::startCameraHost("iPhone 6");
    // A slow-motion format that cannot run slower than 120 frames per second.
    qv::setBackCamera(std::vector<qv::CaptureFormat>{{"vide", 1280, 720, {{120, 240}}}});
    installCaptureHooks();
    settings.MogulFramerate.set(30);
    EXPECT_THROW(qv::send<BOOL>(captureController(),
                                "_configureSessionWithCameraMode:cameraDevice:options:"_sel,
                                long{qv::host::kCameraModeSlowMotion}, 0L, nil),
                 qv::ObjCException)
        << "1/30 is outside the format's range";
    EXPECT_EQ(noHigh, NO);
    EXPECT_EQ(CMTimeMake(1, 240).timescale, 240);
  });
}

}  // namespace
}  // namespace quorvane

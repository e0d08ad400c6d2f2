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
    // The stock format choice, which the replacement defers to above 60, raises.
    class_replaceMethod(objc_getClass("CAMCaptureController"),
                        sel_registerName("_mogulFormatFromDevice:frameRate:"),
                        reinterpret_cast<IMP>(+[](id, SEL, id, double) -> id {
                          qv::raise("NSGenericException", "no format today");
                        }),
                        "@@:@d");
    installCaptureHooks();
    settings.MogulFramerate.set(240);
    EXPECT_THROW(qv::send<BOOL>(captureController(),
                                "_configureSessionWithCameraMode:cameraDevice:options:"_sel,
                                long{qv::host::kCameraModeSlowMotion}, 0L, nil),
                 qv::ObjCException);
    EXPECT_EQ(noHigh, NO);
    EXPECT_EQ(CMTimeMake(1, 240).timescale, 240);
  });
}

}  // namespace
}  // namespace quorvane

// The camera screen hooks of the built QuorvaneiOS8.dylib, in a camera app made from the shipped
// catalog: the kickoff's refusal, the stock tap's threshold and removal, the indicator's hidden
// states, frame and creation on every device, and cameraView on both sides of 1217.11.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/AppWindow.h"
#include "host/ios8/CaptureController.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/UIKit/UIKit.h"
#include "tests/capture/TweakedCamera.h"
#include "tests/host/CameraHost.h"
#include "tests/support/Forked.h"

namespace qv {
namespace {

using host::kCameraModeSlowMotion;
using host::kCameraModeVideo;
using test::runForked;
using test::TweakedCamera;

void kickoff() {
  send(send<id>(host::appWindow(), "rootViewController"_sel),
       "_kickoffCameraControllerPreview"_sel);
}

bool previewRunning() {
  return send<BOOL>(test::captureController(), "isPreviewRunning"_sel);
}

std::vector<std::string> actionsOn(id view) {
  std::vector<std::string> actions;
  for (id recognizer : arrayElements(send<id>(view, "gestureRecognizers"_sel))) {
    for (SEL action : ui::actionsOf(recognizer)) actions.push_back(sel_getName(action));
  }
  return actions;
}

bool hidden(id view) {
  return send<BOOL>(view, "isHidden"_sel);
}

TEST(CameraScreenLibrary, ThePreviewStartsOnlyAtARateTheDeviceOffers) {
  runForked([] {
    TweakedCamera app("iPhone 6", {{"MogulFramerate", 240LL}});
    kickoff();
    EXPECT_TRUE(previewRunning());
    EXPECT_TRUE(test::noticesOn(app.screen()).empty());
  });
  runForked([] {
    TweakedCamera app("iPhone 5s", {{"MogulFramerate", 240LL}});
    kickoff();
    EXPECT_FALSE(previewRunning());
    EXPECT_EQ(test::noticesOn(app.screen()),
              std::vector<std::string>{"❗ Unsupported FPS: 240\nHead to settings to change this."});
    app.wait(9.9);
    EXPECT_EQ(test::noticesOn(app.screen()).size(), 1u) << "ten seconds";
    app.wait(0.2);
    EXPECT_TRUE(test::noticesOn(app.screen()).empty());
    send(test::captureController(), "startPreview"_sel);
    kickoff();
    EXPECT_FALSE(previewRunning()) << "never again in this process";
  });
  for (const long long rate : {0LL, 1LL}) {
    runForked([rate] {
      TweakedCamera app("iPhone 6", {{"MogulFramerate", rate}});
      kickoff();
      EXPECT_FALSE(previewRunning()) << rate;
    });
  }
}

TEST(CameraScreenLibrary, WithoutFrameRateRangesThirtyIsTheMost) {
  for (const long long rate : {30LL, 31LL}) {
    runForked([rate] {
      TweakedCamera app("iPhone 6", {{"MogulFramerate", rate}},
                        test::CameraOptions().beforeLoading([] {
                          setBackCamera(std::vector<CaptureFormat>{{"vide", 1280, 720, {}}});
                        }));
      kickoff();
      EXPECT_EQ(previewRunning(), rate == 30) << rate;
    });
  }
}

int stockTaps = 0;
void countStockTap(id, SEL, id) {
  ++stockTaps;
}

TEST(CameraScreenLibrary, TheStockTapGoesThroughFrom120) {
  for (const long long rate : {60LL, 100LL, 120LL, 240LL}) {
    runForked([rate] {
      TweakedCamera app("iPhone 6", {{"MogulFramerate", rate}, {"indicatorTap", false}},
                        test::CameraOptions().beforeLoading([] {
                          class_replaceMethod(objc_getClass("CAMCameraView"),
                                              "_slalomIndicatorTapped:"_sel, toIMP(&countStockTap),
                                              "v@:@");
                        }));
      app.setMode(kCameraModeSlowMotion);
      ui::tapView(app.indicator(), 1);
      EXPECT_EQ(stockTaps, rate >= 120 ? 1 : 0) << rate;
    });
  }
}

TEST(CameraScreenLibrary, TheStockTapIsTakenAwayWhenTheTweakTaps) {
  runForked([] {
    TweakedCamera app("iPhone 6", {});
    app.setMode(kCameraModeSlowMotion);
    EXPECT_EQ(actionsOn(app.indicator()), (std::vector<std::string>{"autoSetFPS", "setFPS:"}));
  });
  runForked([] {
    TweakedCamera app("iPhone 6", {{"indicatorTap", false}});
    app.setMode(kCameraModeSlowMotion);
    EXPECT_EQ(actionsOn(app.indicator()), std::vector<std::string>{"_slalomIndicatorTapped:"});
  });
}

void showControls(id screen) {
  send(screen, "_showControlsForCapturingVideoAnimated:"_sel, BOOL{YES});
}
void hideControls(id screen) {
  send(screen, "_hideControlsForCapturingVideoAnimated:"_sel, BOOL{YES});
}

TEST(CameraScreenLibrary, InSlowMotionTheIndicatorHidesAsHideIndicatorSays) {
  for (const bool hideIndicator : {true, false}) {
    runForked([hideIndicator] {
      TweakedCamera app("iPhone 6", {{"hideIndicator", hideIndicator}});
      app.setMode(kCameraModeSlowMotion);  // shows the mode's controls
      EXPECT_EQ(hidden(app.indicator()), hideIndicator);
      hideControls(app.screen());
      EXPECT_FALSE(hidden(app.indicator())) << "visible while capturing";
      showControls(app.screen());
      EXPECT_EQ(hidden(app.indicator()), hideIndicator);
      // Recording hides and then shows the controls, through the camera screen.
      send(test::captureController(), "startVideoCapture"_sel);
      EXPECT_FALSE(hidden(app.indicator()));
      send(test::captureController(), "stopVideoCapture"_sel);
      EXPECT_EQ(hidden(app.indicator()), hideIndicator);
    });
  }
  runForked([] {
    // In another mode the stock keeps the indicator hidden, and the tweak leaves it so.
    TweakedCamera app("iPhone 6", {{"hideIndicator", false}});
    app.setMode(kCameraModeSlowMotion);
    app.setMode(kCameraModeVideo);
    EXPECT_TRUE(hidden(app.indicator()));
    hideControls(app.screen());
    EXPECT_TRUE(hidden(app.indicator()));
    showControls(app.screen());
    EXPECT_TRUE(hidden(app.indicator()));
  });
}

std::string frameOf(id view) {
  const CGRect f = send<CGRect>(view, "frame"_sel);
  return std::to_string(int(f.origin.x)) + "," + std::to_string(int(f.origin.y)) + " " +
         std::to_string(int(f.size.width)) + "x" + std::to_string(int(f.size.height));
}

TEST(CameraScreenLibrary, TheIndicatorIsCentredInTheBottomBar) {
  runForked([] {
    TweakedCamera app("iPhone 6", {});
    app.setMode(kCameraModeSlowMotion);
    EXPECT_EQ(frameOf(app.indicator()), "140,20 40x40") << "the stock puts it at 265,20";
  });
  runForked([] {
    TweakedCamera app("iPad Air 2", {});
    app.setMode(kCameraModeSlowMotion);
    EXPECT_EQ(frameOf(app.indicator()), "364,20 40x40");
  });
}

TEST(CameraScreenLibrary, AnIPadGetsTheIndicatorWhileItStaysAnIPad) {
  runForked([] {
    TweakedCamera app("iPad Air", {});
    id spec = send<id>(objc_getClass("CAMCameraSpec"), "specForCurrentDevice"_sel);
    EXPECT_STREQ(object_getClassName(spec), "CAMPadApplicationSpec");
    EXPECT_FALSE(send<BOOL>(spec, "isPhone"_sel));
    EXPECT_TRUE(send<BOOL>(spec, "shouldCreateSlalomIndicator"_sel)) << "its camera tops at 30";
    EXPECT_NE(
        class_getInstanceMethod(objc_getClass("CAMPadApplicationSpec"),
                                "shouldCreateSlalomIndicator"_sel),
        class_getInstanceMethod(objc_getClass("CAMCameraSpec"), "shouldCreateSlalomIndicator"_sel))
        << "added to the iPad's own spec class";
    app.setMode(kCameraModeSlowMotion);
    ASSERT_NE(app.indicator(), nil) << "isPhone answered YES during the creation";
    EXPECT_FALSE(send<BOOL>(spec, "isPhone"_sel)) << "and the stock answer after it";
    EXPECT_EQ(send<NSUInteger>(app.indicator(), "framesPerSecond"_sel), 60u);
  });
}

TEST(CameraScreenLibrary, CameraViewBeforeAndFrom1217) {
  runForked([] {
    TweakedCamera app("iPhone 6", {}, test::CameraOptions().on("8.4"));
    app.setMode(kCameraModeSlowMotion);
    EXPECT_EQ(app.cameraViewOf(app.indicator()), app.screen());
    Ref<> other = make(objc_getClass("UIView"));
    send(test::captureController(), "setDelegate:"_sel, other.get());
    EXPECT_EQ(app.cameraViewOf(app.indicator()), other.get()) << "the controller's delegate";
  });
  runForked([] {
    TweakedCamera app("iPhone 6s", {}, test::CameraOptions().on("9.0"));
    app.setMode(kCameraModeSlowMotion);
    Ref<> other = make(objc_getClass("UIView"));
    send(test::captureController(), "setDelegate:"_sel, other.get());
    EXPECT_EQ(app.cameraViewOf(app.indicator()), app.screen()) << "the indicator's grandparent";
    EXPECT_EQ(app.cameraViewOf(nil), nil);
  });
}

}  // namespace
}  // namespace qv

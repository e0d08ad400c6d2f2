// The indicator as a frame-rate control, in the built QuorvaneiOS8.dylib: the alert and its round
// trips, the double tap, FakeFPS, and a rate the device cannot take, which leaves it as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/ios8/CaptureController.h"
#include "platform/AVFoundation/AVFoundation.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/UIKit/UIKit.h"
#include "tests/capture/TweakedCamera.h"
#include "tests/host/CameraHost.h"
#include "tests/support/Forked.h"

namespace qv {
namespace {

using host::kCameraModeSlowMotion;
using host::kCameraModeVideo;
using test::noticesOn;
using test::runForked;
using test::TweakedCamera;

const std::string kInvalid = "❗ Invalid FPS.";
const std::string kUnsupported = "❗ This FPS is not supported by the device.";

// The back camera's frame durations as "1/240" ("1/240 1/30" when they differ).
std::string frameDurations() {
  id device = send<id>(test::captureController(), "currentDevice"_sel);
  const auto text = [](CMTime time) {
    return std::to_string(time.value) + "/" + std::to_string(time.timescale);
  };
  const CMTime low = send<CMTime>(device, "activeVideoMinFrameDuration"_sel);
  const CMTime high = send<CMTime>(device, "activeVideoMaxFrameDuration"_sel);
  return CMTimeCompare(low, high) == 0 ? text(low) : text(low) + " " + text(high);
}

NSUInteger shownRate(const TweakedCamera& app) {
  return send<NSUInteger>(app.indicator(), "framesPerSecond"_sel);
}

void type(id alert, const char* text) {
  send(send<id>(alert, "textFieldAtIndex:"_sel, NSInteger{0}), "setText:"_sel,
       makeString(text).get());
}

// Taps the indicator, types the text and presses the button, as the user does.
void choose(const TweakedCamera& app, const char* text, NSInteger button) {
  ui::tapView(app.indicator(), 1);
  ASSERT_NE(app.alert(), nil);
  type(app.alert(), text);
  ASSERT_TRUE(ui::pressAlertButton(app.alert(), button));
}

TEST(IndicatorChooser, ATapOpensTheChooserAlert) {
  runForked([] {
    TweakedCamera app("iPhone 6", {{"MogulFramerate", 120LL}});
    app.setMode(kCameraModeSlowMotion);
    ui::tapView(app.indicator(), 1);
    id alert = app.alert();
    ASSERT_NE(alert, nil);
    EXPECT_EQ(send<id>(alert, "title"_sel), nil);
    EXPECT_EQ(utf8(send<id>(alert, "message"_sel)), "Enter new FPS");
    EXPECT_EQ(send<id>(alert, "delegate"_sel), app.indicator());
    std::vector<std::string> buttons;
    for (NSInteger i = 0; i < send<NSInteger>(alert, "numberOfButtons"_sel); ++i) {
      buttons.push_back(utf8(send<id>(alert, "buttonTitleAtIndex:"_sel, i)));
    }
    EXPECT_EQ(buttons, (std::vector<std::string>{"Cancel", "Set", "Auto Set"}));
    EXPECT_EQ(send<NSInteger>(alert, "cancelButtonIndex"_sel), 0);
    EXPECT_EQ(send<NSInteger>(alert, "alertViewStyle"_sel), UIAlertViewStylePlainTextInput);
    EXPECT_EQ(send<NSInteger>(alert, "tag"_sel), 5566);
    id field = send<id>(alert, "textFieldAtIndex:"_sel, NSInteger{0});
    EXPECT_EQ(send<NSInteger>(field, "keyboardType"_sel), UIKeyboardTypeNumberPad);
    EXPECT_EQ(utf8(send<id>(field, "placeholder"_sel)), "FPS to be set");
    EXPECT_EQ(send<NSInteger>(field, "textAlignment"_sel), NSTextAlignmentCenter);
    EXPECT_EQ(retainCount(alert), 1u) << "the window holds it, the tweak let go";
  });
}

TEST(IndicatorChooser, ARefusedEntryBringsTheSameAlertBackAfterItsNotice) {
  runForked([] {
    TweakedCamera app("iPhone 6", {{"MogulFramerate", 120LL}});
    app.setMode(kCameraModeSlowMotion);
    choose(app, "500", 1);
    EXPECT_EQ(app.alert(), nil) << "dismissed by the press";
    EXPECT_EQ(noticesOn(app.screen()), std::vector<std::string>{kUnsupported});
    app.wait(1.7);
    EXPECT_EQ(app.alert(), nil);
    app.wait(0.2);
    id again = app.alert();
    ASSERT_NE(again, nil) << "back after 1.8 s";
    EXPECT_EQ(utf8(send<id>(send<id>(again, "textFieldAtIndex:"_sel, NSInteger{0}), "text"_sel)),
              "500");
    for (const char* entry : {"0", "1", "", "fps"}) {
      type(again, entry);
      ASSERT_TRUE(ui::pressAlertButton(again, 1));
      EXPECT_EQ(noticesOn(app.screen()).back(), kInvalid) << "'" << entry << "'";
      app.wait(1.4);
      EXPECT_EQ(app.alert(), nil);
      app.wait(0.2);
      ASSERT_EQ(app.alert(), again) << "the same alert, after 1.5 s";
      app.wait(0.5);  // the notice's fade
    }
    EXPECT_EQ(frameDurations(), "1/120") << "no refusal touched the device";
    EXPECT_EQ(shownRate(app), 120u);
    type(again, "240 fps");
    ASSERT_TRUE(ui::pressAlertButton(again, 1));
    EXPECT_EQ(frameDurations(), "1/240");
    EXPECT_EQ(shownRate(app), 240u);
    app.wait(5);
    EXPECT_EQ(app.alert(), nil);
  });
}

TEST(IndicatorChooser, CancelAutoSetAndForeignAlerts) {
  runForked([] {
    TweakedCamera app("iPhone 6", {{"MogulFramerate", 120LL}});
    app.setMode(kCameraModeSlowMotion);
    choose(app, "240", 0);
    EXPECT_EQ(frameDurations(), "1/120") << "Cancel does nothing";
    EXPECT_TRUE(noticesOn(app.screen()).empty());
    choose(app, "60", 2);
    EXPECT_EQ(frameDurations(), "1/240") << "Auto Set takes the highest";
    EXPECT_EQ(shownRate(app), 240u);

    // An alert of another tag whose delegate is the indicator is ignored, whatever is pressed.
    Ref<> foreign = adopt(sendVarargs<id, id, id, id, id, id>(
        send<id>(objc_getClass("UIAlertView"), "alloc"_sel),
        "initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:"_sel, nil, "Other"_ns,
        app.indicator(), "Cancel"_ns, "Set"_ns, "Auto Set"_ns, nil));
    send(foreign, "setTag:"_sel, NSInteger{1});
    for (NSInteger button = 0; button < 3; ++button) {
      send(foreign, "show"_sel);
      ASSERT_TRUE(ui::pressAlertButton(foreign, button));
    }
    // With the chooser's tag but no text field, Set reads as nothing typed.
    send(foreign, "setTag:"_sel, NSInteger{5566});
    send(foreign, "show"_sel);
    ASSERT_TRUE(ui::pressAlertButton(foreign, 1));
    EXPECT_EQ(noticesOn(app.screen()), std::vector<std::string>{kInvalid});
    EXPECT_EQ(frameDurations(), "1/240");
  });
}

TEST(IndicatorChooser, ADoubleTapAppliesTheHighestRateAndNeverOpensTheAlert) {
  runForked([] {
    TweakedCamera app("iPhone 6", {{"MogulFramerate", 120LL}});
    app.setMode(kCameraModeSlowMotion);
    EXPECT_EQ(frameDurations(), "1/120");
    ui::tapView(app.indicator(), 2);
    EXPECT_EQ(app.alert(), nil);
    EXPECT_EQ(frameDurations(), "1/240");
    EXPECT_EQ(shownRate(app), 240u);
  });
  runForked([] {
    // The iPad Air tops at 30: that is the highest rate, and it applies.
    TweakedCamera app("iPad Air", {{"MogulFramerate", 30LL}});
    app.setMode(kCameraModeSlowMotion);
    ui::tapView(app.indicator(), 2);
    EXPECT_EQ(frameDurations(), "1/30");
    EXPECT_EQ(shownRate(app), 30u);
    EXPECT_TRUE(noticesOn(app.screen()).empty());
  });
}

TEST(IndicatorChooser, WithFakeFPSTheIndicatorShowsAFPSAndTheAlertIsRefused) {
  runForked([] {
    TweakedCamera app("iPhone 6", {{"MogulFramerate", 120LL}, {"FakeFPS", true}, {"aFPS", 999LL}});
    app.setMode(kCameraModeSlowMotion);
    EXPECT_EQ(shownRate(app), 999u);
    ui::tapView(app.indicator(), 1);
    EXPECT_EQ(app.alert(), nil);
    EXPECT_EQ(noticesOn(app.screen()),
              std::vector<std::string>{"❗ Fake Framerate option is enabled, disable it first if "
                                       "you want to change this."});
    app.wait(2.9);
    EXPECT_EQ(noticesOn(app.screen()).size(), 1u);
    app.wait(0.2);
    EXPECT_TRUE(noticesOn(app.screen()).empty()) << "three seconds";
    app.wait(1);
    ui::tapView(app.indicator(), 2);
    EXPECT_EQ(frameDurations(), "1/240") << "the double tap still applies the highest rate";
    EXPECT_EQ(shownRate(app), 999u);
  });
}

TEST(IndicatorChooser, ARateTheActiveFormatLacksLeavesTheDeviceAsItWas) {
  runForked([] {
    // In video mode the active format is 1080p up to 60, while the device's best reaches 240.
    TweakedCamera app("iPhone 6", {{"MogulFramerate", 120LL}});
    app.setMode(kCameraModeSlowMotion);
    send(test::captureController(), "setCameraMode:device:"_sel, long{kCameraModeVideo}, long{0});
    ASSERT_EQ(frameDurations(), "1/30");
    ui::tapView(app.indicator(), 2);
    EXPECT_EQ(frameDurations(), "1/30") << "the device would have raised on 1/240";
    EXPECT_EQ(shownRate(app), 120u) << "the indicator shows only a rate that was applied";
    EXPECT_EQ(noticesOn(app.screen()), std::vector<std::string>{kUnsupported});
    app.wait(2.5);  // the notice, which takes the taps while it is up
    choose(app, "60", 1);
    EXPECT_EQ(frameDurations(), "1/60") << "within the format's ranges";
    EXPECT_EQ(shownRate(app), 60u);
  });
}

BOOL refuseLock(id, SEL, id*) {
  return NO;
}

TEST(IndicatorChooser, ADeviceThatCannotBeLockedIsLeftAlone) {
  runForked([] {
    TweakedCamera app("iPhone 6", {{"MogulFramerate", 120LL}});
    app.setMode(kCameraModeSlowMotion);
    class_replaceMethod(objc_getClass("AVCaptureDevice"), "lockForConfiguration:"_sel,
                        toIMP(&refuseLock), "B@:^v");
    ui::tapView(app.indicator(), 2);
    EXPECT_EQ(frameDurations(), "1/120");
    EXPECT_EQ(shownRate(app), 120u);
    EXPECT_EQ(noticesOn(app.screen()), std::vector<std::string>{kUnsupported});
  });
}

TEST(IndicatorChooser, ARateBeyondThirtyTwoBitsIsNeverApplied) {
  runForked([] {
    TweakedCamera app("iPhone 6", {{"MogulFramerate", 120LL}});
    app.setMode(kCameraModeSlowMotion);
    // Its low 32 bits are 240, which the format would take.
    send(app.indicator(), "hv_setFPS:"_sel, (1ULL << 32) + 240);
    EXPECT_EQ(frameDurations(), "1/120");
    EXPECT_EQ(shownRate(app), 120u);
    EXPECT_EQ(noticesOn(app.screen()), std::vector<std::string>{kUnsupported});
  });
}

TEST(IndicatorChooser, WithoutAViewForItsNoticeTheAlertStillComesBack) {
  runForked([] {
    TweakedCamera app("iPhone 6", {{"MogulFramerate", 120LL}}, test::CameraOptions().on("8.4"));
    app.setMode(kCameraModeSlowMotion);
    send(test::captureController(), "setDelegate:"_sel, nil);
    choose(app, "0", 1);
    app.wait(0);
    EXPECT_NE(app.alert(), nil) << "and nothing raised";
  });
}

}  // namespace
}  // namespace qv

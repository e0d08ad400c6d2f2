// The HUD's look: layout figures from the platform's own text measurement plus the panel
// arithmetic, the indicator each mode keeps or replaces, the drawn panel and dimming, and the
// rotation to the interface orientation.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "platform/Foundation/FoundationRuntime.h"
#include "platform/UIKit/Snapshot.h"
#include "platform/dispatch/RunLoop.h"
#include "tests/hud/HUDTestSupport.h"
#include "tests/support/Forked.h"

namespace quorvane::test {
namespace {

using qv::Ref;
using qv::send;

CGSize measured(const char* text, CGFloat fontSize, double maxWidth = 0) {
  qv::AutoreleasePool pool;
  Ref<> string = makeString(text);
  id font = send<id>(objc_getClass("UIFont"), "boldSystemFontOfSize:"_sel, fontSize);
  Ref<> attributes = qv::makeDictionary({{NSFontAttributeName, font}});
  if (maxWidth == 0) return send<CGSize>(string, "sizeWithAttributes:"_sel, attributes.get());
  return send<CGRect>(string, "boundingRectWithSize:options:attributes:context:"_sel,
                      CGSizeMake(maxWidth, 1e6), NSInteger{1}, attributes.get(), id{nil})
      .size;
}

class HUDLayout : public HUDTest {
 protected:
  // A shown HUD on `parent`, laid out by the platform's pass.
  Ref<> layOut(void (*configure)(id hud)) {
    Ref<> hud = makeHUD(parent);
    send(parent, "addSubview:"_sel, hud.get());
    configure(hud);
    send(hud, "show:"_sel, BOOL{NO});
    qv::ui::runPendingPasses();
    return hud;
  }

  static CGRect labelFrame(id hud) { return frameOf(childrenOf(hud)[0]); }
  static CGRect detailsFrame(id hud) { return frameOf(childrenOf(hud)[1]); }
  static CGSize panel(id hud) { return send<CGSize>(hud, "size"_sel); }
};

void textOnly(id hud) {
  send(hud, "setMode:"_sel, 5);
  send(hud, "setLabelText:"_sel, "Done"_ns);
}

TEST_F(HUDLayout, TextOnlyPanelIsTheLabelPlusMargins) {
  Ref<> hud = layOut(&textOnly);
  const CGSize label = measured("Done", 16);
  EXPECT_EQ(childrenOf(hud).size(), 2u);  // no indicator
  const CGRect frame = labelFrame(hud);
  EXPECT_EQ(frame.origin.x, std::round((320 - label.width) / 2));
  EXPECT_EQ(frame.origin.y, std::round((480 - (label.height + 40)) / 2) + 20);
  EXPECT_EQ(frame.size.width, label.width);
  EXPECT_EQ(frame.size.height, label.height);
  EXPECT_EQ(panel(hud).width, label.width + 40);
  EXPECT_EQ(panel(hud).height, label.height + 40);
}

TEST_F(HUDLayout, ContentWidthIsCappedAtFourMargins) {
  Ref<> hud = layOut([](id hud) {
    textOnly(hud);
    send(hud, "setMargin:"_sel, 15.0f);
    send(hud, "setLabelText:"_sel, "Slow motion needs a frame rate this device has not got"_ns);
  });
  ASSERT_GT(measured("Slow motion needs a frame rate this device has not got", 16).width, 260);
  const CGRect frame = labelFrame(hud);
  EXPECT_EQ(frame.origin.x, 30);
  EXPECT_EQ(frame.size.width, 260);
  EXPECT_EQ(frame.size.height,
            measured("Slow motion needs a frame rate this device has not got", 16).height);
  EXPECT_EQ(panel(hud).width, 290);
}

TEST_F(HUDLayout, SpinnerAndDetailsArePaddedOnlyBetweenWhatIsThere) {
  Ref<> hud = layOut([](id hud) { send(hud, "setDetailsLabelText:"_sel, "Please wait"_ns); });
  const CGSize details = measured("Please wait", 12, 240);
  const CGRect spinner = frameOf(send<id>(hud, "indicator"_sel));
  EXPECT_EQ(spinner.size.width, 37);
  EXPECT_EQ(spinner.origin.y, std::round((480 - (37 + details.height + 4 + 40)) / 2) + 20);
  EXPECT_EQ(labelFrame(hud).origin.y, CGRectGetMaxY(spinner));  // empty label: no padding
  EXPECT_EQ(labelFrame(hud).size.height, 0);
  EXPECT_EQ(detailsFrame(hud).origin.y, CGRectGetMaxY(spinner) + 4);
  EXPECT_EQ(detailsFrame(hud).size.height, details.height);
  EXPECT_EQ(panel(hud).height, 37 + 4 + details.height + 40);
}

TEST_F(HUDLayout, DetailsAloneStartAtTheTopMarginAndWrap) {
  Ref<> hud = layOut([](id hud) {
    send(hud, "setMode:"_sel, 5);
    send(hud, "setDetailsLabelText:"_sel,
         "❗ Unsupported FPS: 240\nHead to settings to change this."_ns);
  });
  const CGSize details =
      measured("❗ Unsupported FPS: 240\nHead to settings to change this.", 12, 240);
  EXPECT_GT(details.height, 2 * measured("H", 12).height - 1);  // two lines
  EXPECT_EQ(detailsFrame(hud).origin.y, std::round((480 - (details.height + 40)) / 2) + 20);
  EXPECT_EQ(detailsFrame(hud).size.width, details.width);
  EXPECT_EQ(panel(hud).height, details.height + 40);
}

// Content of 60 × 20 makes totals of 100 × 60 with the default margin of 20.
void squareContent(id hud) {
  Ref<> custom = makeView(CGRectMake(0, 0, 60, 20));
  send(hud, "setCustomView:"_sel, custom.get());
  send(hud, "setMode:"_sel, 4);
  send(hud, "setSquare:"_sel, BOOL{YES});
}

TEST_F(HUDLayout, SquarePanelGrowsOnlyWhereItFits) {
  EXPECT_EQ(panel(layOut(&squareContent)).width, 100);
  EXPECT_EQ(panel(layOut(&squareContent)).height, 100);
  send(parent, "setFrame:"_sel, CGRectMake(0, 0, 320, 120));  // 120 − 2 × 20 < 100
  const CGSize flat = panel(layOut(&squareContent));
  EXPECT_EQ(flat.width, 100);
  EXPECT_EQ(flat.height, 60);
}

TEST_F(HUDLayout, MinimumSizeKeepsTheContentCentred) {
  Ref<> hud = layOut([](id hud) {
    textOnly(hud);
    send(hud, "setMinSize:"_sel, CGSizeMake(200, 200));
  });
  EXPECT_EQ(panel(hud).width, 200);
  EXPECT_EQ(panel(hud).height, 200);
  EXPECT_NEAR(CGRectGetMidY(labelFrame(hud)), 240, 0.5);
}

TEST_F(HUDLayout, OffsetsMovePanelAndContentTogether) {
  const CGRect centred = labelFrame(layOut(&textOnly));
  Ref<> moved = layOut([](id hud) {
    textOnly(hud);
    send(hud, "setXOffset:"_sel, 10.0f);
    send(hud, "setYOffset:"_sel, -20.0f);
    send(hud, "setColor:"_sel, send<id>(objc_getClass("UIColor"), "redColor"_sel));
  });
  EXPECT_EQ(labelFrame(moved).origin.x, centred.origin.x + 10);
  EXPECT_EQ(labelFrame(moved).origin.y, centred.origin.y - 20);
  // The panel's top edge moved up with it: drawn at y = round((480 − h) / 2) − 20.
  const double top = std::round((480 - panel(moved).height) / 2) - 20;
  const qv::Bitmap image = qv::ui::snapshot(moved);
  EXPECT_EQ(image.pixel(160, static_cast<int>(top) + 1).red, 255);
  EXPECT_EQ(image.pixel(160, static_cast<int>(top) - 2).alpha, 0);
}

TEST_F(HUDLayout, PanelCornersFollowTheRadius) {
  Ref<> hud = layOut([](id hud) {
    send(hud, "setMinSize:"_sel, CGSizeMake(200, 200));
    send(hud, "setCornerRadius:"_sel, 0.0f);
    send(hud, "setOpacity:"_sel, 1.0f);
  });
  // A 200 × 200 panel from (60, 140): square corners when the radius is 0, round ones at 10.
  EXPECT_EQ(qv::ui::snapshot(hud).pixel(61, 141), (qv::Pixel{0, 0, 0, 255}));
  send(hud, "setCornerRadius:"_sel, 10.0f);
  EXPECT_EQ(qv::ui::snapshot(hud).pixel(61, 141).alpha, 0);
  EXPECT_EQ(qv::ui::snapshot(hud).pixel(70, 141), (qv::Pixel{0, 0, 0, 255}));
}

TEST_F(HUDLayout, DimmingDarkensOutwardsAndFillsBeyondItsCircle) {
  // The gradient's end circle has the radius of the shorter side, 100 here: the corners of a
  // tall HUD lie beyond it.
  send(parent, "setFrame:"_sel, CGRectMake(0, 0, 100, 400));
  Ref<> hud = layOut([](id hud) { send(hud, "setDimBackground:"_sel, BOOL{YES}); });
  const qv::Bitmap image = qv::ui::snapshot(hud);
  EXPECT_TRUE(qv::pixelsClose(image.pixel(0, 0), {0, 0, 0, 191}, 1));
  EXPECT_TRUE(qv::pixelsClose(image.pixel(50, 150), {0, 0, 0, 96}, 2));  // halfway out
  EXPECT_TRUE(qv::pixelsClose(image.pixel(50, 398), {0, 0, 0, 191}, 1));
}

TEST_F(HUDLayout, ModeSwitchesReplaceOrKeepTheIndicator) {
  Ref<> hud = makeHUD(parent);
  id spinner = send<id>(hud, "indicator"_sel);
  send(hud, "setMode:"_sel, 2);
  EXPECT_EQ(send<id>(hud, "indicator"_sel), spinner);

  Ref<> custom = makeView(CGRectMake(0, 0, 30, 30));
  send(hud, "setCustomView:"_sel, custom.get());
  send(hud, "setMode:"_sel, 4);
  EXPECT_EQ(send<id>(hud, "indicator"_sel), custom.get());
  EXPECT_EQ(childrenOf(hud).back(), custom.get());
  EXPECT_EQ(send<id>(spinner, "superview"_sel), nil);

  send(hud, "setMode:"_sel, 0);  // a plain view gives way to a new spinner
  id fresh = send<id>(hud, "indicator"_sel);
  EXPECT_TRUE(qv::isKindOf(fresh, objc_getClass("UIActivityIndicatorView")));
  EXPECT_NE(fresh, spinner);
  EXPECT_EQ(send<id>(custom, "superview"_sel), nil);

  send(hud, "setMode:"_sel, 5);
  EXPECT_EQ(send<id>(hud, "indicator"_sel), nil);
  EXPECT_EQ(childrenOf(hud).size(), 2u);

  send(hud, "setCustomView:"_sel, id{nil});
  send(hud, "setMode:"_sel, 4);  // no custom view: no indicator
  EXPECT_EQ(send<id>(hud, "indicator"_sel), nil);
}

TEST_F(HUDLayout, ASpinnerGivenAsCustomViewIsKeptAndRecoloured) {
  Ref<> hud = makeHUD(parent);
  Ref<> spinner =
      qv::adopt(send<id>(send<id>(objc_getClass("UIActivityIndicatorView"), "alloc"_sel),
                         "initWithActivityIndicatorStyle:"_sel, NSInteger{2}));
  send(hud, "setCustomView:"_sel, spinner.get());
  send(hud, "setMode:"_sel, 4);
  id red = send<id>(objc_getClass("UIColor"), "redColor"_sel);
  send(hud, "setActivityIndicatorColor:"_sel, red);
  send(hud, "setMode:"_sel, 0);
  EXPECT_EQ(send<id>(hud, "indicator"_sel), spinner.get());
  EXPECT_TRUE(send<BOOL>(send<id>(spinner, "color"_sel), "isEqual:"_sel, red));
}

// Orientation runs in a child: it changes the process's system version and status bar.
void inWindow(double foundationVersion, const std::function<void(id window, id hud)>& body) {
  qv::test::runForked([&] {
    registerRuvelProgressHUD();
    NSFoundationVersionNumber = foundationVersion;
    Ref<> window = makeView(CGRectMake(0, 0, 320, 480), objc_getClass("UIWindow"));
    Ref<> hud = makeHUD(window);
    send(window, "addSubview:"_sel, hud.get());
    body(window, hud);
  });
}

void setOrientation(NSInteger orientation) {
  send(send<id>(objc_getClass("UIApplication"), "sharedApplication"_sel),
       "setStatusBarOrientation:"_sel, orientation);
}

TEST(HUDOrientation, OldSystemsRotateAHUDThatSitsInAWindow) {
  inWindow(1047.25, [](id, id hud) {
    setOrientation(4);
    const CGRect bounds = send<CGRect>(hud, "bounds"_sel);
    EXPECT_EQ(bounds.size.width, 480);
    EXPECT_EQ(bounds.size.height, 320);
    qv::MainRunLoop::runFor(0.3);
    const CGAffineTransform turned = send<CGAffineTransform>(hud, "transform"_sel);
    EXPECT_TRUE(CGAffineTransformEqualToTransform(
        turned, CGAffineTransformMakeRotation(-std::numbers::pi / 2)));

    setOrientation(2);
    EXPECT_EQ(send<CGRect>(hud, "bounds"_sel).size.width, 320);
    EXPECT_TRUE(CGAffineTransformEqualToTransform(send<CGAffineTransform>(hud, "transform"_sel),
                                                  CGAffineTransformMakeRotation(std::numbers::pi)));
    // The next animated show scales from the rotation.
    qv::MainRunLoop::runFor(0.3);
    send(hud, "setAnimationType:"_sel, 2);
    send(hud, "show:"_sel, BOOL{YES});
    EXPECT_NEAR(qv::ui::presentationTransform(hud).a, -0.5, 1e-12);
  });
}

TEST(HUDOrientation, NewSystemsAndPlainViewsOnlyFollowTheParentsBounds) {
  inWindow(1140.1, [](id window, id hud) {
    EXPECT_FALSE(send<BOOL>(hud, "shouldPerformOrientationTransform"_sel));
    send(window, "setBounds:"_sel, CGRectMake(0, 0, 480, 320));
    setOrientation(3);
    EXPECT_TRUE(CGRectEqualToRect(frameOf(hud), CGRectMake(0, 0, 480, 320)));
    EXPECT_TRUE(CGAffineTransformIsIdentity(send<CGAffineTransform>(hud, "transform"_sel)));
  });
  inWindow(1047.25, [](id window, id) {
    Ref<> plain = makeView(CGRectMake(0, 0, 320, 480));
    send(window, "addSubview:"_sel, plain.get());
    Ref<> hud = makeHUD(plain);
    send(plain, "addSubview:"_sel, hud.get());
    EXPECT_FALSE(send<BOOL>(hud, "shouldPerformOrientationTransform"_sel));
    setOrientation(3);
    EXPECT_TRUE(CGAffineTransformIsIdentity(send<CGAffineTransform>(hud, "transform"_sel)));
  });
}

}  // namespace
}  // namespace quorvane::test

// The HUD's look: its two labels, the indicator each mode asks for, the arithmetic that sizes
// and centres the panel and places the children in it, the drawing of the dimmed background and
// the rounded panel, and the rotation to the interface orientation in a window on old systems.
//
// Products of the float margin are formed in single precision and widened, sums are taken one
// term at a time, and rounding takes halves away from zero, so every figure matches the
// platform's to the last bit.
#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <type_traits>

#include "hud/HUDState.h"
#include "hud/RuvelProgressHUD.h"
#include "port/UIKit/UIKit.h"
#include "port/objc/AutoreleasePool.h"

namespace quorvane::hud {
namespace {

constexpr CGFloat kPadding = 4;
// Systems from this Foundation version on rotate a window's content themselves.
constexpr double kRotatingFoundationVersion = 1140.1;
constexpr double kRotationDuration = 0.3;
constexpr CGFloat kDimColors[] = {0, 0, 0, 0, 0, 0, 0, 0.75};
constexpr CGFloat kDimLocations[] = {0, 1};
// The panel's corner angles, as single-precision values widened.
constexpr double kQuarterTurn = static_cast<float>(std::numbers::pi / 2);
constexpr double kHalfTurn = static_cast<float>(std::numbers::pi);
constexpr double kThreeQuarterTurns = static_cast<float>(3 * std::numbers::pi / 2);

CGRect boundsOf(id view) {
  return send<CGRect>(view, "bounds"_sel);
}

// Labels.

Ref<> newLabel(id self) {
  return qv::adopt(send<id>(send<id>(objc_getClass("UILabel"), "alloc"_sel), "initWithFrame:"_sel,
                            boundsOf(self)));
}

void styleLabel(id label, id textColor) {
  send(label, "setAdjustsFontSizeToFitWidth:"_sel, BOOL{NO});
  send(label, "setTextAlignment:"_sel, NSInteger{NSTextAlignmentCenter});
  send(label, "setOpaque:"_sel, BOOL{NO});
  send(label, "setBackgroundColor:"_sel, send<id>(objc_getClass("UIColor"), "clearColor"_sel));
  send(label, "setTextColor:"_sel, textColor);
}

void setupLabels(id self, SEL) {
  qv::AutoreleasePool pool;
  HUDState& s = hudState(self);
  s.label = newLabel(self);
  styleLabel(s.label, objectOf(self, &HUDState::labelColor));
  send(s.label, "setFont:"_sel, objectOf(self, &HUDState::labelFont).get());
  send(s.label, "setText:"_sel, objectOf(self, &HUDState::labelText).get());
  send(self, "addSubview:"_sel, s.label.get());

  const Ref<> detailsFont = objectOf(self, &HUDState::detailsLabelFont);
  s.detailsLabel = newLabel(self);
  send(s.detailsLabel, "setFont:"_sel, detailsFont.get());
  styleLabel(s.detailsLabel, objectOf(self, &HUDState::detailsLabelColor));
  send(s.detailsLabel, "setNumberOfLines:"_sel, NSInteger{0});
  send(s.detailsLabel, "setFont:"_sel, detailsFont.get());
  send(s.detailsLabel, "setText:"_sel, objectOf(self, &HUDState::detailsLabelText).get());
  send(self, "addSubview:"_sel, s.detailsLabel.get());
}

// Indicators.

Class spinnerClass() {
  static const Class cls = objc_getClass("UIActivityIndicatorView");
  return cls;
}

void updateIndicators(id self, SEL) {
  qv::AutoreleasePool pool;
  const Ref<> indicator = objectOf(self, &HUDState::indicator);
  const bool isSpinner = qv::isKindOf(indicator, spinnerClass());
  switch (load(hudState(self).mode)) {
    case RuvelProgressHUDModeTextOnly:
      send(indicator, "removeFromSuperview"_sel);
      send(self, "setIndicator:"_sel, id{nil});
      break;
    case RuvelProgressHUDModeCustomView: {
      const Ref<> custom = objectOf(self, &HUDState::customView);
      if (custom == indicator) break;
      send(indicator, "removeFromSuperview"_sel);
      send(self, "setIndicator:"_sel, custom.get());
      send(self, "addSubview:"_sel, custom.get());
      break;
    }
    case RuvelProgressHUDModeActivity:
      if (!isSpinner) {
        send(indicator, "removeFromSuperview"_sel);
        const Ref<> spinner = qv::adopt(
            send<id>(send<id>(spinnerClass(), "alloc"_sel), "initWithActivityIndicatorStyle:"_sel,
                     NSInteger{UIActivityIndicatorViewStyleWhiteLarge}));
        send(self, "setIndicator:"_sel, spinner.get());
        send(spinner, "startAnimating"_sel);
        send(self, "addSubview:"_sel, spinner.get());
      }
      send(objectOf(self, &HUDState::indicator).get(), "setColor:"_sel,
           objectOf(self, &HUDState::activityIndicatorColor).get());
      break;
    default:
      break;  // modes 1 to 3 keep whatever indicator is in place
  }
}

// Layout.

bool hasText(id label) {
  return send<NSUInteger>(send<id>(label, "text"_sel), "length"_sel) > 0;
}

Ref<> fontAttributes(id label) {
  return qv::makeDictionary({{NSFontAttributeName, send<id>(label, "font"_sel)}});
}

CGSize lineSize(id label) {
  if (!hasText(label)) return CGSizeZero;
  const Ref<> attributes = fontAttributes(label);
  return send<CGSize>(send<id>(label, "text"_sel), "sizeWithAttributes:"_sel, attributes.get());
}

CGSize wrappedSize(id label, CGSize maximum) {
  if (!hasText(label)) return CGSizeZero;
  const Ref<> attributes = fontAttributes(label);
  return send<CGRect>(send<id>(label, "text"_sel),
                      "boundingRectWithSize:options:attributes:context:"_sel, maximum,
                      NSInteger{NSStringDrawingUsesLineFragmentOrigin}, attributes.get(), id{nil})
      .size;
}

void setFrame(id view, double x, double y, double width, double height) {
  send(view, "setFrame:"_sel, CGRectMake(x, y, width, height));
}

void layoutSubviews(id self, SEL) {
  qv::sendSuper(self, hudClass(), "layoutSubviews"_sel);
  if (id parent = send<id>(self, "superview"_sel)) send(self, "setFrame:"_sel, boundsOf(parent));
  HUDState& s = hudState(self);
  const CGRect bounds = boundsOf(self);
  const CGFloat W = bounds.size.width, H = bounds.size.height;
  const float m = load(s.margin);
  const CGFloat xOffset = load(s.xOffset), yOffset = load(s.yOffset);
  const CGFloat maxWidth = W - static_cast<CGFloat>(4 * m);

  const Ref<> indicator = objectOf(self, &HUDState::indicator);
  const CGSize indicatorSize = indicator ? boundsOf(indicator).size : CGSizeZero;
  const CGFloat iw = std::min(indicatorSize.width, maxWidth), ih = indicatorSize.height;
  const CGSize labelSize = lineSize(s.label);
  const CGFloat lw = std::min(labelSize.width, maxWidth), lh = labelSize.height;
  const bool aboveDetails = ih > 0 || lh > 0;

  CGFloat totalWidth = std::max({CGFloat{0}, iw, lw});
  const bool padAfterIndicator = ih > 0 && lh > 0;
  CGFloat totalHeight = ih + lh;
  if (padAfterIndicator) totalHeight += kPadding;
  const CGFloat remainingHeight = H - totalHeight - kPadding - static_cast<CGFloat>(4 * m);
  const CGSize details = wrappedSize(s.detailsLabel, {maxWidth, remainingHeight});
  const CGFloat dw = details.width, dh = details.height;
  totalWidth = std::max(totalWidth, dw);
  const bool padBeforeDetails = dh > 0 && aboveDetails;
  totalHeight += dh;
  if (padBeforeDetails) totalHeight += kPadding;
  totalWidth += static_cast<CGFloat>(2 * m);
  totalHeight += static_cast<CGFloat>(2 * m);

  CGFloat y = std::round((H - totalHeight) / 2) + m + yOffset;
  setFrame(indicator, std::round((W - iw) / 2) + xOffset, y, iw, ih);
  y += ih;
  if (padAfterIndicator) y += kPadding;
  setFrame(s.label, std::round((W - lw) / 2) + xOffset, y, lw, lh);
  y += lh;
  if (padBeforeDetails) y += kPadding;
  setFrame(s.detailsLabel, std::round((W - dw) / 2) + xOffset, y, dw, dh);

  if (load(s.square)) {
    const CGFloat side = std::max(totalWidth, totalHeight);
    if (side <= W - static_cast<CGFloat>(2 * m)) totalWidth = side;
    if (side <= H - static_cast<CGFloat>(2 * m)) totalHeight = side;
  }
  const CGSize minimum = sizeOf(self, &HUDState::minSize);
  storeSize(self, &HUDState::size,
            {std::max(totalWidth, minimum.width), std::max(totalHeight, minimum.height)});
}

// Drawing.

struct ColorSpaceRelease {
  void operator()(CGColorSpaceRef space) const { CGColorSpaceRelease(space); }
};
struct GradientRelease {
  void operator()(CGGradientRef gradient) const { CGGradientRelease(gradient); }
};

void drawDimming(CGContextRef context, CGRect bounds) {
  std::unique_ptr<std::remove_pointer_t<CGColorSpaceRef>, ColorSpaceRelease> space(
      CGColorSpaceCreateDeviceRGB());
  std::unique_ptr<std::remove_pointer_t<CGGradientRef>, GradientRelease> gradient(
      CGGradientCreateWithColorComponents(space.get(), kDimColors, kDimLocations, 2));
  space.reset();
  const CGPoint centre = CGPointMake(bounds.size.width / 2, bounds.size.height / 2);
  const float radius = static_cast<float>(std::min(bounds.size.width, bounds.size.height));
  CGContextDrawRadialGradient(context, gradient.get(), centre, 0, centre, radius,
                              kCGGradientDrawsAfterEndLocation);
}

void addPanelPath(CGContextRef context, CGRect box, double r) {
  const double minX = CGRectGetMinX(box), maxX = CGRectGetMaxX(box);
  const double minY = CGRectGetMinY(box), maxY = CGRectGetMaxY(box);
  CGContextBeginPath(context);
  CGContextMoveToPoint(context, minX + r, minY);
  CGContextAddArc(context, maxX - r, minY + r, r, kThreeQuarterTurns, 0, 0);
  CGContextAddArc(context, maxX - r, maxY - r, r, 0, kQuarterTurn, 0);
  CGContextAddArc(context, minX + r, maxY - r, r, kQuarterTurn, kHalfTurn, 0);
  CGContextAddArc(context, minX + r, minY + r, r, kHalfTurn, kThreeQuarterTurns, 0);
  CGContextClosePath(context);
}

void drawRect(id self, SEL, CGRect) {
  CGContextRef context = UIGraphicsGetCurrentContext();
  UIGraphicsPushContext(context);
  struct Pop {
    ~Pop() { UIGraphicsPopContext(); }
  } pop;
  HUDState& s = hudState(self);
  const CGRect bounds = boundsOf(self);
  if (load(s.dimBackground)) drawDimming(context, bounds);
  if (const Ref<> color = objectOf(self, &HUDState::color)) {
    CGContextSetFillColorWithColor(context, send<CGColorRef>(color, "CGColor"_sel));
  } else {
    CGContextSetGrayFillColor(context, 0, load(s.opacity));
  }
  const CGSize size = sizeOf(self, &HUDState::size);
  const CGRect box =
      CGRectMake(std::round((bounds.size.width - size.width) / 2) + load(s.xOffset),
                 std::round((bounds.size.height - size.height) / 2) + load(s.yOffset), size.width,
                 size.height);
  addPanelPath(context, box, load(s.cornerRadius));
  CGContextFillPath(context);
}

// Orientation.

BOOL shouldPerformOrientationTransform(id self, SEL) {
  if (NSFoundationVersionNumber >= kRotatingFoundationVersion) return NO;
  return qv::isKindOf(send<id>(self, "superview"_sel), objc_getClass("UIWindow"));
}

void didMoveToSuperview(id self, SEL) {
  qv::sendSuper(self, hudClass(), "didMoveToSuperview"_sel);
  if (send<BOOL>(self, "shouldPerformOrientationTransform"_sel)) {
    send(self, "setTransformForCurrentOrientation:"_sel, BOOL{NO});
  }
}

void statusBarOrientationDidChange(id self, SEL, id) {
  id parent = send<id>(self, "superview"_sel);
  if (parent == nil) return;
  if (send<BOOL>(self, "shouldPerformOrientationTransform"_sel)) {
    send(self, "setTransformForCurrentOrientation:"_sel, BOOL{YES});
  } else {
    send(self, "setFrame:"_sel, boundsOf(parent));
    send(self, "setNeedsDisplay"_sel);
  }
}

// The rotation of an interface orientation: a quarter turn either way for the landscapes
// (which also swap the bounds' sides), a half turn upside down.
double rotationFor(NSInteger orientation) {
  switch (orientation) {
    case UIInterfaceOrientationLandscapeRight:
      return std::numbers::pi / 2;
    case UIInterfaceOrientationLandscapeLeft:
      return -std::numbers::pi / 2;
    case UIInterfaceOrientationPortraitUpsideDown:
      return std::numbers::pi;
    default:
      return 0;
  }
}

void setTransformForCurrentOrientation(id self, SEL, BOOL animated) {
  if (id parent = send<id>(self, "superview"_sel)) {
    send(self, "setBounds:"_sel, boundsOf(parent));
    send(self, "setNeedsDisplay"_sel);
  }
  const NSInteger orientation =
      send<NSInteger>(send<id>(objc_getClass("UIApplication"), "sharedApplication"_sel),
                      "statusBarOrientation"_sel);
  if (orientation == UIInterfaceOrientationLandscapeLeft ||
      orientation == UIInterfaceOrientationLandscapeRight) {
    const CGRect old = boundsOf(self);
    send(self, "setBounds:"_sel, CGRectMake(0, 0, old.size.height, old.size.width));
  }
  HUDState& s = hudState(self);
  s.rotationTransform = CGAffineTransformMakeRotation(rotationFor(orientation));
  if (!animated) {
    send(self, "setTransform:"_sel, s.rotationTransform);
    return;
  }
  const CGAffineTransform target = s.rotationTransform;
  send(objc_getClass("UIView"), "animateWithDuration:delay:options:animations:completion:"_sel,
       kRotationDuration, 0.0, UIViewAnimationOptions{UIViewAnimationOptionAllowUserInteraction},
       UIViewAnimationsBlock(
           [hud = Ref<>(self), target] { send(hud, "setTransform:"_sel, target); }),
       UIViewAnimationCompletionBlock{});
}

}  // namespace

void addLayoutMethods(qv::ClassBuilder& b) {
  b.method("setupLabels", &setupLabels)
      .method("updateIndicators", &updateIndicators)
      .method("layoutSubviews", &layoutSubviews)
      .method("drawRect:", &drawRect)
      .method("shouldPerformOrientationTransform", &shouldPerformOrientationTransform)
      .method("didMoveToSuperview", &didMoveToSuperview)
      .method("statusBarOrientationDidChange:", &statusBarOrientationDidChange)
      .method("setTransformForCurrentOrientation:", &setTransformForCurrentOrientation);
}

}  // namespace quorvane::hud

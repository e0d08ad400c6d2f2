// UIActivityIndicatorView: the spinner, drawn as twelve spokes fading clockwise from the lead
// spoke; while it animates the lead spoke advances one step every twelfth of a second of the
// platform clock.
#include <cmath>
#include <numbers>

#include "platform/UIKit/UIKitPrivate.h"
#include "platform/dispatch/Clock.h"

namespace qv::ui {
namespace {

constexpr int kSpokes = 12;

struct SpinnerState {
  NSInteger style = UIActivityIndicatorViewStyleWhite;
  Ref<> color;
  bool animating = false;
  bool hidesWhenStopped = true;
};

SpinnerState& state(id self) {
  return stateOf<SpinnerState>(self);
}

double sideOf(NSInteger style) {
  return style == UIActivityIndicatorViewStyleWhiteLarge ? 37 : 20;
}

id defaultColor(NSInteger style) {
  return style == UIActivityIndicatorViewStyleGray ? makeColor(0.5, 0.5, 0.5, 1)
                                                   : makeColor(1, 1, 1, 1);
}

void applyStyle(id self, NSInteger style) {
  state(self).style = style;
  state(self).color = Ref<>(defaultColor(style));
  send(self, "setNeedsDisplay"_sel);
}

id initWithFrame(id self, SEL, CGRect frame) {
  self = sendSuper<id>(self, activityIndicatorClass(), "initWithFrame:"_sel, frame);
  if (self == nil) return nil;
  applyStyle(self, UIActivityIndicatorViewStyleWhite);
  viewState(self).hidden = true;  // stopped, and hidden while stopped
  viewState(self).opaque = false;
  return self;
}

id initWithStyle(id self, SEL, NSInteger style) {
  const double side = sideOf(style);
  self = send<id>(self, "initWithFrame:"_sel, CGRectMake(0, 0, side, side));
  if (self != nil) applyStyle(self, style);
  return self;
}

void startAnimating(id self, SEL) {
  state(self).animating = true;
  send(self, "setHidden:"_sel, static_cast<BOOL>(NO));
  send(self, "setNeedsDisplay"_sel);
}

void stopAnimating(id self, SEL) {
  state(self).animating = false;
  if (state(self).hidesWhenStopped) send(self, "setHidden:"_sel, static_cast<BOOL>(YES));
  send(self, "setNeedsDisplay"_sel);
}

BOOL isAnimating(id self, SEL) {
  return state(self).animating;
}
BOOL hidesWhenStopped(id self, SEL) {
  return state(self).hidesWhenStopped;
}
void setHidesWhenStopped(id self, SEL, BOOL hides) {
  state(self).hidesWhenStopped = hides;
  if (hides && !state(self).animating) send(self, "setHidden:"_sel, static_cast<BOOL>(YES));
}

id color(id self, SEL) {
  return state(self).color;
}
void setColor(id self, SEL, id color) {
  state(self).color = Ref<>(color != nil ? color : defaultColor(state(self).style));
  send(self, "setNeedsDisplay"_sel);
}

NSInteger style(id self, SEL) {
  return state(self).style;
}
void setStyle(id self, SEL, NSInteger style) {
  applyStyle(self, style);
}

CGSize sizeThatFits(id self, SEL, CGSize) {
  const double side = sideOf(state(self).style);
  return {side, side};
}

int leadSpoke(id self) {
  if (!state(self).animating) return 0;
  return static_cast<int>((Clock::now() / (1'000'000'000 / kSpokes)) % kSpokes);
}

void drawRect(id self, SEL, CGRect) {
  CGContextRef context = UIGraphicsGetCurrentContext();
  const CGRect bounds = viewState(self).bounds;
  const double radius = std::min(bounds.size.width, bounds.size.height) / 2;
  if (context == nullptr || !(radius > 0)) return;
  CGFloat r = 1, g = 1, b = 1, a = 1;
  send<BOOL>(state(self).color, "getRed:green:blue:alpha:"_sel, &r, &g, &b, &a);
  const double inner = radius * 0.5;
  const double outer = radius * 0.9;
  CGContextSetLineWidth(context, radius * 0.18);
  CGContextSetLineCap(context, kCGLineCapRound);
  const int lead = leadSpoke(self);
  for (int spoke = 0; spoke < kSpokes; ++spoke) {
    // Spoke 0 points up; angles grow clockwise on screen.
    const double angle = -std::numbers::pi / 2 + spoke * 2 * std::numbers::pi / kSpokes;
    const int behind = (lead - spoke + kSpokes) % kSpokes;
    CGContextSetRGBStrokeColor(context, r, g, b, a * (1.0 - 0.75 * behind / (kSpokes - 1)));
    CGContextBeginPath(context);
    CGContextMoveToPoint(context, CGRectGetMidX(bounds) + inner * std::cos(angle),
                         CGRectGetMidY(bounds) + inner * std::sin(angle));
    CGContextAddLineToPoint(context, CGRectGetMidX(bounds) + outer * std::cos(angle),
                            CGRectGetMidY(bounds) + outer * std::sin(angle));
    CGContextStrokePath(context);
  }
}

}  // namespace

Class activityIndicatorClass() {
  static const Class cls = ClassBuilder("UIActivityIndicatorView", viewClass())
                               .state<SpinnerState>("_spinnerState")
                               .method("initWithFrame:", &initWithFrame)
                               .method("initWithActivityIndicatorStyle:", &initWithStyle)
                               .method("startAnimating", &startAnimating)
                               .method("stopAnimating", &stopAnimating)
                               .method("isAnimating", &isAnimating)
                               .method("hidesWhenStopped", &hidesWhenStopped)
                               .method("setHidesWhenStopped:", &setHidesWhenStopped)
                               .method("color", &color)
                               .method("setColor:", &setColor)
                               .method("activityIndicatorViewStyle", &style)
                               .method("setActivityIndicatorViewStyle:", &setStyle)
                               .method("sizeThatFits:", &sizeThatFits)
                               .method("drawRect:", &drawRect)
                               .registerClass();
  return cls;
}

__attribute__((constructor(130))) void registerViewClasses() {
  viewClass();
  colorClass();
  fontClass();
  labelClass();
  activityIndicatorClass();
}

}  // namespace qv::ui

#include <cmath>
#include <cstdio>

#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui {
namespace {

struct ColorState {
  double red = 0, green = 0, blue = 0, alpha = 0;
  CGColorRef cgColor = nullptr;
  ~ColorState() { CGColorRelease(cgColor); }
};

double unit(CGFloat value) {
  return std::isnan(value) ? 0 : std::fmin(std::fmax(value, 0.0), 1.0);
}

id initWithRGBA(id self, SEL, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
  auto& state = stateOf<ColorState>(self);
  state.red = unit(red);
  state.green = unit(green);
  state.blue = unit(blue);
  state.alpha = unit(alpha);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  const CGFloat components[] = {state.red, state.green, state.blue, state.alpha};
  state.cgColor = CGColorCreate(space, components);
  CGColorSpaceRelease(space);
  return self;
}

id initWithWhite(id self, SEL, CGFloat white, CGFloat alpha) {
  return initWithRGBA(self, nullptr, white, white, white, alpha);
}

id colorWithRGBA(id cls, SEL, CGFloat red, CGFloat green, CGFloat blue, CGFloat alpha) {
  return autorelease(initWithRGBA(send<id>(cls, "alloc"_sel), nullptr, red, green, blue, alpha));
}

id colorWithWhite(id cls, SEL, CGFloat white, CGFloat alpha) {
  return colorWithRGBA(cls, nullptr, white, white, white, alpha);
}

template <int R, int G, int B, int A = 1000>
id named(id cls, SEL) {
  return colorWithRGBA(cls, nullptr, R / 1000.0, G / 1000.0, B / 1000.0, A / 1000.0);
}

CGColorRef cgColor(id self, SEL) {
  return stateOf<ColorState>(self).cgColor;
}

BOOL getRGBA(id self, SEL, CGFloat* red, CGFloat* green, CGFloat* blue, CGFloat* alpha) {
  const auto& s = stateOf<ColorState>(self);
  if (red != nullptr) *red = s.red;
  if (green != nullptr) *green = s.green;
  if (blue != nullptr) *blue = s.blue;
  if (alpha != nullptr) *alpha = s.alpha;
  return YES;
}

BOOL getWhite(id self, SEL, CGFloat* white, CGFloat* alpha) {
  const auto& s = stateOf<ColorState>(self);
  if (s.red != s.green || s.green != s.blue) return NO;
  if (white != nullptr) *white = s.red;
  if (alpha != nullptr) *alpha = s.alpha;
  return YES;
}

id withAlpha(id self, SEL, CGFloat alpha) {
  const auto& s = stateOf<ColorState>(self);
  return colorWithRGBA(asId(object_getClass(self)), nullptr, s.red, s.green, s.blue, alpha);
}

BOOL isEqual(id self, SEL, id other) {
  if (other == self) return YES;
  if (!isKindOf(other, colorClass())) return NO;
  const auto& a = stateOf<ColorState>(self);
  const auto& b = stateOf<ColorState>(other);
  return a.red == b.red && a.green == b.green && a.blue == b.blue && a.alpha == b.alpha;
}

unsigned long hash(id self, SEL) {
  const auto& s = stateOf<ColorState>(self);
  auto byte = [](double v) { return static_cast<unsigned long>(std::lround(v * 255)); };
  return byte(s.red) << 24 | byte(s.green) << 16 | byte(s.blue) << 8 | byte(s.alpha);
}

id description(id self, SEL) {
  const auto& s = stateOf<ColorState>(self);
  char text[96];
  std::snprintf(text, sizeof text, "UIDeviceRGBColorSpace %g %g %g %g", s.red, s.green, s.blue,
                s.alpha);
  return autorelease(makeString(text).leak());
}

id copyWithZone(id self, SEL, void*) {
  return retain(self);
}

// The colour of the current context's fills and strokes from now on; nothing without one.
void setFill(id self, SEL) {
  if (CGContextRef context = UIGraphicsGetCurrentContext()) {
    CGContextSetFillColorWithColor(context, stateOf<ColorState>(self).cgColor);
  }
}
void setStroke(id self, SEL) {
  if (CGContextRef context = UIGraphicsGetCurrentContext()) {
    CGContextSetStrokeColorWithColor(context, stateOf<ColorState>(self).cgColor);
  }
}
void setBoth(id self, SEL) {
  setFill(self, nullptr);
  setStroke(self, nullptr);
}

}  // namespace

Class colorClass() {
  static const Class cls = ClassBuilder("UIColor", NSObjectClass())
                               .state<ColorState>()
                               .method("initWithRed:green:blue:alpha:", &initWithRGBA)
                               .method("initWithWhite:alpha:", &initWithWhite)
                               .method("CGColor", &cgColor)
                               .method("getRed:green:blue:alpha:", &getRGBA)
                               .method("getWhite:alpha:", &getWhite)
                               .method("colorWithAlphaComponent:", &withAlpha)
                               .method("isEqual:", &isEqual)
                               .method("hash", &hash)
                               .method("description", &description)
                               .method("copyWithZone:", &copyWithZone)
                               .method("setFill", &setFill)
                               .method("setStroke", &setStroke)
                               .method("set", &setBoth)
                               .classMethod("colorWithRed:green:blue:alpha:", &colorWithRGBA)
                               .classMethod("colorWithWhite:alpha:", &colorWithWhite)
                               .classMethod("blackColor", &named<0, 0, 0>)
                               .classMethod("darkGrayColor", &named<333, 333, 333>)
                               .classMethod("lightGrayColor", &named<667, 667, 667>)
                               .classMethod("whiteColor", &named<1000, 1000, 1000>)
                               .classMethod("grayColor", &named<500, 500, 500>)
                               .classMethod("redColor", &named<1000, 0, 0>)
                               .classMethod("greenColor", &named<0, 1000, 0>)
                               .classMethod("blueColor", &named<0, 0, 1000>)
                               .classMethod("cyanColor", &named<0, 1000, 1000>)
                               .classMethod("yellowColor", &named<1000, 1000, 0>)
                               .classMethod("magentaColor", &named<1000, 0, 1000>)
                               .classMethod("orangeColor", &named<1000, 500, 0>)
                               .classMethod("purpleColor", &named<500, 0, 500>)
                               .classMethod("brownColor", &named<600, 400, 200>)
                               .classMethod("clearColor", &named<0, 0, 0, 0>)
                               .registerClass();
  return cls;
}

CGColorRef cgColorOf(id color) {
  return isKindOf(color, colorClass()) ? stateOf<ColorState>(color).cgColor : nullptr;
}

id makeColor(double red, double green, double blue, double alpha) {
  return colorWithRGBA(asId(colorClass()), nullptr, red, green, blue, alpha);
}

}  // namespace qv::ui

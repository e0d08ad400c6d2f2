#include "platform/CoreGraphics/CGObjects.h"

CGColorSpaceRef CGColorSpaceCreateDeviceRGB() {
  return new CGColorSpace(3);
}
CGColorSpaceRef CGColorSpaceCreateDeviceGray() {
  return new CGColorSpace(1);
}
std::size_t CGColorSpaceGetNumberOfComponents(CGColorSpaceRef space) {
  return space == nullptr ? 0 : space->colorComponents;
}

CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space) {
  return qv::retainObject(space);
}
void CGColorSpaceRelease(CGColorSpaceRef space) {
  qv::releaseObject(space);
}

CGColorRef CGColorCreate(CGColorSpaceRef space, const CGFloat* components) {
  if (space == nullptr || components == nullptr) return nullptr;
  auto* color = new CGColor;
  color->count = space->colorComponents + 1;
  for (std::size_t i = 0; i < color->count; ++i)
    color->components[i] = qv::clampUnit(components[i]);
  const auto& c = color->components;
  color->rgba = space->colorComponents == 1 ? qv::RGBA{c[0], c[0], c[0], c[1]}
                                            : qv::RGBA{c[0], c[1], c[2], c[3]};
  return color;
}

CGColorRef CGColorRetain(CGColorRef color) {
  return qv::retainObject(color);
}
void CGColorRelease(CGColorRef color) {
  qv::releaseObject(color);
}

std::size_t CGColorGetNumberOfComponents(CGColorRef color) {
  return color == nullptr ? 0 : color->count;
}

const CGFloat* CGColorGetComponents(CGColorRef color) {
  return color == nullptr ? nullptr : color->components.data();
}

CGFloat CGColorGetAlpha(CGColorRef color) {
  return color == nullptr ? 0 : color->rgba.alpha;
}

bool CGColorEqualToColor(CGColorRef color1, CGColorRef color2) {
  if (color1 == color2) return true;
  if (color1 == nullptr || color2 == nullptr || color1->count != color2->count) return false;
  return std::equal(color1->components.begin(), color1->components.begin() + color1->count,
                    color2->components.begin());
}

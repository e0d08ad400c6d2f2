// UIBezierPath, for the shapes views draw: rectangles, ovals and rounded rectangles, filled or
// stroked in the current context with the colours UIColor's setFill and setStroke chose.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui {
namespace {

constexpr double kQuarterTurn = M_PI / 2;

struct Shape {
  enum class Kind { Rect, Oval, RoundedRect };
  Kind kind;
  CGRect rect;
  double radius;
};

struct PathState {
  std::vector<Shape> shapes;
  double lineWidth = 1;
};

PathState& state(id self) {
  return stateOf<PathState>(self);
}

void addRoundedRect(CGContextRef context, CGRect box, double radius) {
  const double r = std::clamp(radius, 0.0, std::min(box.size.width, box.size.height) / 2);
  const double minX = CGRectGetMinX(box), maxX = CGRectGetMaxX(box);
  const double minY = CGRectGetMinY(box), maxY = CGRectGetMaxY(box);
  CGContextMoveToPoint(context, minX + r, minY);
  CGContextAddArc(context, maxX - r, minY + r, r, 3 * kQuarterTurn, 0, 0);
  CGContextAddArc(context, maxX - r, maxY - r, r, 0, kQuarterTurn, 0);
  CGContextAddArc(context, minX + r, maxY - r, r, kQuarterTurn, 2 * kQuarterTurn, 0);
  CGContextAddArc(context, minX + r, minY + r, r, 2 * kQuarterTurn, 3 * kQuarterTurn, 0);
  CGContextClosePath(context);
}

void addPath(id self, CGContextRef context) {
  CGContextBeginPath(context);
  for (const Shape& shape : state(self).shapes) {
    const CGRect rect = CGRectStandardize(shape.rect);
    switch (shape.kind) {
      case Shape::Kind::Rect:
        CGContextAddRect(context, rect);
        break;
      case Shape::Kind::Oval:
        CGContextAddEllipseInRect(context, rect);
        break;
      case Shape::Kind::RoundedRect:
        addRoundedRect(context, rect, shape.radius);
        break;
    }
  }
}

Class pathClass();

id pathWith(const Shape& shape) {
  id path = autorelease(make(pathClass()).leak());
  state(path).shapes.push_back(shape);
  return path;
}

id withRect(id, SEL, CGRect rect) {
  return pathWith({Shape::Kind::Rect, rect, 0});
}
id withOval(id, SEL, CGRect rect) {
  return pathWith({Shape::Kind::Oval, rect, 0});
}
id withRoundedRect(id, SEL, CGRect rect, CGFloat radius) {
  return pathWith({Shape::Kind::RoundedRect, rect, std::isfinite(radius) ? radius : 0});
}

void fill(id self, SEL) {
  CGContextRef context = UIGraphicsGetCurrentContext();
  if (context == nullptr) return;
  addPath(self, context);
  CGContextFillPath(context);
}

void stroke(id self, SEL) {
  CGContextRef context = UIGraphicsGetCurrentContext();
  if (context == nullptr) return;
  CGContextSetLineWidth(context, state(self).lineWidth);
  addPath(self, context);
  CGContextStrokePath(context);
}

CGFloat lineWidth(id self, SEL) {
  return state(self).lineWidth;
}
void setLineWidth(id self, SEL, CGFloat width) {
  if (std::isfinite(width) && width >= 0) state(self).lineWidth = width;
}

Class pathClass() {
  static const Class cls =
      ClassBuilder("UIBezierPath", NSObjectClass())
          .state<PathState>()
          .classMethod("bezierPathWithRect:", &withRect)
          .classMethod("bezierPathWithOvalInRect:", &withOval)
          .classMethod("bezierPathWithRoundedRect:cornerRadius:", &withRoundedRect)
          .method("fill", &fill)
          .method("stroke", &stroke)
          .method("lineWidth", &lineWidth)
          .method("setLineWidth:", &setLineWidth)
          .registerClass();
  return cls;
}

__attribute__((constructor(130))) void registerBezierPath() {
  pathClass();
}

}  // namespace
}  // namespace qv::ui

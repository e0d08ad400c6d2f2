// Touches: where a point lands (hitTest:withEvent:, pointInside:withEvent:), points between the
// coordinate spaces of views, and the simulator's taps, delivered to the tap recognizers of the
// view a tap lands on and of its ancestors.
#include <vector>

#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui {
namespace {

// Below this alpha a view takes no touches, as on the platform.
constexpr double kTouchableAlpha = 0.01;

// A point of the view's bounds space in its parent's, about the view's centre.
CGPoint toParent(id view, CGPoint point) {
  const ViewState& s = viewState(view);
  const CGPoint centred = CGPointMake(point.x - s.bounds.origin.x - s.bounds.size.width / 2,
                                      point.y - s.bounds.origin.y - s.bounds.size.height / 2);
  const CGPoint turned = CGPointApplyAffineTransform(centred, s.transform);
  return CGPointMake(turned.x + s.center.x, turned.y + s.center.y);
}

CGPoint fromParent(id view, CGPoint point) {
  const ViewState& s = viewState(view);
  const CGPoint centred =
      CGPointApplyAffineTransform(CGPointMake(point.x - s.center.x, point.y - s.center.y),
                                  CGAffineTransformInvert(s.transform));
  return CGPointMake(centred.x + s.bounds.size.width / 2 + s.bounds.origin.x,
                     centred.y + s.bounds.size.height / 2 + s.bounds.origin.y);
}

// The point in the space of the view's root (its window, for a view on screen).
CGPoint toRoot(id view, CGPoint point) {
  for (id v = view; viewState(v).superview != nil; v = viewState(v).superview) {
    point = toParent(v, point);
  }
  return point;
}

CGPoint fromRoot(id view, CGPoint point) {
  std::vector<id> chain;
  for (id v = view; viewState(v).superview != nil; v = viewState(v).superview) chain.push_back(v);
  for (auto v = chain.rbegin(); v != chain.rend(); ++v) point = fromParent(*v, point);
  return point;
}

// A nil view stands for the root, as the window stands for it on the platform.
CGPoint convertPointToView(id self, SEL, CGPoint point, id view) {
  const CGPoint atRoot = toRoot(self, point);
  return view != nil ? fromRoot(view, atRoot) : atRoot;
}

CGPoint convertPointFromView(id self, SEL, CGPoint point, id view) {
  return fromRoot(self, view != nil ? toRoot(view, point) : point);
}

BOOL pointInside(id self, SEL, CGPoint point, id) {
  return CGRectContainsPoint(viewState(self).bounds, point);
}

// The frontmost visible, touchable descendant under the point, or the view itself.
id hitTest(id self, SEL, CGPoint point, id event) {
  const ViewState& s = viewState(self);
  if (s.hidden || !s.userInteractionEnabled || s.alpha < kTouchableAlpha) return nil;
  if (!send<BOOL>(self, "pointInside:withEvent:"_sel, point, event)) return nil;
  const std::vector<Ref<>> children = s.subviews;
  for (auto child = children.rbegin(); child != children.rend(); ++child) {
    if (id hit = send<id>(child->get(), "hitTest:withEvent:"_sel, fromParent(*child, point), event))
      return hit;
  }
  return self;
}

}  // namespace

void addTouchMethods(ClassBuilder& builder) {
  builder.method("convertPoint:toView:", &convertPointToView)
      .method("convertPoint:fromView:", &convertPointFromView)
      .method("pointInside:withEvent:", &pointInside)
      .method("hitTest:withEvent:", &hitTest);
}

id tap(id root, CGPoint point, unsigned taps) {
  id hit = send<id>(root, "hitTest:withEvent:"_sel, point, nil);
  Ref<> held(hit);
  std::vector<Ref<>> recognizers;
  for (id view = hit; view != nil; view = viewState(view).superview) {
    for (const Ref<>& recognizer : viewState(view).gestureRecognizers) {
      recognizers.push_back(recognizer);
    }
  }
  deliverTaps(recognizers, taps);
  return hit;
}

id tapView(id view, unsigned taps) {
  id root = view;
  while (viewState(root).superview != nil) root = viewState(root).superview;
  const CGRect bounds = viewState(view).bounds;
  return tap(root, toRoot(view, CGPointMake(CGRectGetMidX(bounds), CGRectGetMidY(bounds))), taps);
}

}  // namespace qv::ui

// Touches: where a point lands (hitTest:withEvent:, pointInside:withEvent:), points between the
// coordinate spaces of views, the first responder, and the simulator's taps, delivered to the
// tap recognizers of the view a tap lands on and of its ancestors, and otherwise up the
// responder chain from that view (touchesEnded:withEvent:), where controls act.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui {
namespace {

// Below this alpha a view takes no touches, as on the platform.
constexpr double kTouchableAlpha = 0.01;

// The first responder; not retained: a view leaving the tree or going away lets go of it.
id& currentFirstResponder() {
  static id responder = nil;
  return responder;
}

// What took the tap being delivered, when one is.
std::vector<std::string>*& tapNotes() {
  static std::vector<std::string>* notes = nullptr;
  return notes;
}

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
  if (!isEnabledControl(self)) return nil;
  if (!send<BOOL>(self, "pointInside:withEvent:"_sel, point, event)) return nil;
  const std::vector<Ref<>> children = s.subviews;
  for (auto child = children.rbegin(); child != children.rend(); ++child) {
    if (id hit = send<id>(child->get(), "hitTest:withEvent:"_sel, fromParent(*child, point), event))
      return hit;
  }
  return self;
}

// The responder chain of views: what a view does not take goes to its superview.
void touchesEnded(id self, SEL, id touches, id event) {
  if (id next = viewState(self).superview)
    send(next, "touchesEnded:withEvent:"_sel, touches, event);
}

BOOL isFirstResponder(id self, SEL) {
  return currentFirstResponder() == self;
}

BOOL no(id, SEL) {
  return NO;
}

BOOL becomeFirstResponder(id self, SEL) {
  if (currentFirstResponder() == self) return YES;
  if (!send<BOOL>(self, "canBecomeFirstResponder"_sel)) return NO;
  if (id previous = currentFirstResponder()) {
    if (!send<BOOL>(previous, "resignFirstResponder"_sel)) return NO;
  }
  currentFirstResponder() = self;
  noteTouchTaken(describeView(self) + " became first responder");
  return YES;
}

BOOL resignFirstResponder(id self, SEL) {
  if (currentFirstResponder() == self) currentFirstResponder() = nil;
  return YES;
}

id rootOf(id view) {
  while (viewState(view).superview != nil) view = viewState(view).superview;
  return view;
}

std::vector<Ref<>> recognizersAbove(id hit) {
  std::vector<Ref<>> recognizers;
  for (id view = hit; view != nil; view = viewState(view).superview) {
    for (const Ref<>& recognizer : viewState(view).gestureRecognizers) {
      recognizers.push_back(recognizer);
    }
  }
  return recognizers;
}

bool takesDoubleTaps(id view) {
  for (const Ref<>& recognizer : viewState(view).gestureRecognizers) {
    if (responds(recognizer, "numberOfTapsRequired"_sel) &&
        send<NSUInteger>(recognizer, "numberOfTapsRequired"_sel) >= 2 &&
        send<BOOL>(recognizer, "isEnabled"_sel)) {
      return true;
    }
  }
  return false;
}

bool isWithin(id view, id ancestor) {
  for (id v = view; v != nil; v = viewState(v).superview) {
    if (v == ancestor) return true;
  }
  return false;
}

// `owner`: the view whose recognizer takes the double taps of `view`, or nil. A view covered at
// its centre by one in front of it is left out: the double tap would not reach it.
void collectDoubleTapAreas(id root, id view, id owner, std::vector<CGRect>& areas) {
  const ViewState& s = viewState(view);
  if (s.hidden || !s.userInteractionEnabled || s.alpha < kTouchableAlpha) return;
  if (owner == nil && takesDoubleTaps(view)) owner = view;
  if (owner != nil) {
    const CGRect frame = frameInRoot(view);
    const CGPoint centre = CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame));
    if (isWithin(send<id>(root, "hitTest:withEvent:"_sel, centre, id{nil}), owner)) {
      areas.push_back(frame);
    }
  }
  for (const Ref<>& child : std::vector<Ref<>>(s.subviews)) {
    collectDoubleTapAreas(root, child, owner, areas);
  }
}

// Restores the notes of an outer tap (an action that taps again) when it ends.
class NotesScope {
 public:
  explicit NotesScope(std::vector<std::string>& notes) : outer_(tapNotes()) { tapNotes() = &notes; }
  ~NotesScope() { tapNotes() = outer_; }
  NotesScope(const NotesScope&) = delete;
  NotesScope& operator=(const NotesScope&) = delete;

 private:
  std::vector<std::string>* outer_;
};

}  // namespace

void addTouchMethods(ClassBuilder& builder) {
  builder.method("convertPoint:toView:", &convertPointToView)
      .method("convertPoint:fromView:", &convertPointFromView)
      .method("pointInside:withEvent:", &pointInside)
      .method("hitTest:withEvent:", &hitTest)
      .method("touchesEnded:withEvent:", &touchesEnded)
      .method("canBecomeFirstResponder", &no)
      .method("isFirstResponder", &isFirstResponder)
      .method("becomeFirstResponder", &becomeFirstResponder)
      .method("resignFirstResponder", &resignFirstResponder);
}

void noteTouchTaken(std::string what) {
  if (tapNotes() != nullptr) tapNotes()->push_back(std::move(what));
}

std::string describeView(id view) {
  if (view == nil) return "nothing";
  const id label = viewState(view).accessibilityLabel;
  return std::string(object_getClassName(view)) + (label != nil ? " \"" + utf8(label) + "\"" : "");
}

void resignFirstResponderWithin(id view) {
  if (isWithin(currentFirstResponder(), view)) currentFirstResponder() = nil;
}

id firstResponder() {
  return currentFirstResponder();
}

CGRect frameInRoot(id view) {
  const CGRect b = viewState(view).bounds;
  const CGPoint corners[] = {toRoot(view, b.origin),
                             toRoot(view, CGPointMake(CGRectGetMaxX(b), b.origin.y)),
                             toRoot(view, CGPointMake(b.origin.x, CGRectGetMaxY(b))),
                             toRoot(view, CGPointMake(CGRectGetMaxX(b), CGRectGetMaxY(b)))};
  CGPoint low = corners[0];
  CGPoint high = corners[0];
  for (const CGPoint& c : corners) {
    low = CGPointMake(std::min(low.x, c.x), std::min(low.y, c.y));
    high = CGPointMake(std::max(high.x, c.x), std::max(high.y, c.y));
  }
  return CGRectMake(low.x, low.y, high.x - low.x, high.y - low.y);
}

std::vector<CGRect> doubleTapAreas(id root) {
  runPendingPasses();
  std::vector<CGRect> areas;
  if (root != nil) collectDoubleTapAreas(root, root, nil, areas);
  return areas;
}

TapOutcome tap(id root, CGPoint point, unsigned taps) {
  runPendingPasses();  // the screen as it shows
  TapOutcome outcome;
  outcome.landedOn = Ref<>(send<id>(root, "hitTest:withEvent:"_sel, point, nil));
  id hit = outcome.landedOn;
  if (hit == nil) return outcome;
  NotesScope scope(outcome.taken);
  // A recognizer that recognizes cancels the touches in its view: they reach no control.
  if (deliverTaps(recognizersAbove(hit), taps)) return outcome;
  for (unsigned i = 0; i < taps; ++i) {
    // A view the first touch took off the screen gets no more: its control's target may be gone
    // with it (a sheet's button, the sheet dismissed).
    if (i > 0 && !isWithin(hit, root)) break;
    send(hit, "touchesEnded:withEvent:"_sel, id{nil}, id{nil});
  }
  return outcome;
}

TapOutcome tapView(id view, unsigned taps) {
  const CGRect bounds = viewState(view).bounds;
  return tap(rootOf(view), toRoot(view, CGPointMake(CGRectGetMidX(bounds), CGRectGetMidY(bounds))),
             taps);
}

}  // namespace qv::ui

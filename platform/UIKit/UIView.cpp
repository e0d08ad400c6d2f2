// UIView: geometry, the view tree and its ownership, and the plain properties. Layout and
// display passes are in ViewPasses.cpp, animations in ViewAnimation.cpp.
#include <algorithm>
#include <cmath>

#include "platform/Foundation/FoundationRuntime.h"
#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui {

void addAnimationMethods(ClassBuilder& builder);  // ViewAnimation.cpp
void addPassMethods(ClassBuilder& builder);       // ViewPasses.cpp
void addTouchMethods(ClassBuilder& builder);      // ViewTouches.cpp

namespace {

ViewState& state(id view) {
  return viewState(view);
}

// Geometry.

CGRect frameOf(const ViewState& s) {
  const CGRect centred = CGRectMake(-s.bounds.size.width / 2, -s.bounds.size.height / 2,
                                    s.bounds.size.width, s.bounds.size.height);
  const CGRect turned = CGAffineTransformIsIdentity(s.transform)
                            ? centred
                            : CGRectApplyAffineTransform(centred, s.transform);
  return CGRectMake(turned.origin.x + s.center.x, turned.origin.y + s.center.y, turned.size.width,
                    turned.size.height);
}

bool finiteRect(CGRect r) {
  return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
         std::isfinite(r.size.height);
}

// Moves a margin, the size, or both, as the mask allows, sharing `delta` among the flexible
// parts in proportion to their lengths.
void resizeAxis(double& origin, double& length, double oldContainer, double delta, bool flexLeading,
                bool flexLength, bool flexTrailing) {
  const double leading = origin;
  const double trailing = oldContainer - origin - length;
  double total =
      (flexLeading ? leading : 0) + (flexLength ? length : 0) + (flexTrailing ? trailing : 0);
  const int parts = int(flexLeading) + int(flexLength) + int(flexTrailing);
  if (parts == 0) return;
  auto share = [&](bool flexible, double size) {
    if (!flexible) return 0.0;
    return total > 0 ? delta * size / total : delta / parts;
  };
  origin += share(flexLeading, leading);
  length += share(flexLength, length);
}

void setFrame(id self, SEL, CGRect frame);

void autoresizeSubviews(id self, CGSize oldSize) {
  ViewState& s = state(self);
  if (!s.autoresizesSubviews) return;
  const double dw = s.bounds.size.width - oldSize.width;
  const double dh = s.bounds.size.height - oldSize.height;
  for (const Ref<>& child : std::vector<Ref<>>(s.subviews)) {
    const NSUInteger mask = state(child).autoresizingMask;
    if (mask == UIViewAutoresizingNone) continue;
    CGRect frame = frameOf(state(child));
    resizeAxis(frame.origin.x, frame.size.width, oldSize.width, dw,
               mask & UIViewAutoresizingFlexibleLeftMargin, mask & UIViewAutoresizingFlexibleWidth,
               mask & UIViewAutoresizingFlexibleRightMargin);
    resizeAxis(frame.origin.y, frame.size.height, oldSize.height, dh,
               mask & UIViewAutoresizingFlexibleTopMargin, mask & UIViewAutoresizingFlexibleHeight,
               mask & UIViewAutoresizingFlexibleBottomMargin);
    send(child, "setFrame:"_sel, frame);
  }
}

void boundsSizeChanged(id self, CGSize oldSize) {
  send(self, "setNeedsLayout"_sel);
  if (state(self).contentMode == UIViewContentModeRedraw) send(self, "setNeedsDisplay"_sel);
  autoresizeSubviews(self, oldSize);
}

CGRect frame(id self, SEL) {
  return frameOf(state(self));
}

void setFrame(id self, SEL, CGRect frame) {
  if (!finiteRect(frame)) return;
  ViewState& s = state(self);
  const CGSize oldSize = s.bounds.size;
  s.center =
      CGPointMake(frame.origin.x + frame.size.width / 2, frame.origin.y + frame.size.height / 2);
  s.bounds.size = frame.size;
  if (!CGSizeEqualToSize(oldSize, frame.size)) boundsSizeChanged(self, oldSize);
}

CGRect bounds(id self, SEL) {
  return state(self).bounds;
}

void setBounds(id self, SEL, CGRect bounds) {
  if (!finiteRect(bounds)) return;
  ViewState& s = state(self);
  const CGSize oldSize = s.bounds.size;
  s.bounds = bounds;
  if (!CGSizeEqualToSize(oldSize, bounds.size)) boundsSizeChanged(self, oldSize);
}

CGPoint center(id self, SEL) {
  return state(self).center;
}
void setCenter(id self, SEL, CGPoint center) {
  if (std::isfinite(center.x) && std::isfinite(center.y)) state(self).center = center;
}

CGAffineTransform transform(id self, SEL) {
  return state(self).transform;
}
void setTransform(id self, SEL, CGAffineTransform transform) {
  ViewState& s = state(self);
  if (animating()) recordTransformChange(self, presentationTransform(self), transform);
  s.transform = transform;
}

CGFloat alpha(id self, SEL) {
  return state(self).alpha;
}
void setAlpha(id self, SEL, CGFloat alpha) {
  if (std::isnan(alpha)) return;
  const double clamped = std::clamp(alpha, 0.0, 1.0);
  if (animating()) recordAlphaChange(self, presentationAlpha(self), clamped);
  state(self).alpha = clamped;
}

// Plain properties.

BOOL isHidden(id self, SEL) {
  return state(self).hidden;
}
void setHidden(id self, SEL, BOOL hidden) {
  state(self).hidden = hidden;
}
BOOL isOpaque(id self, SEL) {
  return state(self).opaque;
}
void setOpaque(id self, SEL, BOOL opaque) {
  state(self).opaque = opaque;
}
BOOL clipsToBounds(id self, SEL) {
  return state(self).clipsToBounds;
}
void setClipsToBounds(id self, SEL, BOOL clips) {
  state(self).clipsToBounds = clips;
}
BOOL isUserInteractionEnabled(id self, SEL) {
  return state(self).userInteractionEnabled;
}
void setUserInteractionEnabled(id self, SEL, BOOL enabled) {
  state(self).userInteractionEnabled = enabled;
}
BOOL autoresizesSubviews(id self, SEL) {
  return state(self).autoresizesSubviews;
}
void setAutoresizesSubviews(id self, SEL, BOOL value) {
  state(self).autoresizesSubviews = value;
}
NSInteger contentMode(id self, SEL) {
  return state(self).contentMode;
}
void setContentMode(id self, SEL, NSInteger mode) {
  state(self).contentMode = mode;
}
NSUInteger autoresizingMask(id self, SEL) {
  return state(self).autoresizingMask;
}
void setAutoresizingMask(id self, SEL, NSUInteger mask) {
  state(self).autoresizingMask = mask;
}
NSInteger tag(id self, SEL) {
  return state(self).tag;
}
void setTag(id self, SEL, NSInteger tag) {
  state(self).tag = tag;
}
id backgroundColor(id self, SEL) {
  return state(self).backgroundColor;
}
void setBackgroundColor(id self, SEL, id color) {
  state(self).backgroundColor = Ref<>(color);
  send(self, "setNeedsDisplay"_sel);
}
id accessibilityLabel(id self, SEL) {
  return state(self).accessibilityLabel;
}
void setAccessibilityLabel(id self, SEL, id label) {
  state(self).accessibilityLabel = adopt(send<id>(label, "copy"_sel));
}

// The tree.

id superview(id self, SEL) {
  return state(self).superview;
}
id subviews(id self, SEL) {
  return arrayOf(state(self).subviews);
}

bool isDescendant(id view, id ancestor) {
  for (id v = view; v != nil; v = state(v).superview) {
    if (v == ancestor) return true;
  }
  return false;
}

BOOL isDescendantOfView(id self, SEL, id ancestor) {
  return isDescendant(self, ancestor);
}

id window(id self, SEL) {
  for (id v = self; v != nil; v = state(v).superview) {
    if (isKindOf(v, windowClass())) return v;
  }
  return nil;
}

id viewWithTag(id self, SEL, NSInteger tag) {
  if (state(self).tag == tag) return self;
  for (const Ref<>& child : state(self).subviews) {
    if (id found = viewWithTag(child, nullptr, tag)) return found;
  }
  return nil;
}

// Takes the child out of its parent's list; the caller holds it.
void detach(id child) {
  ViewState& c = state(child);
  if (c.superview == nil) return;
  auto& siblings = state(c.superview).subviews;
  std::erase_if(siblings, [child](const Ref<>& v) { return v.get() == child; });
  c.superview = nil;
}

void insertAt(id self, id view, std::size_t index) {
  if (view == nil) return;
  if (isDescendant(self, view)) {
    raise("NSInvalidArgumentException",
          methodName(self, "addSubview:"_sel) + ": can't add self or an ancestor as subview");
  }
  Ref<> held(view);
  auto& children = state(self).subviews;
  if (state(view).superview == self) {
    detach(view);
    children.insert(children.begin() + std::min(index, children.size()), held);
    state(view).superview = self;
    return;
  }
  send(view, "willMoveToSuperview:"_sel, self);
  if (id old = state(view).superview) {
    send(old, "willRemoveSubview:"_sel, view);
    detach(view);
  }
  children.insert(children.begin() + std::min(index, children.size()), held);
  state(view).superview = self;
  send(view, "didMoveToSuperview"_sel);
  send(self, "didAddSubview:"_sel, view);
  send(self, "setNeedsLayout"_sel);
}

void addSubview(id self, SEL, id view) {
  insertAt(self, view, state(self).subviews.size());
}

void insertSubviewAtIndex(id self, SEL, id view, NSInteger index) {
  insertAt(self, view, static_cast<std::size_t>(std::max<NSInteger>(index, 0)));
}

void removeFromSuperview(id self, SEL) {
  id parent = state(self).superview;
  if (parent == nil) return;
  Ref<> held(self);  // the hooks below still reach the view after its parent lets go
  resignFirstResponderWithin(self);
  send(parent, "willRemoveSubview:"_sel, self);
  send(self, "willMoveToSuperview:"_sel, nil);
  detach(self);
  send(self, "didMoveToSuperview"_sel);
}

void moveWithinParent(id self, id view, bool toFront) {
  auto& children = state(self).subviews;
  auto found = std::find_if(children.begin(), children.end(),
                            [view](const Ref<>& v) { return v.get() == view; });
  if (found == children.end()) return;
  Ref<> held = *found;
  children.erase(found);
  children.insert(toFront ? children.end() : children.begin(), held);
}

void bringSubviewToFront(id self, SEL, id view) {
  moveWithinParent(self, view, true);
}
void sendSubviewToBack(id self, SEL, id view) {
  moveWithinParent(self, view, false);
}

void noHook(id, SEL) {}
void noHookWith(id, SEL, id) {}

// Sizes.

CGSize sizeThatFits(id self, SEL, CGSize) {
  return state(self).bounds.size;
}

void sizeToFit(id self, SEL) {
  const CGRect current = frameOf(state(self));
  const CGSize fitting = send<CGSize>(self, "sizeThatFits:"_sel, current.size);
  send(self, "setFrame:"_sel, CGRect{current.origin, fitting});
}

// Gesture recognizers.

id gestureRecognizers(id self, SEL) {
  const auto& list = state(self).gestureRecognizers;
  return list.empty() ? nil : arrayOf(list);
}

void addGestureRecognizer(id self, SEL, id recognizer) {
  if (recognizer == nil) return;
  auto& list = state(self).gestureRecognizers;
  if (std::any_of(list.begin(), list.end(),
                  [&](const Ref<>& r) { return r.get() == recognizer; })) {
    return;
  }
  if (id previous = send<id>(recognizer, "view"_sel); previous != nil && previous != self) {
    send(previous, "removeGestureRecognizer:"_sel, recognizer);
  }
  list.emplace_back(recognizer);
  send(recognizer, "qv_setView:"_sel, self);
}

void removeGestureRecognizer(id self, SEL, id recognizer) {
  auto& list = state(self).gestureRecognizers;
  auto found =
      std::find_if(list.begin(), list.end(), [&](const Ref<>& r) { return r.get() == recognizer; });
  if (found == list.end()) return;
  Ref<> held = *found;
  list.erase(found);
  send(recognizer, "qv_setView:"_sel, nil);
}

// Life.

id initWithFrame(id self, SEL, CGRect frame) {
  self = sendSuper<id>(self, viewClass(), "init"_sel);
  if (self == nil) return nil;
  send(self, "setFrame:"_sel, frame);
  send(self, "setNeedsLayout"_sel);
  send(self, "setNeedsDisplay"_sel);
  return self;
}

id init(id self, SEL) {
  return send<id>(self, "initWithFrame:"_sel, CGRectZero);
}

void dealloc(id self, SEL) {
  resignFirstResponderWithin(self);
  forgetPendingPasses(self);
  forgetObservations(self);
  for (const Ref<>& child : state(self).subviews) state(child).superview = nil;
  for (const Ref<>& recognizer : state(self).gestureRecognizers) {
    send(recognizer, "qv_setView:"_sel, nil);
  }
  sendSuper(self, viewClass(), "dealloc"_sel);
}

}  // namespace

ViewState& viewState(id view) {
  return stateOf<ViewState>(view);
}

id arrayOf(const std::vector<Ref<>>& objects) {
  std::vector<id> ids(objects.begin(), objects.end());
  return autorelease(makeArray(ids).leak());
}

Class viewClass() {
  static const Class cls = [] {
    ClassBuilder builder("UIView", NSObjectClass());
    builder.state<ViewState>()
        .method("initWithFrame:", &initWithFrame)
        .method("init", &init)
        .method("dealloc", &dealloc)
        .method("frame", &frame)
        .method("setFrame:", &setFrame)
        .method("bounds", &bounds)
        .method("setBounds:", &setBounds)
        .method("center", &center)
        .method("setCenter:", &setCenter)
        .method("transform", &transform)
        .method("setTransform:", &setTransform)
        .method("alpha", &alpha)
        .method("setAlpha:", &setAlpha)
        .method("isHidden", &isHidden)
        .method("setHidden:", &setHidden)
        .method("isOpaque", &isOpaque)
        .method("setOpaque:", &setOpaque)
        .method("clipsToBounds", &clipsToBounds)
        .method("setClipsToBounds:", &setClipsToBounds)
        .method("isUserInteractionEnabled", &isUserInteractionEnabled)
        .method("setUserInteractionEnabled:", &setUserInteractionEnabled)
        .method("autoresizesSubviews", &autoresizesSubviews)
        .method("setAutoresizesSubviews:", &setAutoresizesSubviews)
        .method("contentMode", &contentMode)
        .method("setContentMode:", &setContentMode)
        .method("autoresizingMask", &autoresizingMask)
        .method("setAutoresizingMask:", &setAutoresizingMask)
        .method("tag", &tag)
        .method("setTag:", &setTag)
        .method("viewWithTag:", &viewWithTag)
        .method("backgroundColor", &backgroundColor)
        .method("setBackgroundColor:", &setBackgroundColor)
        .method("accessibilityLabel", &accessibilityLabel)
        .method("setAccessibilityLabel:", &setAccessibilityLabel)
        .method("superview", &superview)
        .method("subviews", &subviews)
        .method("window", &window)
        .method("isDescendantOfView:", &isDescendantOfView)
        .method("addSubview:", &addSubview)
        .method("insertSubview:atIndex:", &insertSubviewAtIndex)
        .method("removeFromSuperview", &removeFromSuperview)
        .method("bringSubviewToFront:", &bringSubviewToFront)
        .method("sendSubviewToBack:", &sendSubviewToBack)
        .method("willMoveToSuperview:", &noHookWith)
        .method("didMoveToSuperview", &noHook)
        .method("didAddSubview:", &noHookWith)
        .method("willRemoveSubview:", &noHookWith)
        .method("sizeThatFits:", &sizeThatFits)
        .method("sizeToFit", &sizeToFit)
        .method("gestureRecognizers", &gestureRecognizers)
        .method("addGestureRecognizer:", &addGestureRecognizer)
        .method("removeGestureRecognizer:", &removeGestureRecognizer);
    addAnimationMethods(builder);
    addPassMethods(builder);
    addTouchMethods(builder);
    return builder.registerClass();
  }();
  return cls;
}

}  // namespace qv::ui

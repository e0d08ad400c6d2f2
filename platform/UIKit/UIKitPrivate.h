// What UIKit's classes share among themselves (private to the framework).
#pragma once

#include <string>
#include <vector>

#include "platform/UIKit/TextLayout.h"
#include "platform/UIKit/UIKit.h"

namespace qv::ui {

Class viewClass();
Class windowClass();
Class colorClass();
Class fontClass();
Class labelClass();
Class activityIndicatorClass();
Class controlClass();

// An animation's record on one property: from, to, over [start, start + duration].
template <typename T>
struct Animated {
  T from{};
  T to{};
  std::int64_t start = 0;
  std::int64_t duration = 0;
  bool active = false;
};

struct ViewState {
  CGRect bounds = CGRectZero;
  CGPoint center = CGPointZero;
  CGAffineTransform transform = CGAffineTransformIdentity;
  id superview = nil;           // the parent owns the child, not the other way round
  std::vector<Ref<>> subviews;  // back to front
  std::vector<Ref<>> gestureRecognizers;
  Ref<> backgroundColor;
  Ref<> accessibilityLabel;  // names the view in the simulator's trace of a tap
  double alpha = 1;
  bool hidden = false;
  bool opaque = true;
  bool clipsToBounds = false;
  bool userInteractionEnabled = true;
  bool autoresizesSubviews = true;
  NSInteger contentMode = UIViewContentModeScaleToFill;
  NSUInteger autoresizingMask = UIViewAutoresizingNone;
  NSInteger tag = 0;
  bool needsLayout = false;
  bool needsDisplay = false;
  PassCounts counts;
  Animated<double> alphaAnimation;
  Animated<CGAffineTransform> transformAnimation;
};

ViewState& viewState(id view);

// Tap delivery (UIGestureRecognizer.cpp): a gesture of `taps` taps to the recognizers the
// touches reach, in the order given. True when one of them recognized it.
bool deliverTaps(const std::vector<Ref<>>& reached, unsigned taps);

// Whether a control takes touches (UIControl.cpp); true for any other view.
bool isEnabledControl(id view);

// During a tap, what took it, as the trace of the tap names it (ViewTouches.cpp): a control
// that sent an action, a view that became first responder.
void noteTouchTaken(std::string what);

// The view that is first responder is leaving the view tree or going away (ViewTouches.cpp).
void resignFirstResponderWithin(id view);

// Pass scheduling (ViewPasses.cpp).
void markNeedsLayout(id view);
void markNeedsDisplay(id view);
void layoutIfNeeded(id view);
void forgetPendingPasses(id view);  // a view being deallocated

// Animation recording (ViewAnimation.cpp): whether an animation block is open, and the
// recording of a change made inside one.
bool animating();
void recordAlphaChange(id view, double from, double to);
void recordTransformChange(id view, const CGAffineTransform& from, const CGAffineTransform& to);

// Whether the view's class draws (overrides -[UIView drawRect:]).
bool drawsContent(id view);
// Calls drawRect: with the context current, the view's bounds mapped onto it.
void drawContent(id view, CGContextRef context);

// Colours and fonts as the drawing code needs them.
CGColorRef cgColorOf(id color);
const text::Font& fontOf(id font);
id makeFont(const text::Font& font);                                // autoreleased UIFont
id makeColor(double red, double green, double blue, double alpha);  // autoreleased UIColor

// The text module's alignment for an NSTextAlignment (left for unknown values).
inline text::Alignment alignmentOf(NSInteger alignment) {
  return alignment == NSTextAlignmentCenter  ? text::Alignment::center
         : alignment == NSTextAlignmentRight ? text::Alignment::right
                                             : text::Alignment::left;
}

// The autoreleased NSArray of the Refs' objects.
id arrayOf(const std::vector<Ref<>>& objects);

}  // namespace qv::ui

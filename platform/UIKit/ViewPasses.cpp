// Layout and display passes. Marks made with setNeedsLayout and setNeedsDisplay are served on
// the main run loop by one layout pass (parents before children) and then one display pass, so
// any number of marks on a view before the passes run costs one layoutSubviews and one drawRect:.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <vector>

#include "platform/CoreGraphics/Bitmap.h"
#include "platform/UIKit/UIKitPrivate.h"
#include "platform/dispatch/RunLoop.h"

namespace qv::ui {
namespace {

// A layout that keeps asking for layout would never end; the platform would hang, we stop.
constexpr int kMaxLayoutRounds = 64;
constexpr double kMaxBackingSize = 8192;

// Views waiting for a pass. They are not retained: a view leaves the lists when it goes.
class PendingViews {
 public:
  void add(std::vector<id> PendingViews::*list, id view) {
    std::lock_guard lock(mutex_);
    auto& views = this->*list;
    if (std::find(views.begin(), views.end(), view) == views.end()) views.push_back(view);
    if (!scheduled_) {
      scheduled_ = true;
      MainRunLoop::post(&runPendingPasses);
    }
  }

  // The views waiting in one list, held for the pass.
  std::vector<Ref<>> take(std::vector<id> PendingViews::*list) {
    std::lock_guard lock(mutex_);
    std::vector<Ref<>> held;
    for (id view : std::exchange(this->*list, {})) held.emplace_back(view);
    return held;
  }

  void forget(id view) {
    std::lock_guard lock(mutex_);
    std::erase(layout, view);
    std::erase(display, view);
  }

  void passesStarted() {
    std::lock_guard lock(mutex_);
    scheduled_ = false;
  }

  std::vector<id> layout;
  std::vector<id> display;

 private:
  std::mutex mutex_;
  bool scheduled_ = false;
};

PendingViews& pending() {
  static auto* views = new PendingViews;  // views may still go during exit
  return *views;
}

int depth(id view) {
  int d = 0;
  for (id v = viewState(view).superview; v != nil; v = viewState(v).superview) ++d;
  return d;
}

void layoutPass() {
  for (int round = 0; round < kMaxLayoutRounds; ++round) {
    std::vector<Ref<>> views = pending().take(&PendingViews::layout);
    if (views.empty()) return;
    std::stable_sort(views.begin(), views.end(),
                     [](const Ref<>& a, const Ref<>& b) { return depth(a) < depth(b); });
    for (const Ref<>& view : views) layoutIfNeeded(view);
  }
}

void displayPass() {
  for (const Ref<>& view : pending().take(&PendingViews::display)) {
    ViewState& s = viewState(view);
    if (!s.needsDisplay) continue;
    s.needsDisplay = false;
    const double width = std::ceil(s.bounds.size.width);
    const double height = std::ceil(s.bounds.size.height);
    if (!drawsContent(view) || !(width >= 1 && height >= 1)) continue;
    // The backing store the view draws into, as a layer's contents on the device.
    Bitmap backing(static_cast<int>(std::min(width, kMaxBackingSize)),
                   static_cast<int>(std::min(height, kMaxBackingSize)));
    ++s.counts.displays;
    drawContent(view, backing.context());
  }
}

void setNeedsLayout(id self, SEL) {
  markNeedsLayout(self);
}
void layoutIfNeededMethod(id self, SEL) {
  layoutIfNeeded(self);
}
void setNeedsDisplay(id self, SEL) {
  markNeedsDisplay(self);
}
void setNeedsDisplayInRect(id self, SEL, CGRect) {
  markNeedsDisplay(self);
}
void layoutSubviews(id, SEL) {}
void drawRect(id, SEL, CGRect) {}

}  // namespace

void markNeedsLayout(id view) {
  viewState(view).needsLayout = true;
  pending().add(&PendingViews::layout, view);
}

void markNeedsDisplay(id view) {
  viewState(view).needsDisplay = true;
  pending().add(&PendingViews::display, view);
}

void layoutIfNeeded(id view) {
  ViewState& s = viewState(view);
  if (s.needsLayout) {
    s.needsLayout = false;
    ++s.counts.layouts;
    send(view, "layoutSubviews"_sel);
  }
  for (const Ref<>& child : std::vector<Ref<>>(viewState(view).subviews)) layoutIfNeeded(child);
}

void forgetPendingPasses(id view) {
  pending().forget(view);
}

void runPendingPasses() {
  pending().passesStarted();
  layoutPass();
  displayPass();
}

PassCounts passCounts(id view) {
  return viewState(view).counts;
}

bool drawsContent(id view) {
  static const IMP base = class_getMethodImplementation(viewClass(), "drawRect:"_sel);
  return class_getMethodImplementation(object_getClass(view), "drawRect:"_sel) != base;
}

void drawContent(id view, CGContextRef context) {
  // Pushed state is popped however drawRect: ends.
  struct Current {
    CGContextRef context;
    explicit Current(CGContextRef c) : context(c) {
      CGContextSaveGState(context);
      UIGraphicsPushContext(context);
    }
    ~Current() {
      UIGraphicsPopContext();
      CGContextRestoreGState(context);
    }
  } current(context);
  const CGRect bounds = viewState(view).bounds;
  CGContextTranslateCTM(context, -bounds.origin.x, -bounds.origin.y);
  send(view, "drawRect:"_sel, bounds);
}

void addPassMethods(ClassBuilder& builder) {
  builder.method("setNeedsLayout", &setNeedsLayout)
      .method("layoutIfNeeded", &layoutIfNeededMethod)
      .method("layoutSubviews", &layoutSubviews)
      .method("setNeedsDisplay", &setNeedsDisplay)
      .method("setNeedsDisplayInRect:", &setNeedsDisplayInRect)
      .method("drawRect:", &drawRect);
}

}  // namespace qv::ui

// View animations: the begin/commit calls and the block forms. Model values change at once;
// the animation runs on the platform clock, and its did-stop selector or completion runs on
// the main run loop at begin + delay + duration. Alpha and transform changes keep their from
// and to values, so the presentation value at any instant in between is known (linear).
#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

#include "platform/Foundation/FoundationRuntime.h"
#include "platform/UIKit/UIKitPrivate.h"
#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

namespace qv::ui {
namespace {

constexpr double kDefaultDuration = 0.2;

struct Animation {
  Ref<> animationID;
  void* context = nullptr;
  double duration = kDefaultDuration;
  double delay = 0;
  Ref<> delegate;  // held until the did-stop call, as the platform's animations hold theirs
  SEL didStopSelector = nullptr;
  UIViewAnimationCompletionBlock completion;
  std::int64_t begin = 0;

  std::int64_t start() const { return Clock::offset(begin, Clock::toNanoseconds(delay)); }
  std::int64_t length() const { return Clock::toNanoseconds(duration); }
};

// Animation blocks open on this thread, innermost last (UIKit runs on the main thread).
thread_local std::vector<Animation> openAnimations;
std::atomic<std::size_t> inFlight{0};

double seconds(double value) {
  return value > 0 && std::isfinite(value) ? value : 0;
}

Animation* innermost() {
  return openAnimations.empty() ? nullptr : &openAnimations.back();
}

void finish(const Animation& animation) {
  --inFlight;
  const SEL selector = animation.didStopSelector;
  if (animation.delegate && selector != nullptr && responds(animation.delegate, selector)) {
    Ref<> finished = makeNumber(true);
    invoke(objc_msg_lookup(animation.delegate, selector), animation.delegate, selector,
           animation.animationID.get(), finished.get(), animation.context);
  }
  if (animation.completion) animation.completion(YES);
}

void beginAnimations(id, SEL, id animationID, void* context) {
  Animation animation;
  animation.animationID = Ref<>(animationID);
  animation.context = context;
  animation.begin = Clock::now();
  openAnimations.push_back(std::move(animation));
}

void setAnimationDuration(id, SEL, double duration) {
  if (Animation* a = innermost()) a->duration = seconds(duration);
}

void setAnimationDelay(id, SEL, double delay) {
  if (Animation* a = innermost()) a->delay = seconds(delay);
}

void setAnimationDelegate(id, SEL, id delegate) {
  if (Animation* a = innermost()) a->delegate = Ref<>(delegate);
}

void setAnimationDidStopSelector(id, SEL, SEL selector) {
  if (Animation* a = innermost()) a->didStopSelector = selector;
}

void ignoreInteger(id, SEL, NSInteger) {}
void ignoreFlag(id, SEL, BOOL) {}

void commitAnimations(id, SEL) {
  if (openAnimations.empty()) return;
  Animation animation = std::move(openAnimations.back());
  openAnimations.pop_back();
  ++inFlight;
  const std::int64_t end = Clock::offset(animation.start(), animation.length());
  MainRunLoop::schedule(end, [animation = std::move(animation)] { finish(animation); });
}

void animate(id cls, double duration, double delay, const UIViewAnimationsBlock& animations,
             UIViewAnimationCompletionBlock completion) {
  beginAnimations(cls, nullptr, nil, nullptr);
  setAnimationDuration(cls, nullptr, duration);
  setAnimationDelay(cls, nullptr, delay);
  innermost()->completion = std::move(completion);
  struct Commit {
    id cls;
    ~Commit() { commitAnimations(cls, nullptr); }
  } commit{cls};
  if (animations) animations();
}

void animateFull(id cls, SEL, double duration, double delay, UIViewAnimationOptions,
                 UIViewAnimationsBlock animations, UIViewAnimationCompletionBlock completion) {
  animate(cls, duration, delay, animations, std::move(completion));
}

void animateWithCompletion(id cls, SEL, double duration, UIViewAnimationsBlock animations,
                           UIViewAnimationCompletionBlock completion) {
  animate(cls, duration, 0, animations, std::move(completion));
}

void animateOnly(id cls, SEL, double duration, UIViewAnimationsBlock animations) {
  animate(cls, duration, 0, animations, nullptr);
}

template <typename T>
void record(Animated<T>& animated, const T& from, const T& to) {
  const Animation& a = *innermost();
  animated = {from, to, a.start(), a.length(), true};
}

// How far through its animation the property is now: 0 before, 1 after.
template <typename T>
double progress(const Animated<T>& animated) {
  const std::int64_t now = Clock::now();
  if (now <= animated.start) return 0;
  if (animated.duration <= 0 || now >= animated.start + animated.duration) return 1;
  return static_cast<double>(now - animated.start) / static_cast<double>(animated.duration);
}

double mix(double from, double to, double f) {
  return from + (to - from) * f;
}

}  // namespace

bool animating() {
  return !openAnimations.empty();
}

void recordAlphaChange(id view, double from, double to) {
  record(viewState(view).alphaAnimation, from, to);
}

void recordTransformChange(id view, const CGAffineTransform& from, const CGAffineTransform& to) {
  record(viewState(view).transformAnimation, from, to);
}

std::size_t animationsInFlight() {
  return inFlight;
}

double presentationAlpha(id view) {
  const ViewState& s = viewState(view);
  const auto& a = s.alphaAnimation;
  if (!a.active) return s.alpha;
  const double f = progress(a);
  return f >= 1 ? s.alpha : mix(a.from, a.to, f);
}

CGAffineTransform presentationTransform(id view) {
  const ViewState& s = viewState(view);
  const auto& a = s.transformAnimation;
  if (!a.active) return s.transform;
  const double f = progress(a);
  if (f >= 1) return s.transform;
  return {mix(a.from.a, a.to.a, f), mix(a.from.b, a.to.b, f),   mix(a.from.c, a.to.c, f),
          mix(a.from.d, a.to.d, f), mix(a.from.tx, a.to.tx, f), mix(a.from.ty, a.to.ty, f)};
}

void addAnimationMethods(ClassBuilder& builder) {
  builder.classMethod("beginAnimations:context:", &beginAnimations)
      .classMethod("setAnimationDuration:", &setAnimationDuration)
      .classMethod("setAnimationDelay:", &setAnimationDelay)
      .classMethod("setAnimationDelegate:", &setAnimationDelegate)
      .classMethod("setAnimationDidStopSelector:", &setAnimationDidStopSelector)
      .classMethod("setAnimationCurve:", &ignoreInteger)
      .classMethod("setAnimationBeginsFromCurrentState:", &ignoreFlag)
      .classMethod("commitAnimations", &commitAnimations)
      .classMethod("animateWithDuration:animations:", &animateOnly)
      .classMethod("animateWithDuration:animations:completion:", &animateWithCompletion)
      .classMethod("animateWithDuration:delay:options:animations:completion:", &animateFull);
}

}  // namespace qv::ui

#include "tests/hud/HUDTestSupport.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

namespace quorvane::test {
namespace {

using qv::send;

std::int64_t testStart = 0;

Class hud() {
  return objc_getClass("TracedHUD");
}

void tracedShow(id self, SEL, BOOL animated) {
  trace() += animated ? "show(animated);" : "show;";
  qv::sendSuper(self, hud(), "showUsingAnimation:"_sel, animated);
}
void tracedHide(id self, SEL, BOOL animated) {
  trace() += animated ? "hide(animated);" : "hide;";
  qv::sendSuper(self, hud(), "hideUsingAnimation:"_sel, animated);
}
void tracedDone(id self, SEL) {
  trace() += "done;";
  qv::sendSuper(self, hud(), "done"_sel);
}
void tracedSetAlpha(id self, SEL, CGFloat alpha) {
  if (alpha == 0) trace() += "alpha0;";
  qv::sendSuper(self, hud(), "setAlpha:"_sel, alpha);
}
void tracedRemove(id self, SEL) {
  trace() += "remove;";
  qv::sendSuper(self, hud(), "removeFromSuperview"_sel);
}

void hudWasHidden(id, SEL, id) {
  trace() += "delegate;";
}

}  // namespace

std::string& trace() {
  static std::string steps;
  return steps;
}

Class tracedHUDClass() {
  static const Class cls = qv::ClassBuilder("TracedHUD", registerRuvelProgressHUD())
                               .method("showUsingAnimation:", &tracedShow)
                               .method("hideUsingAnimation:", &tracedHide)
                               .method("done", &tracedDone)
                               .method("setAlpha:", &tracedSetAlpha)
                               .method("removeFromSuperview", &tracedRemove)
                               .registerClass();
  return cls;
}

Class recordingDelegateClass() {
  static const Class cls = qv::ClassBuilder("HUDRecordingDelegate", qv::NSObjectClass())
                               .method("hudWasHidden:", &hudWasHidden)
                               .registerClass();
  return cls;
}

qv::Ref<> makeView(CGRect frame, Class cls) {
  return qv::adopt(send<id>(send<id>(cls, "alloc"_sel), "initWithFrame:"_sel, frame));
}

qv::Ref<> makeHUD(id view, Class cls) {
  return qv::adopt(send<id>(send<id>(cls, "alloc"_sel), "initWithView:"_sel, view));
}

qv::Ref<> addTracedHUD(id view) {
  qv::Ref<> hud = makeHUD(view, tracedHUDClass());
  send(view, "addSubview:"_sel, hud.get());
  trace().clear();
  return hud;
}

qv::Ref<> makeString(const char* text) {
  return qv::makeString(text);
}

std::vector<id> childrenOf(id view) {
  qv::AutoreleasePool pool;
  return qv::arrayElements(send<id>(view, "subviews"_sel));
}

CGRect frameOf(id view) {
  return send<CGRect>(view, "frame"_sel);
}

double elapsed() {
  return static_cast<double>(qv::Clock::now() - testStart) / 1e9;
}

void runFor(double seconds) {
  qv::MainRunLoop::runFor(seconds);
}

void drainRunLoop() {
  for (int round = 0; round < 1000 && qv::MainRunLoop::pendingCount() > 0; ++round) {
    qv::MainRunLoop::runUntil(qv::MainRunLoop::nextDeadline().value_or(qv::Clock::now()));
  }
}

void HUDTest::SetUp() {
  registerRuvelProgressHUD();
  tracedHUDClass();
  trace().clear();
  drainRunLoop();
  testStart = qv::Clock::now();
  parent = makeView(CGRectMake(0, 0, 320, 480));
}

void HUDTest::TearDown() {
  drainRunLoop();
  parent = nullptr;
  pool.drain();
}

}  // namespace quorvane::test

#include "tests/platform/Foundation/RunLoopRecorder.h"

#include <cstdio>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"

namespace qv::test {
namespace {

void note(id self, const std::string& what) {
  auto& state = stateOf<Recorder>(self);
  ++state.calls;
  state.trace +=
      what + "@" + secondsSinceStart() + (MainRunLoop::isMainThread() ? "" : "(background)") + ";";
}

void tick(id self, SEL, id timer) {
  note(self, "tick");
  auto& state = stateOf<Recorder>(self);
  if (state.invalidateOnCall != nil && state.invalidateOnCall == timer) {
    send(timer, "invalidate"_sel);
  }
}

void ping(id self, SEL) {
  note(self, "ping");
}
void take(id self, SEL, id argument) {
  note(self, "take " + describe(argument));
}

}  // namespace

Class recorderClass() {
  static const Class cls = ClassBuilder("RunLoopRecorder", NSObjectClass())
                               .state<Recorder>()
                               .method("tick:", &tick)
                               .method("ping", &ping)
                               .method("take:", &take)
                               .registerClass();
  return cls;
}

std::string secondsSinceStart() {
  char text[32];
  std::snprintf(text, sizeof text, "%g",
                static_cast<double>(Clock::now() - Clock::kVirtualStart) / 1e9);
  return text;
}

}  // namespace qv::test

// UIGestureRecognizer and UITapGestureRecognizer, minimal. The targets live where the platform
// keeps them, because code reads them by name: the ivar "_targets" holds an NSMutableArray of
// UIGestureRecognizerTarget objects, each with the ivars "_target" (not retained) and "_action".
// Taps reach tap recognizers as a whole gesture, failure requirements included (deliverTaps).
#include <algorithm>
#include <string>

#include "platform/Foundation/Classes.h"
#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui {
namespace {

struct RecognizerState {
  id view = nil;  // the view owns its recognizers
  NSInteger state = UIGestureRecognizerStatePossible;
  bool enabled = true;
  NSUInteger tapsRequired = 1;
  NSUInteger touchesRequired = 1;
  Ref<> mustFail;
};

Class targetClass() {
  static const Class cls = ClassBuilder("UIGestureRecognizerTarget", NSObjectClass())
                               .ivar<id>("_target")
                               .ivar<SEL>("_action")
                               .registerClass();
  return cls;
}

Ivar ivarNamed(Class cls, const char* name) {
  return class_getInstanceVariable(cls, name);
}

id targetOf(id entry) {
  return object_getIvar(entry, ivarNamed(targetClass(), "_target"));
}
// The "_action" ivar holds a SEL, which object_getIvar cannot carry.
SEL& actionOf(id entry) {
  static const std::ptrdiff_t offset = ivar_getOffset(ivarNamed(targetClass(), "_action"));
  return *reinterpret_cast<SEL*>(reinterpret_cast<char*>(entry) + offset);
}

Class recognizerClass();

id targetsArray(id recognizer) {
  return object_getIvar(recognizer, ivarNamed(recognizerClass(), "_targets"));
}

void addTarget(id self, SEL, id target, SEL action) {
  if (target == nil || action == nullptr) return;
  Ref<> entry = make(targetClass());
  object_setIvar(entry, ivarNamed(targetClass(), "_target"), target);
  actionOf(entry) = action;
  send(targetsArray(self), "addObject:"_sel, entry.get());
}

void removeTarget(id self, SEL, id target, SEL action) {
  id targets = targetsArray(self);
  for (id entry : arrayElements(targets)) {
    if ((target == nil || targetOf(entry) == target) &&
        (action == nullptr || sel_isEqual(actionOf(entry), action))) {
      send(targets, "removeObject:"_sel, entry);
      return removeTarget(self, nullptr, target, action);
    }
  }
}

id initWithTargetAction(id self, SEL, id target, SEL action) {
  self = sendSuper<id>(self, recognizerClass(), "init"_sel);
  if (self == nil) return nil;
  Ref<> targets = make(foundation::mutableArrayClass());
  object_setIvar(self, ivarNamed(recognizerClass(), "_targets"), targets.leak());
  addTarget(self, nullptr, target, action);
  return self;
}

id init(id self, SEL) {
  return send<id>(self, "initWithTarget:action:"_sel, nil, SEL{});
}

void dealloc(id self, SEL) {
  release(targetsArray(self));
  sendSuper(self, recognizerClass(), "dealloc"_sel);
}

RecognizerState& state(id self) {
  return stateOf<RecognizerState>(self);
}

id view(id self, SEL) {
  return state(self).view;
}
void setView(id self, SEL, id view) {
  state(self).view = view;
}
NSInteger getState(id self, SEL) {
  return state(self).state;
}
void setState(id self, SEL, NSInteger value) {
  state(self).state = value;
}
BOOL isEnabled(id self, SEL) {
  return state(self).enabled;
}
void setEnabled(id self, SEL, BOOL enabled) {
  state(self).enabled = enabled;
}
void requireToFail(id self, SEL, id other) {
  state(self).mustFail = Ref<>(other);
}
NSUInteger tapsRequired(id self, SEL) {
  return state(self).tapsRequired;
}
void setTapsRequired(id self, SEL, NSUInteger taps) {
  state(self).tapsRequired = taps;
}
NSUInteger touchesRequired(id self, SEL) {
  return state(self).touchesRequired;
}
void setTouchesRequired(id self, SEL, NSUInteger touches) {
  state(self).touchesRequired = touches;
}

Class recognizerClass() {
  static const Class cls = ClassBuilder("UIGestureRecognizer", NSObjectClass())
                               .ivar<id>("_targets")
                               .state<RecognizerState>()
                               .method("initWithTarget:action:", &initWithTargetAction)
                               .method("init", &init)
                               .method("dealloc", &dealloc)
                               .method("addTarget:action:", &addTarget)
                               .method("removeTarget:action:", &removeTarget)
                               .method("view", &view)
                               .method("qv_setView:", &setView)
                               .method("state", &getState)
                               .method("setState:", &setState)
                               .method("isEnabled", &isEnabled)
                               .method("setEnabled:", &setEnabled)
                               .method("requireGestureRecognizerToFail:", &requireToFail)
                               .registerClass();
  return cls;
}

Class tapClass() {
  static const Class cls = ClassBuilder("UITapGestureRecognizer", recognizerClass())
                               .method("numberOfTapsRequired", &tapsRequired)
                               .method("setNumberOfTapsRequired:", &setTapsRequired)
                               .method("numberOfTouchesRequired", &touchesRequired)
                               .method("setNumberOfTouchesRequired:", &setTouchesRequired)
                               .registerClass();
  return cls;
}

__attribute__((constructor(130))) void registerGestureRecognizers() {
  targetClass();
  tapClass();
}

}  // namespace

namespace {

// Whether the recognizer takes part in this tap gesture at all: an enabled tap recognizer
// among those the touches reach, needing no more taps than the gesture has.
bool takesPart(id recognizer, const std::vector<Ref<>>& reached, unsigned taps) {
  if (!isKindOf(recognizer, tapClass()) || !state(recognizer).enabled) return false;
  const NSUInteger needed = state(recognizer).tapsRequired;
  if (needed == 0 || needed > taps) return false;
  return std::any_of(reached.begin(), reached.end(),
                     [&](const Ref<>& r) { return r.get() == recognizer; });
}

// Whether the recognizer recognizes the gesture once its own taps are in: not when a recognizer
// it must wait for recognizes. A cycle of requirements ends in failure.
bool recognizes(id recognizer, const std::vector<Ref<>>& reached, unsigned taps,
                std::vector<id>& asking) {
  if (!takesPart(recognizer, reached, taps)) return false;
  if (std::find(asking.begin(), asking.end(), recognizer) != asking.end()) return false;
  id required = state(recognizer).mustFail;
  if (required == nil) return true;
  asking.push_back(recognizer);
  const bool blocked = recognizes(required, reached, taps, asking);
  asking.pop_back();
  return !blocked;
}

// "UITapGestureRecognizer (2 taps)", or the class alone for another kind.
std::string describeRecognizer(id recognizer) {
  std::string name = object_getClassName(recognizer);
  if (!isKindOf(recognizer, tapClass())) return name;
  const NSUInteger taps = state(recognizer).tapsRequired;
  return name + " (" + std::to_string(taps) + (taps == 1 ? " tap)" : " taps)");
}

}  // namespace

bool deliverTaps(const std::vector<Ref<>>& reached, unsigned taps) {
  // A recognizer without a requirement acts as soon as its taps are in; one that must wait for
  // another to fail acts once the gesture is over and that one has failed.
  bool recognized = false;
  std::vector<id> waiting;
  for (unsigned tap = 1; tap <= taps; ++tap) {
    for (const Ref<>& recognizer : reached) {
      if (!takesPart(recognizer, reached, taps) || tap % state(recognizer).tapsRequired != 0) {
        continue;
      }
      if (state(recognizer).mustFail) {
        waiting.push_back(recognizer);
      } else {
        recognize(recognizer);
        recognized = true;
      }
    }
  }
  for (id recognizer : waiting) {
    std::vector<id> asking;
    if (recognizes(recognizer, reached, taps, asking)) {
      recognize(recognizer);
      recognized = true;
    }
  }
  return recognized;
}

std::vector<SEL> actionsOf(id recognizer) {
  std::vector<SEL> actions;
  if (!isKindOf(recognizer, recognizerClass())) return actions;
  for (id entry : arrayElements(targetsArray(recognizer))) actions.push_back(actionOf(entry));
  return actions;
}

void recognize(id recognizer) {
  if (!isKindOf(recognizer, recognizerClass()) || !state(recognizer).enabled) return;
  Ref<> held(recognizer);
  state(recognizer).state = UIGestureRecognizerStateRecognized;
  // An action may change the targets: act on the list as it was.
  std::vector<std::pair<Ref<>, SEL>> actions;
  for (id entry : arrayElements(targetsArray(recognizer))) {
    actions.emplace_back(Ref<>(targetOf(entry)), actionOf(entry));
  }
  for (const auto& [target, action] : actions) {
    noteTouchTaken(describeView(state(recognizer).view) + "'s " + describeRecognizer(recognizer) +
                   " sent " + sel_getName(action) + " to " + object_getClassName(target.get()));
    invoke(objc_msg_lookup(target, action), target.get(), action, recognizer);
  }
  state(recognizer).state = UIGestureRecognizerStatePossible;
}

}  // namespace qv::ui

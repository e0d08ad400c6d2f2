// UIControl: a view that answers a person's touch with actions for its targets, by event. The
// stand-in knows one event, a tap ending inside the control (UIControlEventTouchUpInside), sent
// as the touch ends; a disabled control takes no touches at all (hit-testing passes over it).
// Targets are not retained; a nil target stands for the control's responder chain, which the
// stand-in reads as the control itself.
#include <string_view>
#include <vector>

#include "platform/UIKit/UIKitPrivate.h"

namespace qv::ui {
namespace {

struct TargetAction {
  id target;  // not retained
  SEL action;
  UIControlEvents events;
};

struct ControlState {
  std::vector<TargetAction> actions;
  bool enabled = true;
};

ControlState& state(id self) {
  return stateOf<ControlState>(self);
}

void addTarget(id self, SEL, id target, SEL action, UIControlEvents events) {
  if (action == nullptr || events == 0) return;
  state(self).actions.push_back({target, action, events});
}

void removeTarget(id self, SEL, id target, SEL action, UIControlEvents events) {
  std::erase_if(state(self).actions, [&](const TargetAction& entry) {
    return (target == nil || entry.target == target) &&
           (action == nullptr || sel_isEqual(entry.action, action)) && (entry.events & events) != 0;
  });
}

// As the platform does, the sender goes along only to an action that takes an argument.
void sendAction(id self, SEL, SEL action, id target, id) {
  id receiver = target != nil ? target : self;
  if (std::string_view(sel_getName(action)).ends_with(':')) {
    send(receiver, action, self);
  } else {
    send(receiver, action);
  }
}

void sendActionsForControlEvents(id self, SEL, UIControlEvents events) {
  Ref<> held(self);
  // An action may change the targets: act on the list as it was.
  const std::vector<TargetAction> actions = state(self).actions;
  for (const TargetAction& entry : actions) {
    if ((entry.events & events) == 0) continue;
    noteTouchTaken(describeView(self) + " sent " + sel_getName(entry.action) + " to " +
                   object_getClassName(entry.target != nil ? entry.target : self));
    send(self, "sendAction:to:forEvent:"_sel, entry.action, entry.target, id{nil});
  }
}

BOOL isEnabled(id self, SEL) {
  return state(self).enabled;
}
void setEnabled(id self, SEL, BOOL enabled) {
  state(self).enabled = enabled;
  send(self, "setNeedsDisplay"_sel);
}

// The stand-in passes no touch objects: a control acts on the whole tap as it ends.
void touchesEnded(id self, SEL, id, id) {
  if (!state(self).enabled) return;
  if (send<BOOL>(self, "canBecomeFirstResponder"_sel)) send<BOOL>(self, "becomeFirstResponder"_sel);
  send(self, "sendActionsForControlEvents:"_sel, UIControlEvents{UIControlEventTouchUpInside});
}

id initWithFrame(id self, SEL, CGRect frame) {
  self = sendSuper<id>(self, controlClass(), "initWithFrame:"_sel, frame);
  if (self == nil) return nil;
  viewState(self).opaque = false;
  return self;
}

__attribute__((constructor(125))) void registerControl() {
  controlClass();
}

}  // namespace

Class controlClass() {
  static const Class cls = ClassBuilder("UIControl", viewClass())
                               .state<ControlState>("_controlState")
                               .method("initWithFrame:", &initWithFrame)
                               .method("addTarget:action:forControlEvents:", &addTarget)
                               .method("removeTarget:action:forControlEvents:", &removeTarget)
                               .method("sendAction:to:forEvent:", &sendAction)
                               .method("sendActionsForControlEvents:", &sendActionsForControlEvents)
                               .method("isEnabled", &isEnabled)
                               .method("setEnabled:", &setEnabled)
                               .method("touchesEnded:withEvent:", &touchesEnded)
                               .registerClass();
  return cls;
}

bool isEnabledControl(id view) {
  return !isKindOf(view, controlClass()) || state(view).enabled;
}

}  // namespace qv::ui

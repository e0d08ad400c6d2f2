// What an app process does for the supervisor, besides running its main loop: the steps it
// performs and the state it reports. Runs on the app's main thread, between runs of the loop.
#pragma once

#include <functional>
#include <string>

#include "platform/UIKit/UIKit.h"
#include "sim/language/Value.h"

namespace qv::sim::app {

// Performs an action ("camera_mode", "start_preview", "stop_preview", "snapshot", "tap",
// "tap_indicator", "double_tap_indicator", "type", "press_alert"); answers why it could not, or
// an empty text. What the host or the library raises propagates: the app then crashes, as it
// would on the device.
std::string perform(const std::string& action, const Value& argument);

// Where a step tells the trace what it did besides succeeding or failing (what a tap landed
// on): the event's kind and text. Without one, nobody hears.
using StepEventSink = std::function<void(const std::string& kind, const std::string& text)>;
void setStepEventSink(StepEventSink sink);

// A person's tap (`taps` 1, 2 for a double tap) at a point of the app's window, as UIKit
// delivers it, traced as "STEP at (X, Y) landed on VIEW: what took it". Answers the outcome.
ui::TapOutcome tapAt(const std::string& step, CGPoint point, unsigned taps);
// The same at the centre of a view on screen.
ui::TapOutcome tapAtCentre(const std::string& step, id view, unsigned taps);

// A tap at the centre of `target`: answers the step's failure where there is no target or the
// tap landed on something in front of it ("STEP: the tap landed on CLASS, in front of WHAT"),
// or an empty text.
std::string tapOnto(const std::string& step, id target, unsigned taps, const std::string& what);

// Whether a tap at the view's centre would land on it (or inside it): shown, and nothing in
// front of it there.
bool reachable(id view);

// The first control under `root` (itself included) whose accessibility label is `label`, or nil.
id controlLabelled(id root, const std::string& label);

// The live observable state under each key (none for a key the app cannot answer). Looking
// ahead for the time a HUD has left forks the process; `channelFd` is closed in that copy.
ValueMap observe(const ValueList& keys, int channelFd);

}  // namespace qv::sim::app

// What an app process does for the supervisor, besides running its main loop: the steps it
// performs and the state it reports. Runs on the app's main thread, between runs of the loop.
#pragma once

#include <string>

#include "sim/Value.h"

namespace qv::sim::app {

// Performs an action ("camera_mode", "start_preview", "stop_preview", "snapshot",
// "tap_indicator", "double_tap_indicator", "type", "press_alert"); answers why
// it could not, or an empty text. What the host or the library raises propagates: the app then
// crashes, as it would on the device.
std::string perform(const std::string& action, const Value& argument);

// The live observable state under each key (none for a key the app cannot answer). Looking
// ahead for the time a HUD has left forks the process; `channelFd` is closed in that copy.
ValueMap observe(const ValueList& keys, int channelFd);

}  // namespace qv::sim::app

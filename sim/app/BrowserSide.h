// What an app process does for the supervisor's photo-browser steps, and the state it reports:
// pressing bar and sheet buttons, the platform's own publishing, failures to come,
// holding remakes; the bar, the
// sheet, the progress overlay, the album's clips and the remakes.
#pragma once

#include <optional>
#include <string>

#include "sim/language/Value.h"

namespace qv::sim::app {

// Performs a browser action ("press_bar", "press_sheet", "publish", "fail_next", "hold_remakes",
// "release_remakes"); nullopt for another action, else why it could not (empty when it could).
std::optional<std::string> performBrowser(const std::string& action, const Value& argument);

// The state under a key ("bar_buttons", "sheet", "overlay", "album_clips", "remakes"); nullopt
// for another key.
std::optional<Value> observeBrowser(const std::string& key);

}  // namespace qv::sim::app

// What an app process does for the supervisor's media steps, and the media state it reports:
// recording in Camera; opening, playing, editing and exporting a clip in Photos.
#pragma once

#include <optional>
#include <string>

#include "sim/language/Value.h"

namespace qv::sim::app {

// Performs a media action ("start_recording", "stop_recording", "open_clip", "play", "export",
// "edit_slow_motion"); nullopt for another action, else why it could not (empty when it could).
std::optional<std::string> performMedia(const std::string& action, const Value& argument);

// The media state under a key ("clip", "asset", "playback", "export", "assets"); nullopt for
// another key.
std::optional<Value> observeMedia(const std::string& key);

// The file's tracks as the clip observable shows them, or none when nothing is readable.
Value clipState(const std::string& devicePath);

}  // namespace qv::sim::app

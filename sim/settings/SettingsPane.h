// The settings file as the pane leaves it: written as a property list (XML or binary, through
// libplist), or raw bytes, or copied from a file written elsewhere as it is, or removed; one
// value set in it as Settings sets it; and read back for expectations.
#pragma once

#include <string>

#include "sim/language/Scenario.h"
#include "sim/supervisor/Sandbox.h"

namespace qv::sim {

inline constexpr const char* kSettingsPath =
    "/var/mobile/Library/Preferences/com.Tovi.Halvenor.plist";
inline constexpr const char* kSettingsNotification = "com.Tovi.Halvenor.prefs";

// Leaves the file as described; answers what was done, for the trace. Raises
// std::runtime_error when the file cannot be written.
std::string writeSettingsFile(const Sandbox& sandbox, const SettingsFile& file);

// Sets one key in the file as Settings does, keeping every other key as the file holds it: a
// binary property list, written beside the file and renamed into place; a file that is not a
// dictionary property list is replaced. Answers what was done, for the trace. Raises
// std::runtime_error when the file cannot be written.
std::string setSettingsValue(const Sandbox& sandbox, const std::string& key, const Value& value);

// The file's values as the platform reads them, from the platform's file-system root (the
// supervisor makes it the sandbox's); none without a file; "malformed" when it is not a
// dictionary property list.
Value readSettingsFile(const Sandbox& sandbox);

}  // namespace qv::sim

// The settings pane: it writes the settings file as a property list (XML or binary, through
// libplist), or raw bytes, or copies a file written elsewhere as it is, or removes it; and reads
// it back for expectations.
#pragma once

#include <string>

#include "sim/Sandbox.h"
#include "sim/Scenario.h"

namespace qv::sim {

inline constexpr const char* kSettingsPath =
    "/var/mobile/Library/Preferences/com.Tovi.Halvenor.plist";
inline constexpr const char* kSettingsNotification = "com.Tovi.Halvenor.prefs";

// Leaves the file as described; answers what was done, for the trace. Raises
// std::runtime_error when the file cannot be written.
std::string writeSettingsFile(const Sandbox& sandbox, const SettingsFile& file);

// The file's values as the platform reads them, from the platform's file-system root (the
// supervisor makes it the sandbox's); none without a file; "malformed" when it is not a
// dictionary property list.
Value readSettingsFile(const Sandbox& sandbox);

}  // namespace qv::sim

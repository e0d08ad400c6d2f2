// An app's own defaults as the supervisor leaves them for the app's next start: the property
// list that the app's NSUserDefaults reads once, under the platform's file-system root.
#pragma once

#include <string>

namespace qv::sim {

// Stores the bool under the key in the app's defaults file, keeping its other keys. Answers what
// was done, for the trace; sets `problem` when the file cannot be written.
std::string writeAppDefault(const std::string& app, const std::string& key, bool value,
                            std::string& problem);

}  // namespace qv::sim

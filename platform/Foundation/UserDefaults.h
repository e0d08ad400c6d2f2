// The app's user defaults, NSUserDefaults: +standardUserDefaults, -boolForKey:,
// -setBool:forKey:, kept in the app's own defaults file under the file-system root.
#pragma once

#include <string>

namespace qv {

// The defaults file of an app's domain, as a device path.
std::string userDefaultsPath(const std::string& domain);

// Registers NSUserDefaults for an app whose defaults live under `domain`. An app registers it at
// its start, so processes without an app (and tests that make classes of that name) do without.
void registerUserDefaults(const std::string& domain);

}  // namespace qv

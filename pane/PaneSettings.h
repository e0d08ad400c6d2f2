// What the settings pane's controller does, in C++: it reads and writes the settings file
// itself, since iOS 8's cfprefsd flushes Settings' own writes to disk late, after the library
// has reread the file.
#pragma once

#include <objc/objc.h>

namespace quorvane::pane {

// The specifiers of Qel.plist for the controller, loaded once and kept in *cache.
id specifiers(id controller, id* cache);

// The settings file's value for the specifier's key, or the specifier's default when the file,
// the key or a string or number value is missing.
id readValue(id specifier);

// Sets the specifier's key in the settings file, keeping every other key, written atomically,
// and then posts the change notification. A file that is no dictionary is replaced by one.
void writeValue(id value, id specifier);

}  // namespace quorvane::pane

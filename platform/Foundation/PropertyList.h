// Property lists, XML and binary, read and written through libplist.
//
// Booleans read as boolean NSNumbers, integers as signed long long NSNumbers (unsigned when the
// value is above LLONG_MAX), reals as doubles, strings as NSString, data as NSData, dates as
// NSDate, arrays and dictionaries as NSArray and NSDictionary. Reading never fails loudly:
// anything malformed, truncated, nested too deeply or of another type gives nil.
#pragma once

#include <objc/runtime.h>

#include <string>
#include <string_view>

#include "port/objc/Ref.h"

namespace qv::foundation {

// The root object of a property list held in memory (+1), or nil.
Ref<> propertyListFromBytes(std::string_view bytes);

// The root dictionary of the property-list file at a device path (+1), or nil when the file is
// missing, unreadable, not a regular file, malformed or has another root.
Ref<> dictionaryFromFile(const std::string& devicePath);

// Writes `root` as an XML property list to a device path; `atomically` writes a temporary file
// beside it and renames it into place. False, and no file changed, when some object has no
// property-list form; false when the file cannot be written.
bool writePropertyList(id root, const std::string& devicePath, bool atomically);

}  // namespace qv::foundation

// Foundation: the value classes (NSString, NSNumber, NSArray, NSMutableArray, NSDictionary,
// NSData, NSDate) with the platform's selectors, and the C++ side of them.
//
// Messages are the interface: code of the tweak and the hosts talks to these classes with the
// Apple selectors through `send`. The functions below are conveniences for C++ code of the
// platform, the hosts and the tests.
#pragma once

#include <cstdarg>
#include <string>

#include "platform/objc/Object.h"
#include "port/Foundation/Foundation.h"

namespace qv {

// printf-style formatting with the platform's extensions, as stringWithFormat: and CFLog
// format: %@ prints an object's description; flags, width, precision and the length modifiers
// hh h l ll q z t j L apply to the C conversions d i u o x X c s p f F e E g G a A and %%.
std::string formatString(const char* format, va_list arguments);
std::string formatString(const char* format, ...);

// An NSError (+1 reference) whose localizedDescription is `description`.
Ref<> makeError(const std::string& domain, NSInteger code, const std::string& description);

}  // namespace qv

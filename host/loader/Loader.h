// The injection loader: maps the tweak library that the app's system calls for, from its install
// path under the file-system root, as the device's loader does when an app starts. The library's
// static constructor runs inside the call.
#pragma once

#include <string>

#include "host/devices/Catalog.h"

namespace qv::host {

// Which library to map: the one the system calls for, or one forced by the user.
enum class LibraryChoice { BySystem, iOS7, iOS8 };

// Where each library is installed on the device.
inline constexpr const char* kIOS7LibraryPath =
    "/Library/Application Support/Quorvane/QuorvaneiOS7.dylib";
inline constexpr const char* kIOS8LibraryPath =
    "/Library/Application Support/Quorvane/QuorvaneiOS8.dylib";

struct MappedLibrary {
  std::string name;        // "QuorvaneiOS8"; empty when nothing was mapped
  std::string devicePath;  // its install path
  std::string problem;     // why nothing was mapped, when nothing was
};

// The library for a system generation: iOS 7 systems take QuorvaneiOS7 when it is installed,
// every other system (and iOS 7 until then) QuorvaneiOS8. A forced choice is taken as it is.
std::string libraryPathFor(HostGeneration generation, LibraryChoice choice);

// Maps the chosen library for the life of the process. A library that is missing or cannot be
// mapped is reported in `problem`; the app then runs without the tweak, as on a device.
MappedLibrary mapTweakLibrary(HostGeneration generation, LibraryChoice choice);

}  // namespace qv::host

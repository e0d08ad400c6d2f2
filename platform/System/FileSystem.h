// The file-system root. Code keeps the device's paths ("/var/mobile/Library/..."); the platform
// opens every absolute path under a root directory, so the simulator and the tests each run in a
// sandbox of their own.
#pragma once

#include <string>

namespace qv {

// The root: the one set with setFileSystemRoot (platform/Seams.h), else the environment
// variable QUORVANE_ROOT, else "/".
std::string fileSystemRoot();

// Where a device path lives on this machine. An absolute path is taken as seen from the device,
// so "." and ".." are resolved first and ".." never climbs above the root; relative paths are
// returned unchanged.
std::string resolvePath(const std::string& devicePath);

// The device's path of a path on this machine under the root, for messages a user reads; any
// other path comes back unchanged.
std::string devicePathOf(const std::string& path);

}  // namespace qv

// An app process's start, as the device performs it: the device's state, the host classes of
// its system's generation (less the ones a scenario removes), the injection loader, then the
// app's own start.
#pragma once

#include <string>
#include <vector>

#include "host/Removals.h"
#include "host/devices/Catalog.h"
#include "host/loader/Loader.h"

namespace qv::host {

// The process names of the simulated apps, as "killall" matches them.
inline constexpr const char* kCameraApp = "Camera";
inline constexpr const char* kPhotosApp = "MobileSlideShow";

bool isKnownApp(const std::string& name);

// Whether some system generation's hosts have a class of this name (the classes the tweak looks
// up, and the hosts' own classes around them), simulated yet or not.
bool isKnownHostClass(const std::string& name);

struct AppLaunch {
  std::string name;  // kCameraApp or kPhotosApp
  Device device;
  std::vector<Removal> removals;
  LibraryChoice library = LibraryChoice::BySystem;
};

struct AppStart {
  MappedLibrary library;
  std::vector<std::string> notes;  // removals that found nothing to remove
};

// Runs in the app's process on its main thread, before the main run loop. Raises what the host
// or the library's constructor raises.
AppStart startApp(const AppLaunch& launch);

// The part of the start before the loader: the device's state, the app's defaults and its host
// classes, less the removals. What a library's constructor finds when it runs.
void setUpAppProcess(const AppLaunch& launch);

}  // namespace qv::host

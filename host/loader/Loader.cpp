#include "host/loader/Loader.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform/System/FileSystem.h"

namespace qv::host {
namespace {

bool isInstalled(const char* devicePath) {
  std::error_code error;
  return std::filesystem::is_regular_file(resolvePath(devicePath), error);
}

std::string libraryName(const std::string& devicePath) {
  return std::filesystem::path(devicePath).stem().string();
}

}  // namespace

std::string libraryPathFor(HostGeneration generation, LibraryChoice choice) {
  switch (choice) {
    case LibraryChoice::iOS7:
      return kIOS7LibraryPath;
    case LibraryChoice::iOS8:
      return kIOS8LibraryPath;
    case LibraryChoice::BySystem:
      break;
  }
  if (generation == HostGeneration::iOS7 && isInstalled(kIOS7LibraryPath)) return kIOS7LibraryPath;
  return kIOS8LibraryPath;
}

MappedLibrary mapTweakLibrary(HostGeneration generation, LibraryChoice choice) {
  MappedLibrary mapped;
  mapped.devicePath = libraryPathFor(generation, choice);
  if (!isInstalled(mapped.devicePath.c_str())) {
    mapped.problem = mapped.devicePath + " is not installed";
    return mapped;
  }
  // Never closed: the tweak's hooks and constructors belong to the process from now on.
  if (dlopen(resolvePath(mapped.devicePath).c_str(), RTLD_NOW | RTLD_LOCAL) == nullptr) {
    const char* reason = dlerror();
    mapped.problem = reason != nullptr ? reason : "dlopen failed";
    return mapped;
  }
  mapped.name = libraryName(mapped.devicePath);
  return mapped;
}

}  // namespace qv::host

// Maps one library once into this process, with a real settings file, and exits: a subject for
// callgrind, which counts what the loader and the library's constructor execute.
//   valgrind --tool=callgrind --collect-atstart=no --toggle-collect=mapLibrary MapLibrary LIB
// (--toggle-collect='QuorvaneLoaded*' counts the constructor alone). With --in-camera the process
// first makes itself an iPhone 6's Camera, as an app does before the loader maps the tweak.
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <string_view>

#include "bench/CameraProcess.h"
#include "bench/SettingsRoot.h"

extern "C" __attribute__((noinline)) void* mapLibrary(const char* path) {
  return dlopen(path, RTLD_NOW | RTLD_GLOBAL);
}

int main(int argc, char** argv) {
  const bool inCamera = argc == 3 && std::string_view(argv[2]) == "--in-camera";
  if (argc != 2 && !inCamera) {
    std::fprintf(stderr, "usage: %s LIBRARY [--in-camera]\n", argv[0]);
    return 2;
  }
  const qv::TemporaryRoot root = qv::bench::makeSettingsRoot();
  setenv("QUORVANE_ROOT", root.path().c_str(), 1);
  if (inCamera) qv::bench::becomeCamera();
  void* library = mapLibrary(argv[1]);
  if (library == nullptr) std::fprintf(stderr, "%s\n", dlerror());
  return library != nullptr ? 0 : 1;
}

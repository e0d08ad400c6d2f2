// Maps one library once into this process, with a real settings file, and exits: a subject for
// callgrind, which counts what the loader and the library's constructor execute.
//   valgrind --tool=callgrind --collect-atstart=no --toggle-collect=mapLibrary MapLibrary LIB
// (--toggle-collect='QuorvaneLoaded*' counts the constructor alone).
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>

#include "bench/SettingsRoot.h"

extern "C" __attribute__((noinline)) void* mapLibrary(const char* path) {
  return dlopen(path, RTLD_NOW | RTLD_GLOBAL);
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s LIBRARY\n", argv[0]);
    return 2;
  }
  const std::string root = qv::bench::makeSettingsRoot();
  setenv("QUORVANE_ROOT", root.c_str(), 1);
  void* library = mapLibrary(argv[1]);
  if (library == nullptr) std::fprintf(stderr, "%s\n", dlerror());
  std::filesystem::remove_all(root);
  return library != nullptr ? 0 : 1;
}

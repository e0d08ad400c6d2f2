// Makes the calling process an iPhone 6's Camera as far as an app gets before the loader maps
// the tweak, for the benchmarks that map the library where the loader does.
#pragma once

#include "host/App.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv::bench {

inline void becomeCamera() {
  static const host::Catalog catalog = host::Catalog::load(host::defaultCatalogFolder());
  AutoreleasePool pool;
  host::setUpAppProcess({host::kCameraApp, *catalog.device("iPhone 6"), {}});
}

}  // namespace qv::bench

// The static constructor that the loader runs when it maps the library into Camera or Photos.
// It is compiled once per library, with QUORVANE_LIBRARY naming the namespace of the table it
// starts.
#include "hud/RuvelProgressHUD.h"
#include "libraries/QuorvaneiOS7.h"
#include "libraries/QuorvaneiOS8.h"
#include "port/objc/Object.h"

__attribute__((constructor)) static void QuorvaneLoaded() {
  // Code finds the HUD by name whether or not EnableSlalom lets the hooks in. Where the runtime
  // allows, it is made when first asked for, which keeps the app's launch free of it; on the
  // device its methods are added now.
  qv::makeClassOnFirstLookup("RuvelProgressHUD", &quorvane::registerRuvelProgressHUD);
  quorvane::startTweak(quorvane::QUORVANE_LIBRARY::hookTable(),
                       quorvane::QUORVANE_LIBRARY::kLibrary);
}

// The iOS 8 library: its identity, its hook table in installation order, and the static
// constructor that the loader runs when it maps the library into Camera or Photos.
#include <array>

#include "core/Installation.h"
#include "hud/RuvelProgressHUD.h"

namespace quorvane {
namespace {

constexpr LibraryIdentity kLibrary{"QuorvaneiOS8", "Tweak", 432, true};

const HookTable& hookTable() {
  static const std::array<FunctionHook, 0> functions{};
  static const std::array<HookGroup, 0> groups{};
  static const HookTable table{functions, groups};
  return table;
}

}  // namespace
}  // namespace quorvane

__attribute__((constructor)) static void QuorvaneiOS8Loaded() {
  // Code finds the HUD by name whether or not EnableSlalom lets the hooks in.
  quorvane::registerRuvelProgressHUD();
  quorvane::startTweak(quorvane::hookTable(), quorvane::kLibrary);
}

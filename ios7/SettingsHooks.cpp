// The slow-motion configuration's setters and the user defaults' debug key.
#include <array>

#include "core/Settings.h"
#include "ios7/IOS7Hooks.h"
#include "port/Foundation/Foundation.h"

namespace quorvane {

namespace PLSlalomConfiguration {

void replaced_setRate_(id self, SEL _cmd, float) {
  original_setRate_(self, _cmd, settings.rate);
}

void replaced_setVolumeDuringSlalom_(id self, SEL _cmd, float) {
  original_setVolumeDuringSlalom_(self, _cmd, settings.volumeRamp);
}

void replaced_setVolumeDuringRampToSlalom_(id self, SEL _cmd, float) {
  original_setVolumeDuringRampToSlalom_(self, _cmd, settings.volumeRamp);
}

}  // namespace PLSlalomConfiguration

namespace NSUserDefaults {

BOOL replaced_boolForKey_(id self, SEL _cmd, id key) {
  if (qv::send<BOOL>(key, "isEqualToString:"_sel, "PLDebugCowbell"_ns)) return YES;
  return original_boolForKey_(self, _cmd, key);
}

}  // namespace NSUserDefaults

namespace ios7 {

std::span<const MethodHook> slalomConfigurationHooks() {
  namespace configuration = PLSlalomConfiguration;
  static const std::array<MethodHook, 3> rows{
      instanceHook(configuration::method_setRate_()),
      instanceHook(configuration::method_setVolumeDuringSlalom_()),
      instanceHook(configuration::method_setVolumeDuringRampToSlalom_()),
  };
  return rows;
}

std::span<const MethodHook> userDefaultsHooks() {
  static const std::array<MethodHook, 1> rows{
      instanceHook(NSUserDefaults::method_boolForKey_()),
  };
  return rows;
}

}  // namespace ios7
}  // namespace quorvane

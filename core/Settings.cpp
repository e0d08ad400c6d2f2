#include "core/Settings.h"

#include <algorithm>
#include <limits>

#include "port/Foundation/Saturate.h"
#include "port/System/System.h"

extern "C" {
// The exported constants, nil until the library starts; then the HUD in flight and the save's
// flag.
id ident, PREF_PATH, PreferencesChangedNotification, PLIST_PATH, TWEAK_NAME, SAVE_TEXT;
id qvHUD = nil;
BOOL buttonAction = NO;
}

namespace quorvane {

Settings settings;

void initializeConstants() {
  ident = "com.Tovi.Halvenor"_ns;
  PREF_PATH = "/var/mobile/Library/Preferences/com.Tovi.Halvenor.plist"_ns;
  PreferencesChangedNotification = "com.Tovi.Halvenor.prefs"_ns;
  PLIST_PATH = "/Library/PreferenceBundles/HalvenorSettings.bundle/Qel.plist"_ns;
  TWEAK_NAME = "Driftlane"_ns;
  SAVE_TEXT = "Save Slo-mo"_ns;
}

namespace {

// The file's value under `key` when it can take `conversion`. A value of another kind (an
// array, a dictionary, data or a date) counts as absent: converting it would raise and crash
// the app at every launch.
id convertibleValue(id preferences, id key, SEL conversion) {
  id value = qv::send<id>(preferences, "objectForKeyedSubscript:"_sel, key);
  return qv::responds(value, conversion) ? value : nil;
}

BOOL boolSetting(id preferences, id key, BOOL absent) {
  id value = convertibleValue(preferences, key, "boolValue"_sel);
  return value != nil ? qv::send<BOOL>(value, "boolValue"_sel) : absent;
}

}  // namespace

void loadPreferences() {
  id preferences =
      qv::send<id>(objc_getClass("NSDictionary"), "dictionaryWithContentsOfFile:"_sel, PREF_PATH);

  settings.EnableSlalom.set(boolSetting(preferences, "EnableSlalom"_ns, YES));

  id mogul = convertibleValue(preferences, "MogulFramerate"_ns, "doubleValue"_sel);
  settings.MogulFramerate.set(
      mogul != nil ? qv::saturate<std::uint64_t>(qv::send<double>(mogul, "doubleValue"_sel)) : 60);

  settings.ForceSlalom.set(boolSetting(preferences, "ForceSlalom"_ns, NO));
  settings.FakeFPS.set(boolSetting(preferences, "FakeFPS"_ns, NO));
  settings.hideIndicator.set(boolSetting(preferences, "hideIndicator"_ns, NO));
  settings.indicatorTap.set(boolSetting(preferences, "indicatorTap"_ns, YES));

  id mailMax = convertibleValue(preferences, "mailMax"_ns, "intValue"_sel);
  settings.mailMax.set(qv::send<int>(mailMax, "intValue"_sel));

  id rate = convertibleValue(preferences, "rate"_ns, "floatValue"_sel);
  settings.rate.set(rate != nil ? qv::send<float>(rate, "floatValue"_sel) : 0.25f);

  id volumeRamp = convertibleValue(preferences, "volumeRamp"_ns, "floatValue"_sel);
  settings.volumeRamp.set(volumeRamp != nil ? qv::send<float>(volumeRamp, "floatValue"_sel)
                                            : 0.15f);

  // An absent aFPS follows the frame rate just loaded.
  id fakeFrameRate = convertibleValue(preferences, "aFPS"_ns, "integerValue"_sel);
  const std::uint64_t mogulFramerate = settings.MogulFramerate;
  const auto followed = static_cast<NSInteger>(
      std::min<std::uint64_t>(mogulFramerate, std::numeric_limits<NSInteger>::max()));
  settings.aFPS.set(fakeFrameRate != nil ? qv::send<NSInteger>(fakeFrameRate, "integerValue"_sel)
                                         : followed);
}

void preferencesChanged(CFNotificationCenterRef, void*, CFStringRef, const void*, CFDictionaryRef) {
  qv::system("killall Camera MobileSlideShow");
  loadPreferences();
}

void observePreferenceChanges() {
  CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), nullptr,
                                  &preferencesChanged,
                                  reinterpret_cast<CFStringRef>(PreferencesChangedNotification),
                                  nullptr, CFNotificationSuspensionBehaviorCoalesce);
}

}  // namespace quorvane

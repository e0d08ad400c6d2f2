// The settings store: the user's choices, read from the settings pane's property list at load
// and again on every change notification, and the library's exported constants and globals.
#pragma once

#include <atomic>
#include <cstdint>

#include "core/Export.h"
#include "port/CoreFoundation/CoreFoundation.h"
#include "port/Foundation/Foundation.h"

extern "C" {
QV_EXPORT extern id ident;
QV_EXPORT extern id PREF_PATH;
QV_EXPORT extern id PreferencesChangedNotification;
QV_EXPORT extern id PLIST_PATH;
QV_EXPORT extern id TWEAK_NAME;
QV_EXPORT extern id SAVE_TEXT;

QV_EXPORT extern id qvHUD;
QV_EXPORT extern BOOL buttonAction;
}

namespace quorvane {

// One settings value. Hooks read it on whatever thread the host calls them while the main
// thread may reload it: relaxed atomics keep that free of data races at no cost.
template <typename T>
class Setting {
 public:
  constexpr explicit Setting(T initial) : value_(initial) {}
  operator T() const { return value_.load(std::memory_order_relaxed); }
  void set(T value) { value_.store(value, std::memory_order_relaxed); }

 private:
  std::atomic<T> value_;
};

struct Settings {
  Setting<BOOL> EnableSlalom{YES};
  Setting<std::uint64_t> MogulFramerate{60};
  Setting<BOOL> ForceSlalom{NO};
  Setting<BOOL> FakeFPS{NO};
  Setting<BOOL> hideIndicator{NO};
  Setting<BOOL> indicatorTap{YES};
  Setting<std::int32_t> mailMax{0};
  Setting<float> rate{0.25f};
  Setting<float> volumeRamp{0.15f};
  Setting<NSInteger> aFPS{60};
};

// Written only by loadPreferences.
extern Settings settings;

// The exported constant strings exist from load on.
void initializeConstants();

// Reads the settings file and assigns all ten values, each with its default when absent.
void loadPreferences();

// The Darwin notification callback: kills both apps, then reloads.
void preferencesChanged(CFNotificationCenterRef center, void* observer, CFStringRef name,
                        const void* object, CFDictionaryRef userInfo);

// Registers preferencesChanged for the settings pane's notification.
void observePreferenceChanges();

}  // namespace quorvane

#include "tests/capture/TweakedCamera.h"

#include <gtest/gtest.h>

#include "host/AppWindow.h"
#include "platform/Foundation/Foundation.h"
#include "platform/UIKit/UIKit.h"
#include "platform/dispatch/RunLoop.h"
#include "tests/host/CameraHost.h"

namespace qv::test {
namespace {

plist_t plistOf(const SettingValue& value) {
  struct Maker {
    plist_t operator()(bool flag) const { return plist_new_bool(flag ? 1 : 0); }
    plist_t operator()(long long number) const {
      return plist_new_uint(static_cast<std::uint64_t>(number));
    }
    plist_t operator()(double number) const { return plist_new_real(number); }
    plist_t operator()(const std::string& text) const { return plist_new_string(text.c_str()); }
  };
  return std::visit(Maker{}, value);
}

}  // namespace

TweakedCamera::TweakedCamera(const std::string& device, const SettingsEntries& settings,
                             const CameraOptions& options) {
  if (!settings.empty()) {
    Plist file(plist_new_dict());
    for (const auto& [key, value] : settings) {
      plist_dict_set_item(file.get(), key.c_str(), plistOf(value));
    }
    root_.writePlist(kSettingsPath, file.get(), PlistFormat::Binary);
  }
  if (options.screen) {
    startCameraScreenHost(device, options.system);
  } else {
    startCameraHost(device, options.system);
  }
  if (options.beforeLoad) options.beforeLoad();
  library_ = dlopen(QUORVANE_IOS8_LIBRARY, RTLD_NOW | RTLD_GLOBAL);
  EXPECT_NE(library_, nullptr) << dlerror();
  if (options.screen) openCameraScreen();
  MainRunLoop::runUntilIdle();
}

id TweakedCamera::bestFrameRateRange() const {
  return function<id()>("bestFrameRateRange")();
}
long long TweakedCamera::maximumFPS() const {
  return function<long long()>("maximumFPS")();
}
id TweakedCamera::cameraViewOf(id view) const {
  return function<id(id)>("cameraView")(view);
}
BOOL TweakedCamera::noHigh() const {
  return *static_cast<BOOL*>(dlsym(library_, "noHigh"));
}

id TweakedCamera::screen() const {
  return send<id>(send<id>(host::appWindow(), "rootViewController"_sel), "view"_sel);
}

id TweakedCamera::indicator() const {
  return send<id>(send<id>(screen(), "_bottomBar"_sel), "slalomIndicatorView"_sel);
}

id TweakedCamera::alert() const {
  const std::vector<id> alerts = ui::visibleAlerts();
  return alerts.empty() ? nil : alerts.back();
}

void TweakedCamera::setMode(long mode) const {
  send(screen(), "setCameraMode:"_sel, mode);
  MainRunLoop::runUntilIdle();
  ui::runPendingPasses();
}

void TweakedCamera::wait(double seconds) const {
  MainRunLoop::runFor(seconds);
}

}  // namespace qv::test

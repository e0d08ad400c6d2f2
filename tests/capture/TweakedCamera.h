// A camera app process for tests of the built QuorvaneiOS8.dylib: the shipped catalog's device,
// its settings file, the host classes (the camera screen's too, when asked for), then the
// library mapped as the loader maps it, then the app's window. Make one inside a forked body.
#pragma once

#include <dlfcn.h>
#include <objc/runtime.h>

#include <functional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "tests/support/Notices.h"
#include "tests/support/SandboxRoot.h"

namespace qv::test {

// A value of the settings file: a boolean, an integer, a real or text.
using SettingValue = std::variant<bool, long long, double, std::string>;
using SettingsEntries = std::vector<std::pair<std::string, SettingValue>>;

struct CameraOptions {
  bool screen = true;                // the camera screen and the app's window, or the controller
  std::string system;                // another system release of the catalog
  std::function<void()> beforeLoad;  // runs once the host classes exist

  CameraOptions controllerOnly() const {
    CameraOptions options = *this;
    options.screen = false;
    return options;
  }
  CameraOptions on(std::string release) const {
    CameraOptions options = *this;
    options.system = std::move(release);
    return options;
  }
  CameraOptions beforeLoading(std::function<void()> work) const {
    CameraOptions options = *this;
    options.beforeLoad = std::move(work);
    return options;
  }
};

class TweakedCamera {
 public:
  TweakedCamera(const std::string& device, const SettingsEntries& settings,
                const CameraOptions& options = {});

  template <typename Signature>
  Signature* function(const char* name) const {
    return reinterpret_cast<Signature*>(dlsym(library_, name));
  }
  id bestFrameRateRange() const;
  long long maximumFPS() const;
  id cameraViewOf(id view) const;
  BOOL noHigh() const;

  // The camera view, its slow-motion indicator (nil without one) and the front alert.
  id screen() const;
  id indicator() const;
  id alert() const;

  // The user's mode switch on the camera screen; the main loop then runs what it set off.
  void setMode(long mode) const;
  // Virtual time passes, the main loop running what falls due.
  void wait(double seconds) const;

 private:
  SandboxRoot root_;
  void* library_ = nullptr;
};

}  // namespace qv::test

#include "tests/host/CameraHost.h"

#include <gtest/gtest.h>

#include "host/AppWindow.h"
#include "host/DeviceSetup.h"
#include "host/ios7/CameraView.h"
#include "host/ios8/CameraApp.h"
#include "host/ios8/CameraScreen.h"
#include "host/ios8/CaptureController.h"
#include "platform/CoreMedia/CoreMedia.h"
#include "platform/objc/Message.h"

namespace qv::test {

const host::Catalog& shippedCatalog() {
  static const host::Catalog catalog = host::Catalog::load(host::defaultCatalogFolder());
  return catalog;
}

void startCameraHost(const std::string& deviceName, const std::string& system) {
  const host::Device* found = shippedCatalog().device(deviceName);
  ASSERT_NE(found, nullptr) << deviceName;
  host::Device device = *found;
  if (!system.empty()) device.system = *shippedCatalog().system(system);
  host::applyDevice(device);
  host::registerCaptureController(device.system.generation);
}

void startCameraScreenHost(const std::string& deviceName, const std::string& system) {
  startCameraHost(deviceName, system);
  host::applyScreen(shippedCatalog().device(deviceName)->idiom);
  host::registerSlalomIndicatorView();
  host::registerBottomBar();
  const bool iOS7 = (system.empty() ? shippedCatalog().device(deviceName)->system
                                    : *shippedCatalog().system(system))
                        .generation == host::HostGeneration::iOS7;
  if (iOS7) {
    host::registerCameraViewIOS7();
    host::registerCameraApp(host::kCameraAppIOS7);
    return;
  }
  host::registerCameraSpecs();
  host::registerCameraView();
  host::registerCameraApp(host::kCameraAppIOS8);
}

void openCameraScreen() {
  host::launchCameraApp();
}

id captureController() {
  return host::sharedCaptureController();
}

std::string activeFormatSize(id device) {
  id format = send<id>(device, "activeFormat"_sel);
  if (format == nil) return "none";
  const CMVideoDimensions size = CMVideoFormatDescriptionGetDimensions(
      send<CMFormatDescriptionRef>(format, "formatDescription"_sel));
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

}  // namespace qv::test

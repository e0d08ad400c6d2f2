// A camera app process for tests: the shipped catalog's device applied and the capture
// controller of its generation registered. Call inside a forked test body.
#pragma once

#include <objc/runtime.h>

#include <string>

#include "host/devices/Catalog.h"

namespace qv::test {

const host::Catalog& shippedCatalog();

// Applies the named device (on another system release when `system` is given) and registers
// its capture controller.
void startCameraHost(const std::string& deviceName, const std::string& system = "");

// The same, with the screen and idiom of the device and the camera screen's classes of its
// generation too: CAMCameraSpec and its pad subclass (not on iOS 7), the indicator, the bottom bar,
// the camera view and the app's controller.
void startCameraScreenHost(const std::string& deviceName, const std::string& system = "");

// Opens the app's window on the camera screen, as the app's start does once the library is in.
void openCameraScreen();

// The capture controller's shared instance (CAMCaptureController's, or PLCameraController's).
id captureController();

// The active format's width and height as "1280x720"; "none" without one.
std::string activeFormatSize(id device);

}  // namespace qv::test

// The window every simulated app opens at its start.
#pragma once

#include <objc/runtime.h>

#include "port/CoreGraphics/CGGeometry.h"

#include "host/devices/Catalog.h"

namespace qv::host {

// The main screen's size in points: phones 320 × 568, pads 768 × 1024.
CGSize screenSize(Idiom idiom);

// The main screen of the device, at its size, and UIDevice's interface idiom.
void applyScreen(Idiom idiom);

// A key window filling the screen with the controller's view at its root. The window lives as
// long as the app.
void openAppWindow(id rootViewController);

// The app's key window, or nil before it opened.
id appWindow();

}  // namespace qv::host

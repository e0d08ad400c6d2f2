// The window every simulated app opens at its start.
#pragma once

#include <objc/runtime.h>

#include "host/devices/Catalog.h"

namespace qv::host {

// The main screen of the device, phones 320 × 568 points, pads 768 × 1024, and UIDevice's
// interface idiom.
void applyScreen(Idiom idiom);

// A key window filling the screen with the controller's view at its root. The window lives as
// long as the app.
void openAppWindow(id rootViewController);

// The app's key window, or nil before it opened.
id appWindow();

}  // namespace qv::host

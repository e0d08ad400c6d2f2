// Makes the app process the simulated device, before the host registers its classes and the
// loader maps the tweak.
#pragma once

#include "host/devices/Catalog.h"

namespace qv::host {

// The device's system version numbers (kCFCoreFoundationVersionNumber,
// NSFoundationVersionNumber), its MobileGestalt answers and its back camera.
void applyDevice(const Device& device);

}  // namespace qv::host

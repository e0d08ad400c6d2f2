#include "host/DeviceSetup.h"

#include "platform/AVFoundation/AVCapture.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Foundation/FoundationRuntime.h"
#include "platform/MobileGestalt/MobileGestalt.h"
#include "platform/Seams.h"

namespace qv::host {

void applyDevice(const Device& device) {
  kCFCoreFoundationVersionNumber = device.system.coreFoundationVersion;
  NSFoundationVersionNumber = device.system.foundationVersion;
  setGestaltAnswers(device.gestalt);
  setBackCamera(device.backCamera);
}

}  // namespace qv::host

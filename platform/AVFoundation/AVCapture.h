// The C++ side of capture: how the host describes the simulated device's back camera.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv {

// Frames per second, both ends included.
struct FrameRateSpan {
  double minFrameRate;
  double maxFrameRate;
};

// One format as the camera lists it.
struct CaptureFormat {
  std::string mediaType;  // "vide" for video
  std::int32_t width;
  std::int32_t height;
  std::vector<FrameRateSpan> frameRates;  // in the camera's order
};

// Gives the process a back camera with these formats (in the camera's order), or takes it away
// (nullopt), as the device the host simulates has one or not. defaultDeviceWithMediaType: with
// AVMediaTypeVideo answers a new device object from now on; objects already handed out keep
// their state. The active format starts as the last video format, the largest.
void setBackCamera(const std::optional<std::vector<CaptureFormat>>& formats);

}  // namespace qv

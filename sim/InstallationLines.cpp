#include "sim/InstallationLines.h"

#include <algorithm>
#include <array>
#include <set>

namespace qv::sim {
namespace {

constexpr std::array<HookedClass, 16> kIOS8Classes{{
    {"CAMCameraView", 4},
    {"CAMApplicationViewController", 1},
    {"PFSlowMotionUtilities", 2},
    {"CAMCaptureController", 4},
    {"PFSlowMotionConfiguration", 2},
    {"PFVideoAVObjectBuilder", 1},
    {"PFVideoAdjustments", 3},
    {"PUVideoBannerView", 1},
    {"PLManagedAsset", 2},
    {"CAMCameraSpec", 2},
    {"CAMPadApplicationSpec", 0},
    {"CAMBottomBar", 1},
    {"CAMSlalomIndicatorView", 2},
    {"PLVideoView", 1},
    {"PLPhotoBrowserController", 2},
    {"PLPublishingAgent", 1},
}};

constexpr std::array<HookedClass, 13> kIOS7Classes{{
    {"PLCameraView", 3},
    {"PLApplicationCameraViewController", 1},
    {"PLCameraController", 3},
    {"PLSlalomConfiguration", 3},
    {"PLSlalomUtilities", 2},
    {"NSUserDefaults", 1},
    {"CAMSlalomIndicatorView", 2},
    {"PLVideoView", 1},
    {"PLPhotoBrowserController", 2},
    {"PLPublishingAgent", 1},
    {"CAMPadApplicationSpec", 0},
    {"CAMBottomBar", 1},
    {"CAMCameraSpec", 2},
}};

const std::array<LibraryLines, 2> kLibraries{{
    {"QuorvaneiOS8", "[QuorvaneiOS8: Tweak:432] ERROR: ", kIOS8Classes},
    {"QuorvaneiOS7", "[QuorvaneiOS7: Tweak:315] ERROR: ", kIOS7Classes},
}};

}  // namespace

const LibraryLines* libraryLines(const std::string& library) {
  for (const LibraryLines& lines : kLibraries) {
    if (library == lines.library) return &lines;
  }
  return nullptr;
}

std::vector<std::string> hookedClassNames() {
  std::set<std::string> names;
  for (const LibraryLines& lines : kLibraries) {
    for (const HookedClass& hooked : lines.classes) names.insert(hooked.name);
  }
  return {names.begin(), names.end()};
}

std::vector<std::string> installationLines(const LibraryLines& library,
                                           const std::vector<std::string>& missing) {
  std::vector<std::string> lines;
  for (const HookedClass& hooked : library.classes) {
    if (std::find(missing.begin(), missing.end(), hooked.name) == missing.end()) continue;
    lines.insert(lines.end(), hooked.replacedMethods,
                 std::string(library.prefix) + "logos: nil class " + hooked.name);
  }
  return lines;
}

}  // namespace qv::sim

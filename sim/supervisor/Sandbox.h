// The simulated device's file system: a folder that every app process takes as its root, with
// the libraries at their install paths and the album.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qv::sim {

// The camera roll, where the setup's clips go.
inline constexpr const char* kAlbumPath = "/var/mobile/Media/DCIM/100APPLE";

class Sandbox {
 public:
  // `folder` (made when missing), or a new temporary folder. Raises std::runtime_error when
  // neither can be made.
  explicit Sandbox(const std::optional<std::string>& folder);

  const std::string& root() const { return root_; }

  // Where a device path lives on this machine.
  std::filesystem::path hostPath(const std::string& devicePath) const;

  // Copies each built library found in `buildFolder` to its install path; answers the names of
  // those installed ("QuorvaneiOS8"). Raises std::runtime_error when a copy fails.
  std::vector<std::string> installLibraries(const std::string& buildFolder) const;

  // Copies the settings pane's specifier list that the build holds (Qel.plist, as the package
  // ships it) to where the package installs it; false when the build has none, and then the
  // device has none either.
  bool installSettingsPane(const std::string& buildFolder) const;

 private:
  std::string root_;
};

}  // namespace qv::sim

// The device catalog: the simulated devices and the system releases they run, read from YAML
// files so that a user adds a device by adding a file (see README.md beside this header).
//
// A catalog folder holds "systems.yaml", the published system releases with their version
// numbers, and one file per device. Every entry is checked in full: a malformed or incomplete
// one is refused with a CatalogError that names the file, the line, the entry and the field.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AVFoundation/AVCapture.h"

namespace qv::host {

enum class Idiom { Phone, Pad };

// Which generation of the host classes a system has. From iOS 9 on, the capture controller's
// methods live on CMKCaptureController, and CAMCaptureController is an empty subclass.
enum class HostGeneration { iOS7, iOS8, iOS9 };

struct SystemRelease {
  std::string version;  // "8.4"
  double coreFoundationVersion;
  double foundationVersion;
  HostGeneration generation;
};

struct Device {
  std::string name;
  Idiom idiom;
  SystemRelease system;
  std::map<std::string, bool> gestalt;  // MobileGestalt's answers
  // The back camera's formats in the camera's order; nullopt for a device without one.
  std::optional<std::vector<CaptureFormat>> backCamera;
};

class CatalogError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Catalog {
 public:
  // Reads "systems.yaml" and then every other "*.yaml" file of the folder, in name order.
  static Catalog load(const std::filesystem::path& folder);

  const std::vector<SystemRelease>& systems() const { return systems_; }
  const std::vector<Device>& devices() const { return devices_; }

  // nullptr when the catalog has no such entry.
  const Device* device(std::string_view name) const;
  const SystemRelease* system(std::string_view version) const;

 private:
  std::vector<SystemRelease> systems_;
  std::vector<Device> devices_;
};

// The catalog that comes with the project.
std::filesystem::path defaultCatalogFolder();

// One file's text, parsed. `file` is the name that error messages give.
std::vector<SystemRelease> parseSystems(const std::string& text, const std::string& file);
Device parseDevice(const std::string& text, const std::string& file,
                   const std::vector<SystemRelease>& systems);

}  // namespace qv::host

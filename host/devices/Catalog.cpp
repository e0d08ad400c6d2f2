#include "host/devices/Catalog.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "host/devices/EntryReader.h"

namespace qv::host {
namespace {

constexpr const char* kSystemsFile = "systems.yaml";

// Beyond these a value is a typing error rather than a device.
constexpr long long kLargestSide = 16384;
constexpr double kFastestFrameRate = 1000;
constexpr double kLargestVersionNumber = 100000;

std::string indexed(const std::string& field, std::size_t index) {
  return field + "[" + std::to_string(index) + "]";
}

YAML::Node parseYaml(const std::string& text, const std::string& file) {
  try {
    return YAML::Load(text);
  } catch (const YAML::Exception& error) {
    throw CatalogError(file + ":" + std::to_string(error.mark.line + 1) +
                       ": not valid YAML: " + error.msg);
  }
}

// The reader checks every node before it looks inside; should yaml-cpp still raise, the file is
// refused all the same rather than the exception escaping as something else.
template <typename Parse>
auto withYamlErrorsAsCatalogErrors(const std::string& file, Parse parse) {
  try {
    return parse();
  } catch (const YAML::Exception& error) {
    throw CatalogError(file + ": " + error.what());
  }
}

HostGeneration generationOf(const EntryReader& entry, const YAML::Node& node) {
  const std::string name = entry.text(node, "generation");
  if (name == "ios7") return HostGeneration::iOS7;
  if (name == "ios8") return HostGeneration::iOS8;
  if (name == "ios9") return HostGeneration::iOS9;
  entry.fail(node, "generation", "expected ios7, ios8 or ios9, found \"" + name + "\"");
}

SystemRelease readSystem(const YAML::Node& node, const std::string& file) {
  EntryReader entry(file, "system", node);
  entry.expectKeys(node, {"version", "core_foundation", "foundation", "generation"}, "");
  SystemRelease system;
  system.version = entry.text(entry.required(node, "version", "version"), "version");
  entry.setName(system.version);
  system.coreFoundationVersion =
      entry.number(entry.required(node, "core_foundation", "core_foundation"), "core_foundation", 1,
                   kLargestVersionNumber);
  system.foundationVersion = entry.number(entry.required(node, "foundation", "foundation"),
                                          "foundation", 1, kLargestVersionNumber);
  system.generation = generationOf(entry, entry.required(node, "generation", "generation"));
  return system;
}

Idiom idiomOf(const EntryReader& entry, const YAML::Node& node) {
  const std::string name = entry.text(node, "idiom");
  if (name == "phone") return Idiom::Phone;
  if (name == "pad") return Idiom::Pad;
  entry.fail(node, "idiom", "expected phone or pad, found \"" + name + "\"");
}

const SystemRelease& systemOf(const EntryReader& entry, const YAML::Node& node,
                              const std::vector<SystemRelease>& systems) {
  const std::string version = entry.text(node, "system");
  for (const SystemRelease& system : systems) {
    if (system.version == version) return system;
  }
  entry.fail(node, "system", "no system release \"" + version + "\" in " + kSystemsFile);
}

std::map<std::string, bool> gestaltOf(const EntryReader& entry, const YAML::Node& node) {
  if (!node.IsMap()) entry.fail(node, "gestalt", "expected a map of questions to true or false");
  std::map<std::string, bool> answers;
  for (const auto& answer : node) {
    const std::string question = entry.text(answer.first, "gestalt");
    answers[question] = entry.flag(answer.second, "gestalt." + question);
  }
  // The capability every camera asks about: a device must say, rather than default to NO.
  const char* capability = "RearFacingCameraHFRCapability";
  if (answers.count(capability) == 0) {
    entry.fail(node, std::string("gestalt.") + capability, "missing");
  }
  return answers;
}

FrameRateSpan frameRateSpanOf(const EntryReader& entry, const YAML::Node& node,
                              const std::string& field) {
  if (!node.IsSequence() || node.size() != 2) {
    entry.fail(node, field, "expected [lowest, highest] frames per second");
  }
  const double low = entry.number(node[0], field + ".lowest", 0.001, kFastestFrameRate);
  const double high = entry.number(node[1], field + ".highest", 0.001, kFastestFrameRate);
  if (low > high) entry.fail(node, field, "the lowest rate is above the highest");
  return {low, high};
}

CaptureFormat formatOf(const EntryReader& entry, const YAML::Node& node, const std::string& field) {
  entry.expectKeys(node, {"media_type", "width", "height", "frame_rates"}, field);
  CaptureFormat format;
  format.mediaType =
      entry.text(entry.required(node, "media_type", field + ".media_type"), field + ".media_type");
  format.width = static_cast<std::int32_t>(entry.whole(
      entry.required(node, "width", field + ".width"), field + ".width", 1, kLargestSide));
  format.height = static_cast<std::int32_t>(entry.whole(
      entry.required(node, "height", field + ".height"), field + ".height", 1, kLargestSide));
  const std::string ratesField = field + ".frame_rates";
  const YAML::Node rates = entry.required(node, "frame_rates", ratesField);
  entry.expectSequence(rates, ratesField);
  for (std::size_t i = 0; i < rates.size(); ++i) {
    format.frameRates.push_back(frameRateSpanOf(entry, rates[i], indexed(ratesField, i)));
  }
  return format;
}

// "none" for a device without a back camera; else its formats in the camera's order.
std::optional<std::vector<CaptureFormat>> backCameraOf(const EntryReader& entry,
                                                       const YAML::Node& node) {
  if (node.IsScalar() && node.Scalar() == "none") return std::nullopt;
  if (!node.IsSequence()) entry.fail(node, "back_camera", "expected a list of formats or none");
  std::vector<CaptureFormat> formats;
  for (std::size_t i = 0; i < node.size(); ++i) {
    formats.push_back(formatOf(entry, node[i], indexed("back_camera", i)));
  }
  return formats;
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw CatalogError(path.string() + ": cannot read the file");
  std::ostringstream text;
  text << stream.rdbuf();
  return text.str();
}

std::vector<std::filesystem::path> deviceFiles(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
    const auto& path = item.path();
    if (item.is_regular_file() && path.extension() == ".yaml" && path.filename() != kSystemsFile) {
      files.push_back(path);
    }
  }
  if (error) throw CatalogError(folder.string() + ": cannot list the folder: " + error.message());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

std::vector<SystemRelease> parseSystems(const std::string& text, const std::string& file) {
  return withYamlErrorsAsCatalogErrors(file, [&] {
    const YAML::Node root = parseYaml(text, file);
    const YAML::Node list = root.IsMap() ? root["systems"] : YAML::Node();
    if (!list.IsDefined() || !list.IsSequence()) {
      throw CatalogError(file + ": expected a list of system releases under \"systems\"");
    }
    std::vector<SystemRelease> systems;
    for (const YAML::Node& node : list) {
      SystemRelease system = readSystem(node, file);
      for (const SystemRelease& earlier : systems) {
        if (earlier.version != system.version) continue;
        EntryReader entry(file, "system", node);
        entry.setName(system.version);
        entry.fail(node, "version", "listed twice");
      }
      systems.push_back(std::move(system));
    }
    return systems;
  });
}

Device parseDevice(const std::string& text, const std::string& file,
                   const std::vector<SystemRelease>& systems) {
  return withYamlErrorsAsCatalogErrors(file, [&] {
    const YAML::Node root = parseYaml(text, file);
    if (!root.IsMap()) throw CatalogError(file + ": expected a device: a map of its fields");
    EntryReader entry(file, "device", root);
    entry.expectKeys(root, {"name", "idiom", "system", "gestalt", "back_camera"}, "");
    Device device;
    device.name = entry.text(entry.required(root, "name", "name"), "name");
    entry.setName(device.name);
    device.idiom = idiomOf(entry, entry.required(root, "idiom", "idiom"));
    device.system = systemOf(entry, entry.required(root, "system", "system"), systems);
    device.gestalt = gestaltOf(entry, entry.required(root, "gestalt", "gestalt"));
    device.backCamera = backCameraOf(entry, entry.required(root, "back_camera", "back_camera"));
    return device;
  });
}

Catalog Catalog::load(const std::filesystem::path& folder) {
  Catalog catalog;
  const std::filesystem::path systemsFile = folder / kSystemsFile;
  catalog.systems_ = parseSystems(readFile(systemsFile), systemsFile.string());
  std::map<std::string, std::string> fileOfDevice;
  for (const auto& path : deviceFiles(folder)) {
    Device device = parseDevice(readFile(path), path.string(), catalog.systems_);
    const auto [earlier, isNew] = fileOfDevice.emplace(device.name, path.string());
    if (!isNew) {
      throw CatalogError(path.string() + ": device \"" + device.name + "\": already defined in " +
                         earlier->second);
    }
    catalog.devices_.push_back(std::move(device));
  }
  return catalog;
}

const Device* Catalog::device(std::string_view name) const {
  for (const Device& device : devices_) {
    if (device.name == name) return &device;
  }
  return nullptr;
}

const SystemRelease* Catalog::system(std::string_view version) const {
  for (const SystemRelease& system : systems_) {
    if (system.version == version) return &system;
  }
  return nullptr;
}

std::filesystem::path defaultCatalogFolder() {
  return QUORVANE_DEVICE_CATALOG;
}

}  // namespace qv::host

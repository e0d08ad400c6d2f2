#include "sim/supervisor/Sandbox.h"

#include <stdexcept>

#include "host/loader/Loader.h"
#include "platform/System/TemporaryRoot.h"
#include "sim/settings/SpecifierList.h"

namespace qv::sim {

namespace fs = std::filesystem;

Sandbox::Sandbox(const std::optional<std::string>& folder) {
  if (folder) {
    std::error_code error;
    fs::create_directories(*folder, error);
    if (!fs::is_directory(*folder)) {
      throw std::runtime_error("cannot make the root folder " + *folder);
    }
    root_ = fs::absolute(*folder).lexically_normal().string();
    while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
    return;
  }
  // Kept after the run, as a root the user names is: the trace gives its path, and the snapshots
  // go there unless told otherwise.
  root_ = TemporaryRoot("quorvane-sim-").keep();
}

fs::path Sandbox::hostPath(const std::string& devicePath) const {
  return fs::path(root_ + devicePath);
}

std::vector<std::string> Sandbox::installLibraries(const std::string& buildFolder) const {
  std::vector<std::string> installed;
  for (const char* devicePath : {host::kIOS8LibraryPath, host::kIOS7LibraryPath}) {
    const fs::path built = fs::path(buildFolder) / fs::path(devicePath).filename();
    const fs::path target = hostPath(devicePath);
    std::error_code error;
    if (!fs::is_regular_file(built)) {
      fs::remove(target, error);  // a library left from an earlier run would not be the build's
      continue;
    }
    fs::create_directories(target.parent_path(), error);
    fs::copy_file(built, target, fs::copy_options::overwrite_existing, error);
    if (error)
      throw std::runtime_error("cannot install " + built.string() + ": " + error.message());
    installed.push_back(built.stem().string());
  }
  return installed;
}

bool Sandbox::installSettingsPane(const std::string& buildFolder) const {
  const fs::path built = fs::path(buildFolder) / fs::path(kPaneSpecifiersPath).filename();
  const fs::path target = hostPath(kPaneSpecifiersPath);
  std::error_code error;
  if (!fs::is_regular_file(built)) {
    fs::remove(target, error);
    return false;
  }
  fs::create_directories(target.parent_path(), error);
  fs::copy_file(built, target, fs::copy_options::overwrite_existing, error);
  if (error) throw std::runtime_error("cannot install " + built.string() + ": " + error.message());
  return true;
}

}  // namespace qv::sim

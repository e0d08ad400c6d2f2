#include "platform/System/FileSystem.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "platform/System/ForkSafety.h"

namespace qv {
namespace {

struct RootSetting {
  std::mutex mutex;
  std::string path;  // empty: the environment decides
};

RootSetting& rootSetting() {
  static RootSetting* setting = [] {
    auto* created = new RootSetting;
    guardAcrossFork(created->mutex);
    return created;
  }();
  return *setting;
}

std::string environmentRoot() {
  const char* root = std::getenv("QUORVANE_ROOT");
  return root != nullptr && *root != '\0' ? root : "/";
}

}  // namespace

std::string fileSystemRoot() {
  RootSetting& setting = rootSetting();
  std::lock_guard lock(setting.mutex);
  return setting.path.empty() ? environmentRoot() : setting.path;
}

void setFileSystemRoot(const std::string& path) {
  RootSetting& setting = rootSetting();
  std::lock_guard lock(setting.mutex);
  setting.path = path;
}

std::string resolvePath(const std::string& devicePath) {
  if (devicePath.empty() || devicePath.front() != '/') return devicePath;
  const std::string root = fileSystemRoot();
  if (root == "/") return devicePath;
  // An absolute path normalises with its leading ".." removed, as "/.." is "/" on the device.
  const std::filesystem::path onDevice = std::filesystem::path(devicePath).lexically_normal();
  return (std::filesystem::path(root) / onDevice.relative_path()).string();
}

}  // namespace qv

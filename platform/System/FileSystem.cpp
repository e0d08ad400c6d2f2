#include "platform/System/FileSystem.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "platform/Seams.h"
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

// `root` followed by the device path's names, "." dropped and each ".." taking the name before
// it, if any: "/.." is "/" on the device. A path that ends in a directory ("/a/", "/a/.",
// "/a/b/..") keeps its final separator. Lexical, as std::filesystem's lexically_normal, whose
// first use costs a starting process more than the settings load it serves.
std::string underRoot(std::string_view root, std::string_view devicePath) {
  std::string resolved(root.substr(0, root.find_last_not_of('/') + 1));
  const std::size_t rootLength = resolved.size();
  for (std::size_t at = 0; at < devicePath.size();) {
    const std::size_t end = std::min(devicePath.find('/', at), devicePath.size());
    const std::string_view name = devicePath.substr(at, end - at);
    if (name == "..") {
      if (resolved.size() > rootLength) resolved.resize(resolved.rfind('/'));
    } else if (!name.empty() && name != ".") {
      resolved.append("/").append(name);
    }
    at = end + 1;
  }
  const bool directory = devicePath.ends_with('/') || devicePath.ends_with("/.") ||
                         devicePath.ends_with("/..") || resolved.size() == rootLength;
  if (directory) resolved += '/';
  return resolved;
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
  return underRoot(root, devicePath);
}

std::string devicePathOf(const std::string& path) {
  const std::string root = fileSystemRoot();
  const std::string_view folder(root.data(), root.find_last_not_of('/') + 1);
  if (folder.empty() || !path.starts_with(folder)) return path;
  if (path.size() == folder.size()) return "/";
  return path[folder.size()] == '/' ? path.substr(folder.size()) : path;
}

}  // namespace qv

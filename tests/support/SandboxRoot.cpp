#include "tests/support/SandboxRoot.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/Seams.h"
#include "platform/System/FileSystem.h"

namespace qv::test {

SandboxRoot::SandboxRoot() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quorvane-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a sandbox root");
  path_ = pattern;
  setFileSystemRoot(path_);
}

SandboxRoot::~SandboxRoot() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void SandboxRoot::writeFile(const std::string& devicePath, const std::string& bytes) const {
  const std::filesystem::path file = hostPath(devicePath);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << bytes;
}

void SandboxRoot::writePlist(const std::string& devicePath, plist_t root,
                             PlistFormat format) const {
  char* bytes = nullptr;
  uint32_t length = 0;
  if (format == PlistFormat::Xml) {
    plist_to_xml(root, &bytes, &length);
  } else {
    plist_to_bin(root, &bytes, &length);
  }
  writeFile(devicePath, std::string(bytes, length));
  std::free(bytes);
}

void SandboxRoot::remove(const std::string& devicePath) const {
  std::filesystem::remove(hostPath(devicePath));
}

}  // namespace qv::test

#include "tests/support/SandboxRoot.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/Seams.h"
#include "platform/System/FileSystem.h"

namespace qv::test {

SandboxRoot::SandboxRoot() : root_("quorvane-test-"), path_(root_.path()) {
  setFileSystemRoot(path_);
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

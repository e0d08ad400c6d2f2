// A file-system root of a fuzz run's own, with one device file in it that each input replaces;
// removed when the run ends.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/Seams.h"
#include "platform/System/FileSystem.h"
#include "platform/System/TemporaryRoot.h"

namespace qv::fuzz {

class FileRoot {
 public:
  explicit FileRoot(const std::string& devicePath)
      : folder_(TemporaryRoot::orAbort("quorvane-fuzz-")) {
    setFileSystemRoot(folder_.path());
    file_ = resolvePath(devicePath);
    std::filesystem::create_directories(std::filesystem::path(file_).parent_path());
  }

  void write(std::string_view bytes) const {
    std::ofstream(file_, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

 private:
  TemporaryRoot folder_;
  std::string file_;
};

}  // namespace qv::fuzz

// A file-system root of a fuzz run's own, with one device file in it that each input replaces;
// removed when the run ends.
#pragma once

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/Seams.h"
#include "platform/System/FileSystem.h"

namespace qv::fuzz {

class FileRoot {
 public:
  explicit FileRoot(const std::string& devicePath) {
    std::string folder = (std::filesystem::temp_directory_path() / "quorvane-fuzz-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
      std::perror("quorvane fuzz root");
      std::abort();
    }
    folder_ = folder;
    setFileSystemRoot(folder_);
    file_ = resolvePath(devicePath);
    std::filesystem::create_directories(std::filesystem::path(file_).parent_path());
  }
  ~FileRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
  FileRoot(const FileRoot&) = delete;
  FileRoot& operator=(const FileRoot&) = delete;

  void write(std::string_view bytes) const {
    std::ofstream(file_, std::ios::binary | std::ios::trunc)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

 private:
  std::string folder_;
  std::string file_;
};

}  // namespace qv::fuzz

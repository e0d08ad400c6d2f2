// A temporary folder that its owner removes: the file-system root of a simulated device, a test,
// a benchmark or a fuzz run. Making one either works or fails loudly; nothing falls back to the
// machine's own root. Not for the tweak: it is the simulator's and the tests' seam.
#pragma once

#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace qv {

// Removes the folder `path` and all it holds. A symbolic link inside goes as a link: remove_all
// never follows one, so nothing outside the folder is touched. Answers whether everything went (a
// missing folder counts).
inline bool removeFolderTree(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  return !error;
}

class TemporaryRoot {
 public:
  // A new folder in `parent`, named `prefix` and six random characters. Raises std::system_error,
  // with the reason the system gave, when it cannot be made.
  explicit TemporaryRoot(std::string_view prefix, const std::filesystem::path& parent =
                                                      std::filesystem::temp_directory_path())
      : path_((parent / (std::string(prefix) + "XXXXXX")).string()) {
    if (mkdtemp(path_.data()) == nullptr) {
      throw std::system_error(errno, std::generic_category(),
                              "cannot make a temporary folder " + path_);
    }
  }

  // For a fuzz target or a benchmark, which cannot go on without one: the reason goes to standard
  // error, then the process aborts.
  static TemporaryRoot orAbort(std::string_view prefix) {
    try {
      return TemporaryRoot(prefix);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "quorvane: %s\n", e.what());
      std::abort();
    }
  }

  ~TemporaryRoot() {
    if (!path_.empty()) removeFolderTree(path_);
  }
  TemporaryRoot(TemporaryRoot&& other) noexcept : path_(std::exchange(other.path_, {})) {}
  TemporaryRoot& operator=(TemporaryRoot&& other) noexcept {
    if (this != &other) {
      if (!path_.empty()) removeFolderTree(path_);
      path_ = std::exchange(other.path_, {});
    }
    return *this;
  }
  TemporaryRoot(const TemporaryRoot&) = delete;
  TemporaryRoot& operator=(const TemporaryRoot&) = delete;

  const std::string& path() const { return path_; }

  // Hands the folder over: it outlives this object, for a run whose files its user reads after
  // the run. Answers its path.
  std::string keep() { return std::exchange(path_, {}); }

 private:
  std::string path_;
};

}  // namespace qv

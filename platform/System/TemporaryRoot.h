// A temporary folder that its owner removes: the file-system root of a simulated device, a test,
// a benchmark or a fuzz run. Making one either works or fails loudly; nothing falls back to the
// machine's own root. Not for the tweak: it is the simulator's and the tests' seam.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

namespace qv {

namespace temporary_root_detail {

bool removeEntry(int parent, const std::string& name);

// Removes what the open folder `folder` holds, and closes it. The names are read first: a
// listing that changes while it is read may skip entries.
inline bool removeContents(int folder) {
  DIR* listing = fdopendir(folder);
  if (listing == nullptr) {
    close(folder);
    return false;
  }
  std::vector<std::string> names;
  while (const dirent* entry = readdir(listing)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  bool removed = true;
  for (const std::string& name : names) removed = removeEntry(dirfd(listing), name) && removed;
  closedir(listing);
  return removed;
}

// A file or a symbolic link goes with unlink, which never follows the link; only what is still a
// real folder when it is opened (O_NOFOLLOW) is emptied and removed.
inline bool removeEntry(int parent, const std::string& name) {
  if (unlinkat(parent, name.c_str(), 0) == 0) return true;
  if (errno == ENOENT) return true;
  if (errno != EISDIR && errno != EPERM) return false;
  const int child = openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (child < 0) return false;
  const bool emptied = removeContents(child);
  return unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0 && emptied;
}

}  // namespace temporary_root_detail

// Removes the folder `path` and all it holds, never following a symbolic link out of it: a link
// is removed, not what it names. Answers whether everything went (a missing folder counts).
inline bool removeFolderTree(const std::string& path) {
  const int folder = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (folder < 0) return errno == ENOENT;
  const bool emptied = temporary_root_detail::removeContents(folder);
  return rmdir(path.c_str()) == 0 && emptied;
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

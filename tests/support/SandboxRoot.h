// A temporary file-system root for a test, with the settings file written as the settings
// pane writes it.
#pragma once

#include <plist/plist.h>

#include <memory>
#include <ostream>
#include <string>

#include "platform/System/TemporaryRoot.h"

namespace qv::test {

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistFree>;

enum class PlistFormat { Xml, Binary };

inline void PrintTo(PlistFormat format, std::ostream* out) {
  *out << (format == PlistFormat::Xml ? "XML" : "binary");
}

class SandboxRoot {
 public:
  SandboxRoot();  // a new folder, made the platform's file-system root

  const std::string& path() const { return path_; }
  std::string hostPath(const std::string& devicePath) const { return path_ + devicePath; }

  void writeFile(const std::string& devicePath, const std::string& bytes) const;
  void writePlist(const std::string& devicePath, plist_t root, PlistFormat format) const;
  void remove(const std::string& devicePath) const;

 private:
  TemporaryRoot root_;
  std::string path_;
};

// The settings pane's file.
inline constexpr const char* kSettingsPath =
    "/var/mobile/Library/Preferences/com.Tovi.Halvenor.plist";

}  // namespace qv::test

// A sandbox root holding a real settings file, as the settings pane writes it (binary), for the
// benchmarks that map the library; removed with the value answered.
#pragma once

#include <plist/plist.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/System/TemporaryRoot.h"

namespace qv::bench {

inline TemporaryRoot makeSettingsRoot() {
  TemporaryRoot root = TemporaryRoot::orAbort("quorvane-bench-");
  const std::filesystem::path file =
      root.path() + "/var/mobile/Library/Preferences/com.Tovi.Halvenor.plist";
  std::filesystem::create_directories(file.parent_path());
  plist_t settings = plist_new_dict();
  plist_dict_set_item(settings, "EnableSlalom", plist_new_bool(1));
  plist_dict_set_item(settings, "MogulFramerate", plist_new_uint(120));
  plist_dict_set_item(settings, "rate", plist_new_real(0.5));
  plist_dict_set_item(settings, "volumeRamp", plist_new_real(0.2));
  plist_dict_set_item(settings, "indicatorTap", plist_new_bool(1));
  char* bytes = nullptr;
  uint32_t length = 0;
  plist_to_bin(settings, &bytes, &length);
  FILE* out = std::fopen(file.c_str(), "wb");
  std::fwrite(bytes, 1, length, out);
  std::fclose(out);
  std::free(bytes);
  plist_free(settings);
  return root;
}

}  // namespace qv::bench

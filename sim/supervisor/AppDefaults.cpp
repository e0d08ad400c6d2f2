#include "sim/supervisor/AppDefaults.h"

#include <filesystem>

#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/UserDefaults.h"
#include "platform/System/FileSystem.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv::sim {

std::string writeAppDefault(const std::string& app, const std::string& key, bool value,
                            std::string& problem) {
  AutoreleasePool pool;
  const std::string path = userDefaultsPath(app);
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(resolvePath(path)).parent_path(),
                                      error);
  Ref<> file = makeString(path);
  // A missing or unreadable file starts empty, as the app itself reads it.
  id stored =
      send<id>(objc_getClass("NSDictionary"), "dictionaryWithContentsOfFile:"_sel, file.get());
  Ref<> values =
      stored != nil
          ? adopt(send<id>(stored, "mutableCopyWithZone:"_sel, static_cast<void*>(nullptr)))
          : make(objc_getClass("NSMutableDictionary"));
  send(values.get(), "setObject:forKey:"_sel,
       send<id>(objc_getClass("NSNumber"), "numberWithBool:"_sel, BOOL{value}),
       makeString(key).get());
  if (!send<BOOL>(values.get(), "writeToFile:atomically:"_sel, file.get(), BOOL{YES})) {
    problem = "defaults: cannot write " + path;
    return "";
  }
  return "stored " + key + " = " + (value ? "YES" : "NO") + " in " + path;
}

}  // namespace qv::sim

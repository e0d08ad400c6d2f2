#include "pane/PaneSettings.h"

#include <objc/runtime.h>

#include "port/CoreFoundation/CoreFoundation.h"
#include "port/Foundation/Foundation.h"

namespace quorvane::pane {

namespace {

id settingsPath() {
  return "/var/mobile/Library/Preferences/com.Tovi.Halvenor.plist"_ns;
}

id property(id specifier, id name) {
  return qv::send<id>(specifier, "propertyForKey:"_sel, name);
}

// The file's dictionary, mutable; an empty one when the file is missing, malformed or holds
// something else at its root (dictionaryWithContentsOfFile: answers nil for all three).
qv::Ref<> settingsDictionary() {
  Class mutableDictionary = objc_getClass("NSMutableDictionary");
  id read = qv::send<id>(mutableDictionary, "dictionaryWithContentsOfFile:"_sel, settingsPath());
  return read != nil ? qv::retained(read) : qv::make(mutableDictionary);
}

bool isShowable(id value) {
  return qv::isKindOf(value, objc_getClass("NSString")) ||
         qv::isKindOf(value, objc_getClass("NSNumber"));
}

void postChange() {
  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                       CFSTR("com.Tovi.Halvenor.prefs"), nullptr, nullptr, true);
}

}  // namespace

id specifiers(id controller, id* cache) {
  if (*cache == nil) {
    *cache = qv::retain(
        qv::send<id>(controller, "loadSpecifiersFromPlistName:target:"_sel, "Qel"_ns, controller));
  }
  return *cache;
}

id readValue(id specifier) {
  id key = property(specifier, "key"_ns);
  id value = key != nil ? qv::send<id>(settingsDictionary().get(), "objectForKey:"_sel, key) : nil;
  // A value of another type (a list, data) would be shown by a cell that cannot show it.
  return isShowable(value) ? value : property(specifier, "default"_ns);
}

void writeValue(id value, id specifier) {
  id key = property(specifier, "key"_ns);
  if (!qv::isKindOf(key, objc_getClass("NSString"))) return;
  qv::Ref<> settings = settingsDictionary();
  if (value != nil) {
    qv::send(settings.get(), "setObject:forKey:"_sel, value, key);
  } else {
    qv::send(settings.get(), "removeObjectForKey:"_sel, key);
  }
  // The library rereads the file when notified: a failed write is not announced.
  if (!qv::send<BOOL>(settings.get(), "writeToFile:atomically:"_sel, settingsPath(), YES)) {
    CFLog(kCFLogLevelError, CFSTR("Quorvane: the settings file cannot be written"));
    return;
  }
  postChange();
}

}  // namespace quorvane::pane

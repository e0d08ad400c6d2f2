#include "tests/device/emulation/Case.h"

#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "core/Settings.h"
#include "hud/RuvelProgressHUD.h"
#include "platform/AVFoundation/AVCapture.h"
#include "platform/Foundation/Foundation.h"
#include "tests/device/emulation/Calls.h"
#include "tests/device/emulation/Json.h"
#include "tests/device/emulation/Recording.h"
#include "tests/support/SandboxRoot.h"

namespace quorvane::emulation {

namespace {

using Selectors = std::set<std::pair<std::string, std::string>>;  // class, selector

// Which of the table's classes and replaced selectors the host has, and which it only inherits.
struct HostShape {
  bool none = false;
  std::set<std::string> omitted;
  Selectors omittedSelectors;
  Selectors inherited;
};

Selectors readPairs(const YAML::Node& node) {
  Selectors pairs;
  for (const YAML::Node& pair : node) {
    pairs.emplace(pair[0].as<std::string>(), pair[1].as<std::string>());
  }
  return pairs;
}

HostShape readHost(const YAML::Node& node) {
  HostShape shape;
  if (!node || (node.IsScalar() && node.as<std::string>() == "every")) return shape;
  if (node.IsScalar() && node.as<std::string>() == "none") {
    shape.none = true;
    return shape;
  }
  if (!node.IsMap()) throw CaseError("a host is every, none or a map");
  for (const YAML::Node& name : node["omit"]) shape.omitted.insert(name.as<std::string>());
  shape.omittedSelectors = readPairs(node["omit_selectors"]);
  shape.inherited = readPairs(node["inherited"]);
  return shape;
}

// The host's stock implementation of every replaced method; a call step puts the stock
// behaviour it describes in the hook's slot, so this one never runs.
void hostStock(id, SEL) {}

struct HostMethod {
  bool meta;
  std::string selector;
  const char* types;
};

Class registerClass(const std::string& name, Class superclass,
                    const std::vector<HostMethod>& methods) {
  const Class cls = qv::ClassBuilder(name.c_str(), superclass).registerClass();
  for (const HostMethod& method : methods) {
    const Class target = method.meta ? object_getClass(qv::asId(cls)) : cls;
    class_addMethod(target, sel_registerName(method.selector.c_str()), qv::toIMP(&hostStock),
                    method.types);
  }
  return cls;
}

void registerHost(const HookTable& table, const HostShape& shape) {
  if (shape.none) return;
  std::vector<std::string> order;
  std::map<std::string, std::vector<HostMethod>> own, inherited;
  for (const HookGroup& group : table.groups) {
    const std::string name = group.className;
    if (shape.omitted.contains(name)) continue;
    if (!own.contains(name)) order.push_back(name);
    own[name];
    for (const MethodHook& row : group.hooks) {
      if (row.kind == HookKind::AddedMethod ||
          shape.omittedSelectors.contains({name, row.selector}))
        continue;
      const bool onlyInherited = shape.inherited.contains({name, row.selector});
      (onlyInherited ? inherited : own)[name].push_back(
          {row.kind == HookKind::ClassMethod, row.selector, row.types});
    }
  }
  for (const std::string& name : order) {
    if (objc_getClass(name.c_str()) != Nil) continue;  // the platform's own class
    Class superclass = qv::NSObjectClass();
    if (inherited.contains(name))
      superclass = registerClass(name + "Base", superclass, inherited[name]);
    registerClass(name, superclass, own[name]);
  }
}

qv::test::Plist settingValue(const YAML::Node& node) {
  const Value value = readValue(node);
  if (value.type == "bool") return qv::test::Plist(plist_new_bool(value.node.as<bool>()));
  if (value.type == "integer")
    return qv::test::Plist(
        plist_new_uint(static_cast<std::uint64_t>(value.node.as<std::int64_t>())));
  if (value.type == "real") return qv::test::Plist(plist_new_real(value.node.as<double>()));
  if (value.type == "string")
    return qv::test::Plist(plist_new_string(value.node.as<std::string>().c_str()));
  throw CaseError("a setting is a bool, integer, real or string");
}

void writeSettings(const qv::test::SandboxRoot& root, const YAML::Node& node) {
  if (!node) return;
  if (node["raw"]) {
    root.writeFile(qv::test::kSettingsPath, node["raw"].as<std::string>());
    return;
  }
  const bool xml = static_cast<bool>(node["xml"]);
  if (!xml && !node["binary"]) throw CaseError("settings are xml, binary or raw");
  const qv::test::Plist dictionary(plist_new_dict());
  for (const auto& entry : node[xml ? "xml" : "binary"]) {
    plist_dict_set_item(dictionary.get(), entry.first.as<std::string>().c_str(),
                        settingValue(entry.second).release());
  }
  root.writePlist(qv::test::kSettingsPath, dictionary.get(),
                  xml ? qv::test::PlistFormat::Xml : qv::test::PlistFormat::Binary);
}

void setCamera(const YAML::Node& node) {
  if (node.IsScalar() && node.as<std::string>() == "none") {
    qv::setBackCamera(std::nullopt);
    return;
  }
  std::vector<qv::CaptureFormat> formats;
  for (const YAML::Node& format : node) {
    std::vector<qv::FrameRateSpan> ranges;
    for (const YAML::Node& range : format["ranges"]) {
      ranges.push_back({range[0].as<double>(), range[1].as<double>()});
    }
    formats.push_back({format["media"].as<std::string>(), format["width"].as<std::int32_t>(),
                       format["height"].as<std::int32_t>(), ranges});
  }
  qv::setBackCamera(formats);
}

void notifyChange() {
  const std::string name = qv::utf8(PreferencesChangedNotification);
  const CFNotificationCallback callback = observerOf(name);
  if (callback == nullptr) throw CaseError("no observer of " + name + " is registered");
  callback(CFNotificationCenterGetDarwinNotifyCenter(), nullptr,
           reinterpret_cast<CFStringRef>(PreferencesChangedNotification), nullptr, nullptr);
}

void takeStep(const YAML::Node& step, const HookTable& table, const qv::test::SandboxRoot& root) {
  if (step["call"]) {
    const std::optional<std::string> result = takeCall(readCallStep(step["call"]), table);
    if (result && !result->empty()) record(JsonObject().add("result", *result).text());
  } else if (step["camera"]) {
    setCamera(step["camera"]);
  } else if (step["settings"]) {
    writeSettings(root, step["settings"]);
  } else if (step["notify"]) {
    notifyChange();
  } else {
    throw CaseError("an unknown step: " + YAML::Dump(step));
  }
}

void start(const Library& library) {
  qv::makeClassOnFirstLookup("RuvelProgressHUD", &registerRuvelProgressHUD);
  startRecording();
  startTweak(library.table(), library.identity);
  // The class is made on first lookup here; the device makes it at start-up.
  objc_getClass("RuvelProgressHUD");
}

}  // namespace

std::string runCase(const Library& library, const YAML::Node& theCase) {
  std::string error;
  try {
    const qv::test::SandboxRoot root;
    registerHost(library.table(), readHost(theCase["host"]));
    writeSettings(root, theCase["settings"]);
    start(library);
    for (const YAML::Node& step : theCase["steps"]) takeStep(step, library.table(), root);
  } catch (const std::exception& e) {
    error = e.what();
  }
  JsonObject line;
  line.add("library", jsonString(library.name))
      .add("case", jsonString(theCase["name"].as<std::string>("")))
      .add("events", jsonArray(recordedEvents()))
      .add("hud_methods", jsonArray(recordedHudMethods()));
  if (!error.empty()) line.add("error", jsonString(error));
  return line.text();
}

}  // namespace quorvane::emulation

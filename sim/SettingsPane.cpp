#include "sim/SettingsPane.h"

#include <plist/plist.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/objc/AutoreleasePool.h"

namespace qv::sim {
namespace {

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistFree>;

struct BufferFree {
  void operator()(char* bytes) const { std::free(bytes); }
};

plist_t nodeFor(const Value& value) {
  if (const auto* flag = std::get_if<bool>(&value.data)) return plist_new_bool(*flag);
  if (const auto* whole = std::get_if<long long>(&value.data)) {
    return plist_new_uint(static_cast<std::uint64_t>(*whole));  // read back as signed
  }
  if (const auto* real = std::get_if<double>(&value.data)) return plist_new_real(*real);
  return plist_new_string(value.text() != nullptr ? value.text()->c_str() : "");
}

std::string propertyList(const SettingsFile& file) {
  Plist root(plist_new_dict());
  for (const auto& [key, value] : file.values) {
    plist_dict_set_item(root.get(), key.c_str(), nodeFor(value));
  }
  char* bytes = nullptr;
  std::uint32_t length = 0;
  if (file.format == SettingsFile::Format::Xml) {
    plist_to_xml(root.get(), &bytes, &length);
  } else {
    plist_to_bin(root.get(), &bytes, &length);
  }
  std::unique_ptr<char, BufferFree> owned(bytes);
  if (bytes == nullptr) throw std::runtime_error("libplist could not write the settings");
  return std::string(bytes, length);
}

// Values as the platform reads them: the libraries see the file through the same reader.
Value valueOf(id object) {
  if (isKindOf(object, objc_getClass("NSString"))) return utf8(object);
  if (!isKindOf(object, objc_getClass("NSNumber"))) return describe(object);
  const std::string type = send<const char*>(object, "objCType"_sel);
  if (type == "c") return send<BOOL>(object, "boolValue"_sel) != NO;  // booleans in a list
  if (type == "f" || type == "d") return send<double>(object, "doubleValue"_sel);
  return send<long long>(object, "longLongValue"_sel);
}

std::string describeValues(const SettingsFile& file) {
  std::string out;
  for (const auto& [key, value] : file.values) {
    out += (out.empty() ? "" : ", ") + key + " " + toText(value);
  }
  return out.empty() ? "no values" : out;
}

// What a copied file holds, as far as its first bytes tell.
std::string describeCopy(const SettingsFile& file) {
  const std::string& bytes = file.raw;
  const char* kind = bytes.rfind("bplist00", 0) == 0 ? "binary property list, "
                     : bytes.rfind("<?xml", 0) == 0 || bytes.rfind("<plist", 0) == 0 ? "XML, "
                                                                                     : "";
  return "copied the settings file from " + file.path + " (" + kind + std::to_string(bytes.size()) +
         " bytes)";
}

}  // namespace

std::string writeSettingsFile(const Sandbox& sandbox, const SettingsFile& file) {
  const std::filesystem::path path = sandbox.hostPath(kSettingsPath);
  std::error_code error;
  if (file.kind == SettingsFile::Kind::Absent) {
    std::filesystem::remove(path, error);
    return "removed the settings file";
  }
  std::filesystem::create_directories(path.parent_path(), error);
  const bool raw = file.kind == SettingsFile::Kind::Raw || file.kind == SettingsFile::Kind::File;
  const std::string bytes = raw ? file.raw : propertyList(file);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
  if (file.kind == SettingsFile::Kind::File) return describeCopy(file);
  if (raw) return "wrote the settings file: " + std::to_string(bytes.size()) + " raw bytes";
  const char* format = file.format == SettingsFile::Format::Xml ? "XML" : "binary";
  return std::string("wrote the settings file (") + format + "): " + describeValues(file);
}

Value readSettingsFile(const Sandbox& sandbox) {
  std::error_code error;
  if (!std::filesystem::exists(sandbox.hostPath(kSettingsPath), error)) return {};
  AutoreleasePool pool;
  const Ref<> dictionary = foundation::dictionaryFromFile(kSettingsPath);
  if (!dictionary) return "malformed";
  std::vector<std::pair<std::string, id>> entries;
  for (id key : arrayElements(send<id>(dictionary, "allKeys"_sel))) {
    entries.emplace_back(utf8(key), send<id>(dictionary, "objectForKey:"_sel, key));
  }
  std::sort(entries.begin(), entries.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  ValueMap values;
  for (const auto& [key, object] : entries) values.emplace_back(key, valueOf(object));
  return values;
}

}  // namespace qv::sim

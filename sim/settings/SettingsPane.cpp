#include "sim/settings/SettingsPane.h"

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

std::string bytesOf(plist_t root, SettingsFile::Format format) {
  char* bytes = nullptr;
  std::uint32_t length = 0;
  if (format == SettingsFile::Format::Xml) {
    plist_to_xml(root, &bytes, &length);
  } else {
    plist_to_bin(root, &bytes, &length);
  }
  std::unique_ptr<char, BufferFree> owned(bytes);
  if (bytes == nullptr) throw std::runtime_error("libplist could not write the settings");
  return std::string(bytes, length);
}

std::string propertyList(const SettingsFile& file) {
  Plist root(plist_new_dict());
  for (const auto& [key, value] : file.values) {
    plist_dict_set_item(root.get(), key.c_str(), nodeFor(value));
  }
  return bytesOf(root.get(), file.format);
}

// The file's root dictionary as libplist reads it, every value of every type kept; nullptr
// without a file or for one that is not a dictionary property list.
Plist dictionaryIn(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return nullptr;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string text = bytes.str();
  plist_t root = nullptr;
  plist_from_memory(text.data(), static_cast<std::uint32_t>(text.size()), &root);
  Plist owned(root);
  if (root == nullptr || plist_get_node_type(root) != PLIST_DICT) return nullptr;
  return owned;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
  std::error_code error;
  std::filesystem::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path.string());
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

std::string describeValues(const ValueMap& values) {
  std::string out;
  for (const auto& [key, value] : values) {
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
  const bool raw = file.kind == SettingsFile::Kind::Raw || file.kind == SettingsFile::Kind::File;
  const std::string bytes = raw ? file.raw : propertyList(file);
  writeFile(path, bytes);
  if (file.kind == SettingsFile::Kind::File) return describeCopy(file);
  if (raw) return "wrote the settings file: " + std::to_string(bytes.size()) + " raw bytes";
  const char* format = file.format == SettingsFile::Format::Xml ? "XML" : "binary";
  return std::string("wrote the settings file (") + format + "): " + describeValues(file.values);
}

std::string setSettingsValue(const Sandbox& sandbox, const std::string& key, const Value& value) {
  const std::filesystem::path path = sandbox.hostPath(kSettingsPath);
  std::error_code error;
  const bool existed = std::filesystem::exists(path, error);
  Plist root = dictionaryIn(path);
  const bool replaced = existed && !root;
  if (!root) root.reset(plist_new_dict());
  plist_dict_set_item(root.get(), key.c_str(), nodeFor(value));
  // Renamed into place, so that an app reading the file meanwhile sees the old one or the new.
  const std::filesystem::path written = path.string() + ".pane";
  writeFile(written, bytesOf(root.get(), SettingsFile::Format::Binary));
  std::filesystem::rename(written, path, error);
  if (error) throw std::runtime_error("cannot write " + path.string() + ": " + error.message());
  const Value values = readSettingsFile(sandbox);
  return std::string(replaced ? "replaced a settings file that was not a property list: " : "") +
         "wrote the settings file (binary): " +
         describeValues(values.map() ? *values.map() : ValueMap{});
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

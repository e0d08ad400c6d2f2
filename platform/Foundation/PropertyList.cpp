#include "platform/Foundation/PropertyList.h"

#include <fcntl.h>
#include <plist/plist.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Foundation/Classes.h"
#include "platform/Foundation/Foundation.h"
#include "platform/Foundation/NumberValue.h"
#include "platform/Foundation/PropertyListShape.h"
#include "platform/System/FileSystem.h"

namespace qv::foundation {
namespace {

struct PlistFree {
  void operator()(void* node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistFree>;

struct Free {
  void operator()(void* memory) const { std::free(memory); }
};
template <typename T>
using Malloced = std::unique_ptr<T, Free>;

// Deeper nesting is malformed for a settings file and would only cost stack.
constexpr int maximumDepth = 256;
// libplist takes a 32-bit length; settings files are a few hundred bytes.
constexpr off_t maximumFileSize = 64 << 20;
// libplist counts dates from 2001-01-01, NSDate from 1970-01-01.
constexpr double secondsFrom1970To2001 = 978307200;

// ---- Reading ----

Ref<> objectFrom(plist_t node, int depth);

// libplist 2.2 reads every integer into a uint64 and has no accessor for its sign; only its XML
// writer knows whether a value above INT64_MAX was written negative or as a large unsigned.
bool writtenNegative(plist_t node) {
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(node, &xml, &length);
  const Malloced<char> owned(xml);
  return xml != nullptr && std::string_view(xml, length).find("<integer>-") != std::string::npos;
}

Ref<> integerFrom(plist_t node) {
  std::uint64_t bits = 0;
  plist_get_uint_val(node, &bits);
  if (bits <= INT64_MAX || writtenNegative(node)) return makeNumber(static_cast<long long>(bits));
  return makeNumber(static_cast<unsigned long long>(bits));
}

Ref<> dateFrom(plist_t node) {
  std::int32_t seconds = 0;
  std::int32_t microseconds = 0;
  plist_get_date_val(node, &seconds, &microseconds);
  const double since1970 = secondsFrom1970To2001 + seconds + microseconds / 1e6;
  return adopt(send<id>(send<id>(dateClass(), "alloc"_sel), "initWithTimeIntervalSince1970:"_sel,
                        since1970));
}

Ref<> dataFrom(plist_t node) {
  std::uint64_t length = 0;
  const char* bytes = plist_get_data_ptr(node, &length);
  return adopt(send<id>(send<id>(dataClass(), "alloc"_sel), "initWithBytes:length:"_sel,
                        static_cast<const void*>(bytes),
                        static_cast<NSUInteger>(bytes != nullptr ? length : 0)));
}

Ref<> stringFrom(plist_t node) {
  std::uint64_t length = 0;
  const char* text = plist_get_string_ptr(node, &length);
  return makeString(text != nullptr ? std::string_view(text, length) : std::string_view());
}

Ref<> arrayFrom(plist_t node, int depth) {
  const std::uint32_t count = plist_array_get_size(node);
  std::vector<Ref<>> items;
  for (std::uint32_t i = 0; i < count; ++i) {
    Ref<> item = objectFrom(plist_array_get_item(node, i), depth + 1);
    if (!item) return nullptr;
    items.push_back(std::move(item));
  }
  return makeArray(std::vector<id>(items.begin(), items.end()));
}

// libplist 2.2 aborts in plist_get_key_val (and so in plist_dict_next_item) on a key with an
// embedded NUL, which a corrupted binary file can hold. Its XML writer reads a key as a C string
// instead, so the key is taken from there, up to any NUL.
std::optional<std::string> keyText(plist_t keyNode) {
  char* xml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(keyNode, &xml, &length);
  const Malloced<char> owned(xml);
  const std::string_view text(xml != nullptr ? xml : "", xml != nullptr ? length : 0);
  constexpr std::string_view open = "<key>";
  const std::size_t start = text.find(open);
  const std::size_t end = text.rfind("</key>");
  if (start == std::string_view::npos || end == std::string_view::npos ||
      end < start + open.size()) {
    return std::nullopt;
  }
  std::string key;
  for (std::size_t at = start + open.size(); at < end; ++at) {
    // The writer escapes exactly these three.
    const std::string_view rest = text.substr(at, end - at);
    if (rest.starts_with("&lt;")) {
      key += '<';
      at += 3;
    } else if (rest.starts_with("&gt;")) {
      key += '>';
      at += 3;
    } else if (rest.starts_with("&amp;")) {
      key += '&';
      at += 4;
    } else {
      key += text[at];
    }
  }
  return key;
}

Ref<> dictionaryFrom(plist_t node, int depth) {
  plist_dict_iter rawIterator = nullptr;
  plist_dict_new_iter(node, &rawIterator);
  const Malloced<void> iterator(rawIterator);
  std::vector<std::pair<Ref<>, Ref<>>> entries;
  while (iterator) {
    plist_t child = nullptr;
    plist_dict_next_item(node, iterator.get(), nullptr, &child);
    if (child == nullptr) break;
    const std::optional<std::string> key = keyText(plist_dict_item_get_key(child));
    Ref<> value = objectFrom(child, depth + 1);
    if (!key || !value) return nullptr;
    entries.emplace_back(makeString(*key), std::move(value));
  }
  std::vector<std::pair<id, id>> pairs(entries.begin(), entries.end());
  return makeDictionary(pairs);
}

Ref<> objectFrom(plist_t node, int depth) {
  if (node == nullptr || depth > maximumDepth) return nullptr;
  switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
      std::uint8_t value = 0;
      plist_get_bool_val(node, &value);
      return makeNumber(value != 0);
    }
    case PLIST_UINT:
      return integerFrom(node);
    case PLIST_REAL: {
      double value = 0;
      plist_get_real_val(node, &value);
      return makeNumber(value);
    }
    case PLIST_STRING:
      return stringFrom(node);
    case PLIST_DATA:
      return dataFrom(node);
    case PLIST_DATE:
      return dateFrom(node);
    case PLIST_ARRAY:
      return arrayFrom(node, depth);
    case PLIST_DICT:
      return dictionaryFrom(node, depth);
    default:
      // Keys out of place, keyed-archive UIDs: nothing a property list of values holds.
      return nullptr;
  }
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  // Closes now and reports whether the data reached the file system.
  bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

std::optional<std::string> readRegularFile(const std::string& path) {
  // Non-blocking, so that a FIFO at the path cannot stall the open.
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat status {};
  if (!file.valid() || fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode) ||
      status.st_size > maximumFileSize) {
    return std::nullopt;
  }
  std::string content(static_cast<std::size_t>(status.st_size), '\0');
  std::size_t filled = 0;
  while (filled < content.size()) {
    const ssize_t got = ::read(file.get(), content.data() + filled, content.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;  // shrank meanwhile
    filled += static_cast<std::size_t>(got);
  }
  content.resize(filled);
  return content;
}

// ---- Writing ----

Plist nodeFrom(id object, int depth);

// libplist 2.2 writes an integer node made by plist_new_uint as signed; only a node it parsed
// itself keeps a value above INT64_MAX unsigned.
Plist largeUnsignedNode(unsigned long long value) {
  const std::string xml = "<plist><integer>" + std::to_string(value) + "</integer></plist>";
  plist_t node = nullptr;
  plist_from_xml(xml.data(), static_cast<std::uint32_t>(xml.size()), &node);
  return Plist(node);
}

Plist numberNode(id number) {
  const NumberValue& value = numberValue(number);
  switch (value.kind()) {
    case NumberKind::boolean:
      return Plist(plist_new_bool(value.as<bool>() ? 1 : 0));
    case NumberKind::single:
    case NumberKind::double_:
      return Plist(plist_new_real(value.as<double>()));
    case NumberKind::unsignedLongLong:
      if (value.as<unsigned long long>() > INT64_MAX) {
        return largeUnsignedNode(value.as<unsigned long long>());
      }
      [[fallthrough]];
    default:
      return Plist(plist_new_uint(static_cast<std::uint64_t>(value.as<long long>())));
  }
}

// libplist keeps dates as whole seconds since 2001 in 32 bits plus microseconds.
Plist dateNode(id date) {
  const double since2001 =
      send<NSTimeInterval>(date, "timeIntervalSince1970"_sel) - secondsFrom1970To2001;
  const double seconds = std::floor(since2001);
  if (!(seconds >= INT32_MIN && seconds <= INT32_MAX)) return nullptr;
  const double microseconds = std::min(std::round((since2001 - seconds) * 1e6), 999999.0);
  return Plist(
      plist_new_date(static_cast<std::int32_t>(seconds), static_cast<std::int32_t>(microseconds)));
}

Plist dataNode(id data) {
  const auto* bytes = static_cast<const char*>(send<const void*>(data, "bytes"_sel));
  return Plist(plist_new_data(bytes, send<NSUInteger>(data, "length"_sel)));
}

Plist arrayNode(id array, int depth) {
  Plist node(plist_new_array());
  for (id item : arrayElements(array)) {
    Plist child = nodeFrom(item, depth + 1);
    if (!child) return nullptr;
    plist_array_append_item(node.get(), child.release());
  }
  return node;
}

// Keys in order, so that the same dictionary always writes the same file.
Plist dictionaryNode(id dictionary, int depth) {
  std::vector<id> keys = arrayElements(send<id>(dictionary, "allKeys"_sel));
  if (!std::all_of(keys.begin(), keys.end(), [](id key) { return isKindOf(key, stringClass()); })) {
    return nullptr;
  }
  std::sort(keys.begin(), keys.end(), [](id a, id b) { return stringText(a) < stringText(b); });
  Plist node(plist_new_dict());
  for (id key : keys) {
    Plist child = nodeFrom(send<id>(dictionary, "objectForKey:"_sel, key), depth + 1);
    if (!child || stringText(key).find('\0') != std::string::npos) return nullptr;
    plist_dict_set_item(node.get(), stringText(key).c_str(), child.release());
  }
  return node;
}

Plist nodeFrom(id object, int depth) {
  if (depth > maximumDepth) return nullptr;
  if (isKindOf(object, stringClass())) {
    // A C string cannot carry NUL, and XML has no way to write it.
    const std::string& text = stringText(object);
    if (text.find('\0') != std::string::npos) return nullptr;
    return Plist(plist_new_string(text.c_str()));
  }
  if (isKindOf(object, numberClass())) return numberNode(object);
  if (isKindOf(object, dataClass())) return dataNode(object);
  if (isKindOf(object, dateClass())) return dateNode(object);
  if (isKindOf(object, arrayClass())) return arrayNode(object, depth);
  if (isKindOf(object, dictionaryClass())) return dictionaryNode(object, depth);
  return nullptr;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

bool writeInPlace(const std::string& path, std::string_view bytes) {
  FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  return file.valid() && writeAll(file.get(), bytes) && file.close();
}

// Readers see the old file or the whole new one, never a part.
bool writeAtomically(const std::string& path, std::string_view bytes) {
  std::string temporary = path + ".XXXXXX";
  FileDescriptor file(mkstemp(temporary.data()));
  if (!file.valid()) return false;
  const bool written = fchmod(file.get(), 0644) == 0 && writeAll(file.get(), bytes) &&
                       fsync(file.get()) == 0 && file.close() &&
                       std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!written) ::unlink(temporary.c_str());
  return written;
}

}  // namespace

Ref<> propertyListFromBytes(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > static_cast<std::size_t>(maximumFileSize)) return nullptr;
  // Without shared arrays or dictionaries a binary list expands to at most one object per
  // byte; a little sharing is allowed beyond that.
  const ShapeLimits limits{maximumDepth, std::max<std::uint64_t>(bytes.size(), 4096)};
  if (!withinShapeLimits(bytes, limits)) return nullptr;
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
  const Plist owned(root);
  return objectFrom(root, 0);
}

Ref<> dictionaryFromFile(const std::string& devicePath) {
  const std::optional<std::string> content = readRegularFile(resolvePath(devicePath));
  if (!content) return nullptr;
  Ref<> root = propertyListFromBytes(*content);
  return isKindOf(root, dictionaryClass()) ? root : nullptr;
}

bool writePropertyList(id root, const std::string& devicePath, bool atomically) {
  const Plist node = nodeFrom(root, 0);
  if (!node) return false;
  char* rawXml = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(node.get(), &rawXml, &length);
  const Malloced<char> xml(rawXml);
  if (xml == nullptr) return false;
  const std::string path = resolvePath(devicePath);
  const std::string_view bytes(xml.get(), length);
  return atomically ? writeAtomically(path, bytes) : writeInPlace(path, bytes);
}

}  // namespace qv::foundation

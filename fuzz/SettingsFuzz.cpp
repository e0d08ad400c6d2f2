// Fuzz target for the settings loader: any bytes, as the settings pane's file (XML or binary
// property list, or anything else), must load into ten values that each hold a value of their
// type, with every absent or unconvertible key at its default; a boolean, a real or a small
// whole number under a key must load as that value. Aborts on any other outcome.
//
// Build and run: scripts/fuzz.sh (docs/fuzzing.md).
#include <plist/plist.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "core/Settings.h"
#include "fuzz/FileRoot.h"
#include "platform/Foundation/PropertyList.h"
#include "platform/System/FileSystem.h"
#include "platform/objc/AutoreleasePool.h"
#include "port/Foundation/Saturate.h"

namespace {

using quorvane::settings;

constexpr const char* kSettingsPath = "/var/mobile/Library/Preferences/com.Tovi.Halvenor.plist";

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistFree>;

[[noreturn]] void violated(const char* key, const char* what) {
  std::fprintf(stderr, "settings invariant violated: %s %s\n", key, what);
  std::abort();
}

void require(bool holds, const char* key, const char* what) {
  if (!holds) violated(key, what);
}

bool sameFloat(float a, float b) {
  return (std::isnan(a) && std::isnan(b)) || a == b;
}

// A key's node as the loader meets it: what the file holds under the key when the platform read
// the file as a dictionary, else nothing.
struct KeyValue {
  plist_type type = PLIST_NONE;
  bool flag = false;
  double real = 0;
  std::int64_t whole = 0;
  bool smallWhole = false;  // a whole number from 0 to INT32_MAX, the same read any way

  bool convertible() const {
    return type == PLIST_BOOLEAN || type == PLIST_UINT || type == PLIST_REAL ||
           type == PLIST_STRING;
  }
  // The number a boolean, real or small whole number stands for.
  bool numeric(double& out) const {
    if (type == PLIST_BOOLEAN) out = flag ? 1 : 0;
    if (type == PLIST_REAL) out = real;
    if (smallWhole) out = static_cast<double>(whole);
    return type == PLIST_BOOLEAN || type == PLIST_REAL || smallWhole;
  }
};

// How often `key` stands in the dictionary: a binary list can name one key twice. Keys are
// compared in place, as plist_dict_get_item compares them: libplist aborts when it hands out a
// key that holds a NUL.
int timesNamed(plist_t root, const char* key) {
  int times = 0;
  plist_dict_iter iter = nullptr;
  plist_dict_new_iter(root, &iter);
  for (;;) {
    plist_t item = nullptr;
    plist_dict_next_item(root, iter, nullptr, &item);
    if (item == nullptr) break;
    times += plist_key_val_compare(plist_dict_item_get_key(item), key) == 0 ? 1 : 0;
  }
  std::free(iter);
  return times;
}

KeyValue valueUnder(plist_t root, const char* key) {
  KeyValue value;
  plist_t node = root != nullptr ? plist_dict_get_item(root, key) : nullptr;
  if (node == nullptr) return value;
  // Which of two values under one key wins is the reader's choice: check only their types.
  if (timesNamed(root, key) > 1) {
    value.type = PLIST_STRING;
    return value;
  }
  value.type = plist_get_node_type(node);
  if (value.type == PLIST_BOOLEAN) {
    std::uint8_t flag = 0;
    plist_get_bool_val(node, &flag);
    value.flag = flag != 0;
  } else if (value.type == PLIST_REAL) {
    plist_get_real_val(node, &value.real);
  } else if (value.type == PLIST_UINT) {
    std::uint64_t bits = 0;
    plist_get_uint_val(node, &bits);
    value.whole = static_cast<std::int64_t>(bits);
    value.smallWhole = bits <= std::numeric_limits<std::int32_t>::max();
  }
  return value;
}

void checkBool(const char* key, BOOL loaded, const KeyValue& value, BOOL absent) {
  require(loaded == YES || loaded == NO, key, "is neither YES nor NO");
  if (!value.convertible()) require(loaded == absent, key, "absent but not its default");
  double number = 0;
  if (value.numeric(number)) {
    require(loaded == (number != 0 && !std::isnan(number) ? YES : NO), key, "not the file's value");
  }
}

void checkFloat(const char* key, float loaded, const KeyValue& value, float absent) {
  if (!value.convertible()) require(sameFloat(loaded, absent), key, "absent but not its default");
  double number = 0;
  if (value.numeric(number)) {
    require(sameFloat(loaded, static_cast<float>(number)), key, "not the file's value");
  }
}

void checkLoaded(plist_t root) {
  checkBool("EnableSlalom", settings.EnableSlalom, valueUnder(root, "EnableSlalom"), YES);
  checkBool("ForceSlalom", settings.ForceSlalom, valueUnder(root, "ForceSlalom"), NO);
  checkBool("FakeFPS", settings.FakeFPS, valueUnder(root, "FakeFPS"), NO);
  checkBool("hideIndicator", settings.hideIndicator, valueUnder(root, "hideIndicator"), NO);
  checkBool("indicatorTap", settings.indicatorTap, valueUnder(root, "indicatorTap"), YES);
  checkFloat("rate", settings.rate, valueUnder(root, "rate"), 0.25f);
  checkFloat("volumeRamp", settings.volumeRamp, valueUnder(root, "volumeRamp"), 0.15f);

  const std::uint64_t mogul = settings.MogulFramerate;
  const KeyValue mogulValue = valueUnder(root, "MogulFramerate");
  double number = 0;
  if (!mogulValue.convertible()) require(mogul == 60, "MogulFramerate", "absent but not 60");
  if (mogulValue.numeric(number)) {
    require(mogul == qv::saturate<std::uint64_t>(number), "MogulFramerate", "not the file's value");
  }

  const std::int32_t mailMax = settings.mailMax;
  const KeyValue mailValue = valueUnder(root, "mailMax");
  if (!mailValue.convertible()) require(mailMax == 0, "mailMax", "absent but not 0");
  if (mailValue.numeric(number)) {
    require(mailMax == qv::saturate<std::int32_t>(number), "mailMax", "not the file's value");
  }

  const NSInteger fake = settings.aFPS;
  const KeyValue fakeValue = valueUnder(root, "aFPS");
  const auto followed =
      static_cast<NSInteger>(std::min<std::uint64_t>(mogul, std::numeric_limits<NSInteger>::max()));
  if (!fakeValue.convertible()) require(fake == followed, "aFPS", "absent but not the frame rate");
  if (fakeValue.numeric(number)) {
    require(fake == qv::saturate<NSInteger>(number), "aFPS", "not the file's value");
  }
}

// The file's root as libplist reads it, when the platform takes the file as a dictionary.
Plist readableRoot(std::string_view bytes) {
  const qv::Ref<> dictionary = qv::foundation::dictionaryFromFile(kSettingsPath);
  if (!dictionary) return nullptr;
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
  Plist owned(root);
  require(root != nullptr && plist_get_node_type(root) == PLIST_DICT, "file",
          "read as a dictionary, but libplist reads no dictionary");
  return owned;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // The constants name the file that loadPreferences reads.
  static const qv::fuzz::FileRoot root((quorvane::initializeConstants(), kSettingsPath));
  root.write(bytes);
  qv::AutoreleasePool pool;
  quorvane::loadPreferences();
  const Plist read = readableRoot(bytes);
  checkLoaded(read.get());
  return 0;
}

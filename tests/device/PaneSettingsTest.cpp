// The settings pane's specifier list against the settings store: every key the pane writes is
// one the store reads, and the pane's defaults, written to the settings file as the pane writes
// them, give the store exactly what it takes when there is no file.
#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/Settings.h"
#include "platform/objc/AutoreleasePool.h"
#include "tests/support/Forked.h"
#include "tests/support/SandboxRoot.h"

namespace quorvane {
namespace {

using qv::test::kSettingsPath;
using qv::test::Plist;

using Values =
    std::tuple<BOOL, std::uint64_t, BOOL, BOOL, BOOL, BOOL, std::int32_t, float, float, NSInteger>;

// The ten values the store holds, in its own order.
Values storeValues() {
  return {settings.EnableSlalom, settings.MogulFramerate, settings.ForceSlalom,
          settings.FakeFPS,      settings.hideIndicator,  settings.indicatorTap,
          settings.mailMax,      settings.rate,           settings.volumeRamp,
          settings.aFPS};
}

struct Specifier {
  std::string key;
  Plist defaultValue;
};

std::string stringOf(plist_t node) {
  char* text = nullptr;
  plist_get_string_val(node, &text);
  std::string result = text != nullptr ? text : "";
  std::free(text);
  return result;
}

// The specifiers of the repository's list that name a settings key.
std::vector<Specifier> paneSpecifiers() {
  std::ifstream file(QUORVANE_PANE_SPECIFIERS);
  const std::string xml{std::istreambuf_iterator<char>(file), {}};
  plist_t parsed = nullptr;
  plist_from_xml(xml.data(), static_cast<std::uint32_t>(xml.size()), &parsed);
  Plist root(parsed);
  plist_t items = root ? plist_dict_get_item(root.get(), "items") : nullptr;
  std::vector<Specifier> found;
  for (std::uint32_t i = 0; items != nullptr && i < plist_array_get_size(items); ++i) {
    plist_t item = plist_array_get_item(items, i);
    plist_t key = plist_dict_get_item(item, "key");
    plist_t value = plist_dict_get_item(item, "default");
    if (key == nullptr) continue;  // a group
    found.push_back({stringOf(key), Plist(value != nullptr ? plist_copy(value) : nullptr)});
  }
  return found;
}

// A value the user could set that differs from the pane's default.
plist_t changed(const Specifier& specifier) {
  if (plist_get_node_type(specifier.defaultValue.get()) == PLIST_BOOLEAN) {
    std::uint8_t on = 0;
    plist_get_bool_val(specifier.defaultValue.get(), &on);
    return plist_new_bool(!on);
  }
  return plist_new_string("7");
}

// Writes the settings file as the pane does, with the given values, and loads it.
Values loadedFrom(const qv::test::SandboxRoot& root,
                  std::vector<std::pair<std::string, plist_t>> values) {
  Plist file(plist_new_dict());
  for (auto& [key, value] : values) plist_dict_set_item(file.get(), key.c_str(), value);
  root.writePlist(kSettingsPath, file.get(), qv::test::PlistFormat::Xml);
  loadPreferences();
  return storeValues();
}

TEST(PaneSettings, TheListHoldsTenKeysEachOnceWithADefault) {
  std::set<std::string> keys;
  for (const Specifier& specifier : paneSpecifiers()) {
    EXPECT_TRUE(keys.insert(specifier.key).second) << specifier.key << " twice";
    EXPECT_NE(specifier.defaultValue, nullptr) << specifier.key << " has no default";
  }
  // With the next test, each of them is one the store reads: the same ten.
  EXPECT_EQ(keys.size(), std::tuple_size_v<Values>);
}

// Runs `check` in a child with a settings root of its own, given the store's values without a
// settings file.
template <typename Check>
void withStoreDefaults(Check check) {
  qv::test::runForked([&] {
    qv::AutoreleasePool pool;
    qv::test::SandboxRoot root;
    initializeConstants();
    loadPreferences();
    check(root, storeValues());
  });
}

TEST(PaneSettings, ThePanesDefaultsAreTheStoresDefaults) {
  withStoreDefaults([](qv::test::SandboxRoot& root, const Values& withoutFile) {
    std::vector<std::pair<std::string, plist_t>> defaults;
    for (const Specifier& specifier : paneSpecifiers()) {
      if (specifier.defaultValue)
        defaults.emplace_back(specifier.key, plist_copy(specifier.defaultValue.get()));
    }
    EXPECT_EQ(loadedFrom(root, defaults), withoutFile);
  });
}

TEST(PaneSettings, EveryKeyThePaneWritesChangesTheStore) {
  withStoreDefaults([](qv::test::SandboxRoot& root, const Values& withoutFile) {
    for (const Specifier& specifier : paneSpecifiers()) {
      if (!specifier.defaultValue) continue;
      EXPECT_NE(loadedFrom(root, {{specifier.key, changed(specifier)}}), withoutFile)
          << specifier.key << " is not read by the store";
    }
  });
}

}  // namespace
}  // namespace quorvane

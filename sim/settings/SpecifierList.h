// The settings pane's specifier list, as the device package ships it (package/settings/Qel.plist,
// installed where Settings reads it): the pane's title, then its groups and rows in order.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "sim/language/Value.h"

namespace qv::sim {

// Where the package puts the list on the device.
inline constexpr const char* kPaneSpecifiersPath =
    "/Library/PreferenceBundles/HalvenorSettings.bundle/Qel.plist";

struct Specifier {
  enum class Cell { Group, Switch, EditText };
  Cell cell = Cell::Group;
  std::string label;
  std::string footer;    // groups only
  std::string key;       // rows only
  Value fallback;        // a row's `default`: a boolean for a switch, text for a text field
  bool numeric = false;  // a text field with a number keyboard
};

struct SpecifierList {
  std::string title;
  std::vector<Specifier> items;

  // The row of that key, or else of that label; nullptr when the list has none.
  const Specifier* row(const std::string& keyOrLabel) const;
};

// Reads the list with libplist. Raises std::runtime_error, naming the file and the item, for a
// file that is missing or not a property list, an item of a cell the pane cannot show, or a row
// without a key.
SpecifierList readSpecifierList(const std::filesystem::path& file);

}  // namespace qv::sim

#include "sim/settings/SpecifierList.h"

#include <plist/plist.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace qv::sim {
namespace {

// The list runs to a few kilobytes; this keeps a wrong file from filling memory.
constexpr std::uintmax_t kLargestList = 1 << 20;

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistFree>;

std::string stringAt(plist_t dict, const char* key) {
  plist_t node = plist_dict_get_item(dict, key);
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return "";
  char* text = nullptr;
  plist_get_string_val(node, &text);
  std::string result = text != nullptr ? text : "";
  std::free(text);
  return result;
}

bool flagAt(plist_t dict, const char* key) {
  plist_t node = plist_dict_get_item(dict, key);
  if (node == nullptr || plist_get_node_type(node) != PLIST_BOOLEAN) return false;
  std::uint8_t flag = 0;
  plist_get_bool_val(node, &flag);
  return flag != 0;
}

Plist parsedFile(const std::filesystem::path& file) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(file, error)) {
    throw std::runtime_error("no specifier list at " + file.string());
  }
  if (std::filesystem::file_size(file, error) > kLargestList) {
    throw std::runtime_error(file.string() + " is too large for a specifier list");
  }
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), {}};
  plist_t root = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
  Plist owned(root);
  if (root == nullptr || plist_get_node_type(root) != PLIST_DICT) {
    throw std::runtime_error(file.string() + " is not a dictionary property list");
  }
  return owned;
}

Specifier::Cell cellOf(const std::string& name, const std::string& where) {
  if (name == "PSGroupCell") return Specifier::Cell::Group;
  if (name == "PSSwitchCell") return Specifier::Cell::Switch;
  if (name == "PSEditTextCell") return Specifier::Cell::EditText;
  throw std::runtime_error(where + ": cell '" + name +
                           "' is not one the pane shows (PSGroupCell, PSSwitchCell, "
                           "PSEditTextCell)");
}

// Settings shows a text field's default as text, whatever its type in the list.
Value fallbackOf(plist_t item, Specifier::Cell cell) {
  plist_t node = plist_dict_get_item(item, "default");
  if (cell == Specifier::Cell::Switch) return flagAt(item, "default");
  if (node == nullptr) return "";
  switch (plist_get_node_type(node)) {
    case PLIST_STRING:
      return stringAt(item, "default");
    case PLIST_UINT: {
      std::uint64_t whole = 0;
      plist_get_uint_val(node, &whole);
      return toText(static_cast<long long>(whole));  // libplist hands integers back unsigned
    }
    case PLIST_REAL: {
      double real = 0;
      plist_get_real_val(node, &real);
      return toText(real);
    }
    default:
      return "";
  }
}

Specifier specifierOf(plist_t item, const std::string& where) {
  if (plist_get_node_type(item) != PLIST_DICT) throw std::runtime_error(where + " is not a dict");
  Specifier specifier;
  specifier.cell = cellOf(stringAt(item, "cell"), where);
  specifier.label = stringAt(item, "label");
  if (specifier.cell == Specifier::Cell::Group) {
    specifier.footer = stringAt(item, "footerText");
    return specifier;
  }
  specifier.key = stringAt(item, "key");
  if (specifier.key.empty())
    throw std::runtime_error(where + ": a " + stringAt(item, "cell") + " without a key");
  specifier.fallback = fallbackOf(item, specifier.cell);
  specifier.numeric = flagAt(item, "isNumeric") || stringAt(item, "keyboard") == "numbers";
  return specifier;
}

}  // namespace

const Specifier* SpecifierList::row(const std::string& keyOrLabel) const {
  for (const bool byKey : {true, false}) {
    for (const Specifier& item : items) {
      if (item.cell == Specifier::Cell::Group) continue;
      if ((byKey ? item.key : item.label) == keyOrLabel) return &item;
    }
  }
  return nullptr;
}

SpecifierList readSpecifierList(const std::filesystem::path& file) {
  const Plist root = parsedFile(file);
  plist_t items = plist_dict_get_item(root.get(), "items");
  if (items == nullptr || plist_get_node_type(items) != PLIST_ARRAY) {
    throw std::runtime_error(file.string() + " has no list of specifiers under items");
  }
  SpecifierList list;
  list.title = stringAt(root.get(), "title");
  for (std::uint32_t i = 0; i < plist_array_get_size(items); ++i) {
    list.items.push_back(
        specifierOf(plist_array_get_item(items, i), file.string() + ": item " + std::to_string(i)));
  }
  return list;
}

}  // namespace qv::sim

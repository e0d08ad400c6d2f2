#include "sim/language/YamlReading.h"

#include <charconv>
#include <cmath>
#include <regex>

namespace qv::sim {
namespace {

constexpr int kMaxDepth = 16;

const char* kindOf(const YAML::Node& node) {
  switch (node.Type()) {
    case YAML::NodeType::Map:
      return "a map";
    case YAML::NodeType::Sequence:
      return "a list";
    case YAML::NodeType::Null:
    case YAML::NodeType::Undefined:
      return "nothing";
    default:
      return "a value";
  }
}

// A node as a message mentions it: a scalar by its text, anything else by its kind.
std::string shown(const YAML::Node& node) {
  if (node.IsScalar() && !node.Scalar().empty()) return "'" + node.Scalar() + "'";
  return kindOf(node);
}

}  // namespace

Value plainScalar(const std::string& text) {
  static const std::regex kInteger(R"([-+]?[0-9]+)");
  static const std::regex kReal(R"([-+]?([0-9]+\.?[0-9]*|\.[0-9]+)([eE][-+]?[0-9]+)?)");
  if (text == "none" || text == "null" || text == "~" || text.empty()) return {};
  if (text == "true") return true;
  if (text == "false") return false;
  const char* begin = text.data() + (text[0] == '+' ? 1 : 0);
  const char* end = text.data() + text.size();
  if (std::regex_match(text, kInteger)) {
    long long whole = 0;
    if (std::from_chars(begin, end, whole).ec == std::errc()) return whole;
  }
  if (std::regex_match(text, kReal)) {
    double real = 0;
    if (std::from_chars(begin, end, real).ec == std::errc() && std::isfinite(real)) return real;
  }
  return text;
}

Location YamlReading::at(const YAML::Node& node) const {
  return {file_, node.Mark().line + 1};
}

void YamlReading::fail(const YAML::Node& node, const std::string& problem) const {
  throw ScenarioError(at(node), problem);
}

void YamlReading::expectKeys(const YAML::Node& map, std::initializer_list<const char*> known,
                             const std::string& what) const {
  if (!map.IsMap()) fail(map, what + " should be a map, not " + shown(map));
  for (const auto& entry : map) {
    const std::string key = entry.first.Scalar();
    bool found = false;
    std::string names;
    for (const char* name : known) {
      found = found || key == name;
      names += (names.empty() ? "" : ", ") + std::string(name);
    }
    if (!found)
      fail(entry.first, "unknown field '" + key + "' in " + what + " (fields: " + names + ")");
  }
}

YAML::Node YamlReading::required(const YAML::Node& map, const char* key,
                                 const std::string& what) const {
  YAML::Node found = map[key];
  if (!found) fail(map, "missing field '" + std::string(key) + "' in " + what);
  return found;
}

std::string YamlReading::text(const YAML::Node& node, const std::string& what) const {
  if (!node.IsScalar() || node.Scalar().empty()) {
    fail(node, what + " should be text, not " + shown(node));
  }
  return node.Scalar();
}

double YamlReading::number(const YAML::Node& node, const std::string& what, double low,
                           double high) const {
  const Value read = value(node);
  if (!read.isNumber()) fail(node, what + " should be a number, not " + shown(node));
  const double number = read.number();
  if (!(number >= low && number <= high)) {
    fail(node, what + " should be between " + toText(low) + " and " + toText(high) + ", not " +
                   toText(read));
  }
  return number;
}

Value YamlReading::value(const YAML::Node& node) const {
  return valueAt(node, 0);
}

Value YamlReading::valueAt(const YAML::Node& node, int depth) const {
  if (depth > kMaxDepth) fail(node, "values nest too deeply");
  switch (node.Type()) {
    case YAML::NodeType::Scalar:
      return node.Tag() == "!" ? Value(node.Scalar()) : plainScalar(node.Scalar());
    case YAML::NodeType::Sequence: {
      ValueList list;
      for (const auto& item : node) list.push_back(valueAt(item, depth + 1));
      return list;
    }
    case YAML::NodeType::Map: {
      ValueMap map;
      for (const auto& entry : node) {
        if (!entry.first.IsScalar()) fail(entry.first, "map keys should be text");
        map.emplace_back(entry.first.Scalar(), valueAt(entry.second, depth + 1));
      }
      return map;
    }
    default:
      return {};
  }
}

}  // namespace qv::sim

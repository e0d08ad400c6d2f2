#include "host/devices/EntryReader.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "host/devices/Catalog.h"

namespace qv::host {
namespace {

// YAML marks count lines from 0, and a node made up for a missing key has no mark.
int lineOf(const YAML::Node& node) {
  return node.IsDefined() && node.Mark().line >= 0 ? node.Mark().line + 1 : 0;
}

std::string quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// The scalar's text when the whole of it is a number of type T.
template <typename T>
bool parseNumber(const YAML::Node& node, T& value) {
  if (!node.IsScalar()) return false;
  const std::string_view text = node.Scalar();
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  return error == std::errc() && stop == end;
}

std::string numberText(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

std::string shown(const YAML::Node& node) {
  return node.IsScalar() ? ", found " + quoted(node.Scalar()) : "";
}

}  // namespace

EntryReader::EntryReader(std::string file, std::string kind, const YAML::Node& entry)
    : file_(std::move(file)), kind_(std::move(kind)), entryLine_(lineOf(entry)) {}

void EntryReader::fail(const YAML::Node& at, const std::string& field,
                       const std::string& problem) const {
  const int line = lineOf(at) > 0 ? lineOf(at) : entryLine_;
  throw CatalogError(file_ + ":" + std::to_string(line) + ": " + kind_ + " " + quoted(name_) +
                     ": field " + quoted(field) + ": " + problem);
}

YAML::Node EntryReader::required(const YAML::Node& map, const char* key,
                                 const std::string& field) const {
  const YAML::Node value = map[key];
  if (!value.IsDefined() || value.IsNull()) fail(map, field, "missing");
  return value;
}

void EntryReader::expectKeys(const YAML::Node& map, std::initializer_list<const char*> known,
                             const std::string& field) const {
  if (!map.IsMap()) fail(map, field, "expected a map of fields");
  for (const auto& entry : map) {
    const std::string key = entry.first.IsScalar() ? entry.first.Scalar() : "";
    bool isKnown = false;
    for (const char* name : known) isKnown = isKnown || key == name;
    const std::string path = field.empty() ? key : field + "." + key;
    if (!isKnown) fail(entry.first, path, "unknown field");
  }
}

void EntryReader::expectSequence(const YAML::Node& node, const std::string& field) const {
  if (!node.IsSequence()) fail(node, field, "expected a list");
}

std::string EntryReader::text(const YAML::Node& node, const std::string& field) const {
  if (!node.IsScalar() || node.Scalar().empty()) fail(node, field, "expected a text");
  return node.Scalar();
}

double EntryReader::number(const YAML::Node& node, const std::string& field, double low,
                           double high) const {
  double value = 0;
  if (!parseNumber(node, value) || !std::isfinite(value) || value < low || value > high) {
    fail(node, field,
         "expected a number from " + numberText(low) + " to " + numberText(high) + shown(node));
  }
  return value;
}

long long EntryReader::whole(const YAML::Node& node, const std::string& field, long long low,
                             long long high) const {
  long long value = 0;
  if (!parseNumber(node, value) || value < low || value > high) {
    fail(node, field,
         "expected a whole number from " + std::to_string(low) + " to " + std::to_string(high) +
             shown(node));
  }
  return value;
}

bool EntryReader::flag(const YAML::Node& node, const std::string& field) const {
  bool value = false;
  if (!node.IsScalar() || !YAML::convert<bool>::decode(node, value)) {
    fail(node, field, "expected true or false" + shown(node));
  }
  return value;
}

}  // namespace qv::host

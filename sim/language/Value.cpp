#include "sim/language/Value.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace qv::sim {
namespace {

constexpr double kTolerance = 1e-6;

std::string numberText(double number) {
  if (std::isnan(number)) return "nan";
  if (std::isinf(number)) return number > 0 ? "inf" : "-inf";
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  return std::string(buffer, result.ptr);
}

bool readsAsNumber(const std::string& text) {
  double number = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
  return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool isPlain(const std::string& text) {
  if (text.empty() || readsAsNumber(text)) return false;
  if (text == "true" || text == "false" || text == "none" || text == "null" || text == "~") {
    return false;
  }
  return std::all_of(text.begin(), text.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == '/' ||
           c == '-';
  });
}

bool numbersMatch(const Value& expected, const Value& actual) {
  const double a = expected.number();
  const double b = actual.number();
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return a == b || std::fabs(a - b) <= kTolerance * std::max(1.0, std::fabs(a));
}

bool listsMatch(const ValueList& expected, const ValueList& actual, Match match) {
  if (match == Match::Includes) {
    return std::all_of(expected.begin(), expected.end(), [&](const Value& wanted) {
      return std::any_of(actual.begin(), actual.end(), [&](const Value& present) {
        return matches(wanted, present, Match::Exact);
      });
    });
  }
  if (expected.size() != actual.size()) return false;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (!matches(expected[i], actual[i], match)) return false;
  }
  return true;
}

const Value* findEntry(const ValueMap& map, const std::string& key) {
  for (const auto& [name, value] : map) {
    if (name == key) return &value;
  }
  return nullptr;
}

bool mapsMatch(const ValueMap& expected, const ValueMap& actual, Match match) {
  if (match == Match::Exact && expected.size() != actual.size()) return false;
  return std::all_of(expected.begin(), expected.end(), [&](const auto& entry) {
    const Value* present = findEntry(actual, entry.first);
    return present != nullptr && matches(entry.second, *present, match);
  });
}

template <typename Scalar, typename Composite>
std::string join(const std::vector<Composite>& items, char open, char close, Scalar write) {
  std::string out(1, open);
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ", ";
    out += write(items[i]);
  }
  out += close;
  return out;
}

}  // namespace

bool Value::isNumber() const {
  return std::holds_alternative<long long>(data) || std::holds_alternative<double>(data);
}

double Value::number() const {
  if (const auto* whole = std::get_if<long long>(&data)) return static_cast<double>(*whole);
  if (const auto* real = std::get_if<double>(&data)) return *real;
  return 0;
}

const Value* Value::find(const std::string& key) const {
  const ValueMap* entries = map();
  return entries != nullptr ? findEntry(*entries, key) : nullptr;
}

bool matches(const Value& expected, const Value& actual, Match match) {
  if (expected.isNumber() || actual.isNumber()) {
    return expected.isNumber() && actual.isNumber() && numbersMatch(expected, actual);
  }
  if (expected.data.index() != actual.data.index()) return false;
  if (const ValueList* list = expected.list()) return listsMatch(*list, *actual.list(), match);
  if (const ValueMap* map = expected.map()) return mapsMatch(*map, *actual.map(), match);
  if (const std::string* text = expected.text()) return *text == *actual.text();
  if (const bool* flag = std::get_if<bool>(&expected.data))
    return *flag == std::get<bool>(actual.data);
  return true;  // both none
}

Value lookedAt(const Value& expected, const Value& actual, Match match) {
  if (match != Match::Partial) return actual;
  if (expected.map() != nullptr && actual.map() != nullptr) {
    ValueMap shown;
    for (const auto& [key, wanted] : *expected.map()) {
      if (const Value* present = findEntry(*actual.map(), key)) {
        shown.emplace_back(key, lookedAt(wanted, *present, match));
      }
    }
    return shown;
  }
  if (expected.list() != nullptr && actual.list() != nullptr &&
      expected.list()->size() == actual.list()->size()) {
    ValueList shown;
    for (std::size_t i = 0; i < actual.list()->size(); ++i) {
      shown.push_back(lookedAt((*expected.list())[i], (*actual.list())[i], match));
    }
    return shown;
  }
  return actual;
}

std::string toText(const Value& value) {
  struct Writer {
    std::string operator()(std::monostate) const { return "none"; }
    std::string operator()(bool flag) const { return flag ? "true" : "false"; }
    std::string operator()(long long number) const { return std::to_string(number); }
    std::string operator()(double number) const { return numberText(number); }
    std::string operator()(const std::string& text) const {
      return isPlain(text) ? text : jsonString(text);
    }
    std::string operator()(const ValueList& list) const {
      return join(list, '[', ']', [](const Value& item) { return toText(item); });
    }
    std::string operator()(const ValueMap& map) const {
      return join(map, '{', '}',
                  [](const auto& entry) { return entry.first + ": " + toText(entry.second); });
    }
  };
  return std::visit(Writer{}, value.data);
}

std::string toJson(const Value& value) {
  struct Writer {
    std::string operator()(std::monostate) const { return "null"; }
    std::string operator()(bool flag) const { return flag ? "true" : "false"; }
    std::string operator()(long long number) const { return std::to_string(number); }
    std::string operator()(double number) const {
      return std::isfinite(number) ? numberText(number) : "null";
    }
    std::string operator()(const std::string& text) const { return jsonString(text); }
    std::string operator()(const ValueList& list) const {
      return join(list, '[', ']', [](const Value& item) { return toJson(item); });
    }
    std::string operator()(const ValueMap& map) const {
      return join(map, '{', '}', [](const auto& entry) {
        return jsonString(entry.first) + ": " + toJson(entry.second);
      });
    }
  };
  return std::visit(Writer{}, value.data);
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

}  // namespace qv::sim

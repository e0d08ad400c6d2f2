// Values of observable state and of expectations: none, booleans, integers, reals, text, lists
// and maps. One type on both sides of an expectation, written the same way in the trace, in JSON
// lines and across the app-process protocol.
#pragma once

#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace qv::sim {

struct Value;
using ValueList = std::vector<Value>;
using ValueMap = std::vector<std::pair<std::string, Value>>;  // keys in their given order

struct Value {
  std::variant<std::monostate, bool, long long, double, std::string, ValueList, ValueMap> data;

  Value() = default;
  Value(bool flag) : data(flag) {}
  Value(int number) : data(static_cast<long long>(number)) {}
  Value(long number) : data(static_cast<long long>(number)) {}
  Value(long long number) : data(number) {}
  Value(double number) : data(number) {}
  Value(const char* text) : data(std::string(text)) {}
  Value(std::string text) : data(std::move(text)) {}
  Value(ValueList list) : data(std::move(list)) {}
  Value(ValueMap map) : data(std::move(map)) {}

  bool isNone() const { return std::holds_alternative<std::monostate>(data); }
  bool isNumber() const;
  double number() const;  // 0 unless a number
  const std::string* text() const { return std::get_if<std::string>(&data); }
  const ValueList* list() const { return std::get_if<ValueList>(&data); }
  const ValueMap* map() const { return std::get_if<ValueMap>(&data); }
  // The entry of a map, or nullptr.
  const Value* find(const std::string& key) const;
};

// How an expected value meets the actual one. Numbers of either kind compare by value (within a
// millionth); text never equals a number.
enum class Match {
  Exact,     // equal throughout
  Partial,   // maps need only the expected keys, at every depth; lists keep their length
  Includes,  // every expected list element is among the actual list's elements
};

bool matches(const Value& expected, const Value& actual, Match match);

// The part of `actual` an expectation looks at, to show beside it: under Partial, maps keep only
// the expected keys (at every depth); otherwise all of it.
Value lookedAt(const Value& expected, const Value& actual, Match match);

// One line, as YAML's flow style writes it: none, true, 120, 0.25, running, "two words", [a, b],
// {title: Driftlane}. Text is quoted when it would read as something else.
std::string toText(const Value& value);

std::string toJson(const Value& value);
std::string jsonString(const std::string& text);

}  // namespace qv::sim

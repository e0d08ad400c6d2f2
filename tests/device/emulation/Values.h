// The case file's typed values ({bool: b}, {double: x}, {time: [v, s]}, {object: label}, null,
// ...), read from YAML, converted to and from the C++ types of a call, and printed as JSON.
#pragma once

#include <objc/runtime.h>
#include <yaml-cpp/yaml.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "port/CoreMedia/CMTime.h"
#include "tests/device/emulation/Json.h"

namespace quorvane::emulation {

// A case that cannot be run as written: the runner reports it and exits non-zero.
struct CaseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Value {
  std::string type;  // "bool", "int", "long", "int64", "uint64", "float", "double", "time",
                     // "string", "object", or "null"
  YAML::Node node;   // the value as written, for the scalar and time kinds
};

// Reads {type: value} or null; anything else is a CaseError naming what was found.
Value readValue(const YAML::Node& node);

// Objects the case names: "self", "device", "format I", "range I.J", "session".
id objectForLabel(const std::string& label);
void setSelf(id self);

// The typed JSON of an object: null for nil, {string: text} for a string, {object: label} for
// an object the case names.
std::string printedObject(id value);
std::string printedTime(CMTime value);

// The typed JSON of a C++ value of the case's type `type`.
template <typename T>
std::string printed(const std::string& type, T value) {
  if constexpr (std::is_same_v<T, id>) {
    return printedObject(value);
  } else if constexpr (std::is_same_v<T, CMTime>) {
    return printedTime(value);
  } else if constexpr (std::is_floating_point_v<T>) {
    return "{" + jsonString(type) + ": " + jsonNumber(static_cast<double>(value)) + "}";
  } else if constexpr (std::is_same_v<T, BOOL>) {
    return "{\"bool\": " + jsonBool(value != NO) + "}";
  } else {
    return "{" + jsonString(type) + ": " + std::to_string(value) + "}";
  }
}

// The C++ value of a typed value, for a call's argument or a stock answer.
id objectValue(const Value& value);
CMTime timeValue(const Value& value);

template <typename T>
T converted(const Value& value) {
  if constexpr (std::is_same_v<T, id>) {
    return objectValue(value);
  } else if constexpr (std::is_same_v<T, CMTime>) {
    return timeValue(value);
  } else if constexpr (std::is_same_v<T, BOOL>) {
    return value.node.as<bool>() ? YES : NO;
  } else {
    return value.node.as<T>();
  }
}

}  // namespace quorvane::emulation

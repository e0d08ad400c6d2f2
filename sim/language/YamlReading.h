// Reading values out of a scenario's YAML tree, with errors that name the file and the line.
#pragma once

#include <yaml-cpp/yaml.h>

#include <initializer_list>
#include <string>

#include "sim/language/Scenario.h"
#include "sim/language/Value.h"

namespace qv::sim {

// A plain (unquoted) scalar as the scenario language reads it: none, a boolean, a number or text.
Value plainScalar(const std::string& text);

class YamlReading {
 public:
  explicit YamlReading(std::string file) : file_(std::move(file)) {}

  const std::string& file() const { return file_; }
  Location at(const YAML::Node& node) const;
  [[noreturn]] void fail(const YAML::Node& node, const std::string& problem) const;

  // A map whose keys are all among `known`; `what` names it in messages.
  void expectKeys(const YAML::Node& map, std::initializer_list<const char*> known,
                  const std::string& what) const;
  YAML::Node required(const YAML::Node& map, const char* key, const std::string& what) const;

  std::string text(const YAML::Node& node, const std::string& what) const;
  double number(const YAML::Node& node, const std::string& what, double low, double high) const;

  // Plain scalars read as YAML's core schema does, with `none` for nothing; quoted scalars are
  // always text.
  Value value(const YAML::Node& node) const;

 private:
  Value valueAt(const YAML::Node& node, int depth) const;
  std::string file_;
};

}  // namespace qv::sim

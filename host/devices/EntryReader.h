// Reading one catalog entry from a YAML tree, field by field, with errors that say where: the
// file, the line, the entry and the field.
#pragma once

#include <yaml-cpp/yaml.h>

#include <initializer_list>
#include <string>

namespace qv::host {

class EntryReader {
 public:
  // `kind` is "device" or "system"; the entry's name is "(unnamed)" until `setName`.
  EntryReader(std::string file, std::string kind, const YAML::Node& entry);

  void setName(std::string name) { name_ = std::move(name); }

  // Raises CatalogError: "file:line: kind "name": field "field": problem".
  [[noreturn]] void fail(const YAML::Node& at, const std::string& field,
                         const std::string& problem) const;

  // The entry's value under `key`; `field` names it in messages (a path such as
  // "back_camera[2].width"). A missing key is an error.
  YAML::Node required(const YAML::Node& map, const char* key, const std::string& field) const;

  // A map whose keys are all among `known`.
  void expectKeys(const YAML::Node& map, std::initializer_list<const char*> known,
                  const std::string& field) const;
  void expectSequence(const YAML::Node& node, const std::string& field) const;

  std::string text(const YAML::Node& node, const std::string& field) const;  // non-empty
  double number(const YAML::Node& node, const std::string& field, double low, double high) const;
  long long whole(const YAML::Node& node, const std::string& field, long long low,
                  long long high) const;
  bool flag(const YAML::Node& node, const std::string& field) const;

 private:
  std::string file_;
  std::string kind_;
  std::string name_ = "(unnamed)";
  int entryLine_;
};

}  // namespace qv::host

#include "sim/language/YamlWriting.h"

#include "sim/language/YamlReading.h"

namespace qv::sim {
namespace {

// Quoted text stays text; plain text is quoted only where it would read as something else.
void emitScalar(YAML::Emitter& out, const YAML::Node& node) {
  const std::string& text = node.Scalar();
  const Value plain = plainScalar(text);
  const bool readsAsItself = plain.text() != nullptr && *plain.text() == text;
  if (node.Tag() == "!" && !readsAsItself) {
    out << YAML::DoubleQuoted << text;
  } else {
    out << text;
  }
}

void emit(YAML::Emitter& out, const YAML::Node& node) {
  switch (node.Type()) {
    case YAML::NodeType::Scalar:
      emitScalar(out, node);
      break;
    case YAML::NodeType::Sequence:
      out << YAML::BeginSeq;
      for (const YAML::Node& item : node) emit(out, item);
      out << YAML::EndSeq;
      break;
    case YAML::NodeType::Map:
      out << YAML::BeginMap;
      for (const auto& entry : node) {
        out << YAML::Key;
        emit(out, entry.first);
        out << YAML::Value;
        emit(out, entry.second);
      }
      out << YAML::EndMap;
      break;
    default:
      out << YAML::Null;
  }
}

std::string flow(const YAML::Node& node) {
  YAML::Emitter out;
  out << YAML::Flow;
  emit(out, node);
  return out.c_str();
}

YAML::Node textNode(const std::string& text) {
  YAML::Node node(text);
  node.SetTag("!");
  return node;
}

}  // namespace

std::string stepLine(const YAML::Node& step) {
  if (!step.IsMap() || step.size() != 1) return flow(step);
  const auto entry = step.begin();
  const std::string name = entry->first.Scalar();
  if (!entry->second || entry->second.IsNull()) return name;
  return name + ": " + flow(entry->second);
}

std::string stepLine(const std::string& name, const std::map<std::string, YAML::Node>& given,
                     const std::vector<std::pair<std::string, std::string>>& settled) {
  YAML::Node fields(YAML::NodeType::Map);
  for (const auto& [field, value] : given) fields[field] = value;
  for (const auto& [field, value] : settled) fields[field] = textNode(value);
  return name + ": " + flow(fields);
}

std::string textScalar(const std::string& text) {
  return flow(textNode(text));
}

std::string savedScenario(const std::string& origin, const std::string& device,
                          const std::string& system, host::LibraryChoice library,
                          const std::vector<std::string>& steps) {
  std::string flag;
  if (library == host::LibraryChoice::iOS7) flag = " --library ios7";
  if (library == host::LibraryChoice::iOS8) flag = " --library ios8";
  std::string text = "# Steps " + origin + "; quorvane-sim run FILE" + flag +
                     " replays them.\ndevice: " + textScalar(device) + "\n";
  if (!system.empty()) text += "system: " + textScalar(system) + "\n";
  text += "steps:\n";
  for (const std::string& step : steps) text += "  - " + step + "\n";
  return text;
}

}  // namespace qv::sim

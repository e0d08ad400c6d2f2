#include "sim/language/ScenarioParser.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "host/App.h"
#include "sim/language/StepKinds.h"
#include "sim/language/YamlReading.h"
#include "sim/language/YamlWriting.h"

namespace qv::sim {
namespace {

using YAML::Node;

// Clips are made at set-up, frame by frame: these keep that to seconds.
constexpr int kLargestSide = 4096;
constexpr int kMostFrames = 36'000;
// Settings files run to a few hundred bytes; this keeps a wrong path from filling memory.
constexpr std::uintmax_t kLargestSettingsFile = 1 << 20;
// Minutes of a phone's video; the album copies a clip whole.
constexpr std::uintmax_t kLargestClipFile = std::uintmax_t{200} << 20;

std::string unknownDevice(const host::Catalog& catalog, const std::string& name) {
  std::vector<std::string> known;
  for (const host::Device& device : catalog.devices()) known.push_back(device.name);
  return "unknown device '" + name + "' (the catalog has: " + listNames(known) + ")";
}

std::string unknownSystem(const host::Catalog& catalog, const std::string& version) {
  std::vector<std::string> known;
  for (const host::SystemRelease& release : catalog.systems()) known.push_back(release.version);
  return "unknown system version '" + version + "' (the catalog has: " + listNames(known) + ")";
}

class Parser {
 public:
  // Relative paths in the scenario are taken from `base`.
  Parser(const std::string& text, const std::string& file, const host::Catalog& catalog,
         std::filesystem::path base)
      : text_(text), yaml_(file), catalog_(catalog), base_(std::move(base)) {}

  Scenario parse() {
    Node root = load();
    if (!root.IsMap()) yaml_.fail(root, "a scenario is a map with a device and steps");
    yaml_.expectKeys(
        root, {"description", "device", "system", "pane", "settings", "clips", "remove", "steps"},
        "the scenario");
    Scenario scenario;
    scenario.file = yaml_.file();
    if (root["description"]) scenario.description = yaml_.text(root["description"], "description");
    scenario.device = device(yaml_.required(root, "device", "the scenario"));
    if (root["system"]) scenario.device.system = system(root["system"]);
    if (root["pane"]) scenario.pane = paneKind(root["pane"]);
    if (root["settings"]) scenario.settings = settings(root["settings"], "settings");
    if (root["clips"]) scenario.clips = clips(root["clips"]);
    if (root["remove"]) scenario.removals = removals(root["remove"]);
    scenario.steps = steps(yaml_.required(root, "steps", "the scenario"));
    return scenario;
  }

  // One step on its own; a line copied from a file's list of steps keeps its dash.
  Step parseStep() {
    Node node = load();
    if (node.IsSequence() && node.size() == 1) node = node[0];
    return step(node);
  }

 private:
  Node load() {
    try {
      return YAML::Load(text_);
    } catch (const YAML::Exception& e) {
      throw ScenarioError({yaml_.file(), e.mark.line + 1}, "not YAML: " + e.msg);
    }
  }

  // Setup.

  host::Device device(const Node& node) {
    if (node.IsMap()) return inlineDevice(node);
    const std::string name = yaml_.text(node, "device");
    if (const host::Device* found = catalog_.device(name)) return *found;
    yaml_.fail(node, unknownDevice(catalog_, name));
  }

  // An inline device is a catalog entry written in the scenario: the catalog reads it, from its
  // own lines, so that its errors name the scenario's lines.
  host::Device inlineDevice(const Node& node) {
    const YAML::Mark mark = node.Mark();
    std::size_t end = text_.find('\n', static_cast<std::size_t>(mark.pos));
    while (end != std::string::npos && end + 1 < text_.size() && !startsEntry(text_[end + 1])) {
      end = text_.find('\n', end + 1);
    }
    std::string entry(static_cast<std::size_t>(mark.line), '\n');
    entry += std::string(static_cast<std::size_t>(mark.column), ' ');
    entry += text_.substr(static_cast<std::size_t>(mark.pos),
                          end == std::string::npos ? std::string::npos : end - mark.pos);
    try {
      return host::parseDevice(entry, yaml_.file(), catalog_.systems());
    } catch (const host::CatalogError& e) {
      throw ScenarioError(e.what());
    }
  }

  static bool startsEntry(char c) { return c != ' ' && c != '\t' && c != '#' && c != '\n'; }

  host::SystemRelease system(const Node& node) {
    const std::string version = yaml_.text(node, "system");
    if (const host::SystemRelease* found = catalog_.system(version)) return *found;
    yaml_.fail(node, unknownSystem(catalog_, version));
  }

  SettingsFile settings(const Node& node, const std::string& what) {
    SettingsFile file;
    if (node.IsScalar() && node.Scalar() == "none") return file;  // no file
    if (!node.IsMap()) yaml_.fail(node, what + " takes values, raw, file or none");
    yaml_.expectKeys(node, {"values", "format", "raw", "file"}, what);
    if (node["file"]) {
      if (node.size() > 1) yaml_.fail(node, what + " has a file and nothing else");
      return copiedFile(node["file"], what);
    }
    if (node["raw"]) {
      if (node["values"] || node["format"]) yaml_.fail(node, what + " has either raw or values");
      if (!node["raw"].IsScalar()) yaml_.fail(node["raw"], what + " raw should be text");
      file.kind = SettingsFile::Kind::Raw;
      file.raw = node["raw"].Scalar();
      return file;
    }
    const Node values = yaml_.required(node, "values", what);
    if (!values.IsMap()) yaml_.fail(values, what + " values should be a map of keys to values");
    file.kind = SettingsFile::Kind::Values;
    for (const auto& entry : values) {
      const Value value = yaml_.value(entry.second);
      if (value.isNone() || value.list() || value.map()) {
        yaml_.fail(entry.second,
                   "setting '" + entry.first.Scalar() + "' should be a boolean, a number or text");
      }
      file.values.emplace_back(entry.first.Scalar(), value);
    }
    if (node["format"]) {
      const std::string format = yaml_.text(node["format"], what + " format");
      if (format != "xml" && format != "binary") {
        yaml_.fail(node["format"], what + " format should be xml or binary, not " + format);
      }
      file.format = format == "xml" ? SettingsFile::Format::Xml : SettingsFile::Format::Binary;
    }
    return file;
  }

  // A settings file written elsewhere, read now so that a missing file stops the scenario before
  // anything runs; the pane copies its bytes as they are.
  SettingsFile copiedFile(const Node& node, const std::string& what) {
    const std::string given = yaml_.text(node, what + " file");
    const std::filesystem::path path = std::filesystem::absolute(base_ / given).lexically_normal();
    const std::string named = what + " file '" + given + "' (" + path.string() + ")";
    std::error_code error;
    if (!std::filesystem::exists(path, error)) yaml_.fail(node, named + " does not exist");
    if (!std::filesystem::is_regular_file(path, error)) yaml_.fail(node, named + " is not a file");
    std::ifstream in(path, std::ios::binary);
    SettingsFile file;
    file.kind = SettingsFile::Kind::File;
    file.path = path.string();
    file.raw.resize(kLargestSettingsFile + 1);
    in.read(file.raw.data(), static_cast<std::streamsize>(file.raw.size()));
    if (in.bad() || !in.is_open()) {
      yaml_.fail(node, named + " cannot be read: " + std::strerror(errno));
    }
    file.raw.resize(static_cast<std::size_t>(in.gcount()));
    if (file.raw.size() > kLargestSettingsFile) {
      yaml_.fail(node, named + " is larger than a settings file can be (1 MiB)");
    }
    return file;
  }

  std::vector<Clip> clips(const Node& node) {
    if (!node.IsSequence()) yaml_.fail(node, "clips should be a list");
    std::vector<Clip> all;
    std::set<std::string> used;
    for (const Node& item : node) {
      all.push_back(clip(item, all.size() + 1));
      if (!used.insert(all.back().name).second)
        yaml_.fail(item, "two clips named " + all.back().name);
    }
    return all;
  }

  // A clip of the album: copied from a file, or made with the rate, length and size given;
  // `number` names a made one that has no name.
  Clip clip(const Node& item, std::size_t number) {
    if (!item.IsMap())
      yaml_.fail(item, "a clip is a map with a file, or a frame_rate, duration and size");
    yaml_.expectKeys(item, {"name", "frame_rate", "duration", "size", "file"}, "a clip");
    Clip clip;
    char numbered[32];
    std::snprintf(numbered, sizeof numbered, "IMG_%04zu.MOV", number);
    if (item["file"]) {
      clip.file = existingFile(item);
      clip.fileAsWritten = yaml_.text(item["file"], "clip file");
    }
    const std::string fallback =
        clip.file.empty() ? numbered : std::filesystem::path(clip.file).filename().string();
    clip.name = item["name"] ? yaml_.text(item["name"], "clip name") : fallback;
    if (clip.name.find('/') != std::string::npos || clip.name[0] == '.') {
      yaml_.fail(item["name"], "a clip name is a plain file name, not '" + clip.name + "'");
    }
    if (!clip.file.empty()) return clip;
    clip.frameRate =
        yaml_.number(yaml_.required(item, "frame_rate", "a clip"), "frame_rate", 1, 1000);
    clip.duration =
        yaml_.number(yaml_.required(item, "duration", "a clip"), "duration", 0.01, kLongestClip);
    if (clip.duration * clip.frameRate > kMostFrames) {
      yaml_.fail(item, "a clip has at most " + std::to_string(kMostFrames) + " frames");
    }
    size(yaml_.required(item, "size", "a clip"), clip);
    return clip;
  }

  // add_clip: a clip as the setup's list writes one, with its file's path and its name settled.
  AddClip addedClip(const Node& body, std::string& written) {
    const Clip added = clip(body, 1);
    std::vector<std::pair<std::string, std::string>> settled{{"name", added.name}};
    if (!added.file.empty()) settled.emplace_back("file", added.file);
    std::map<std::string, Node> given;
    for (const auto& entry : body) given[entry.first.Scalar()] = entry.second;
    written = stepLine("add_clip", given, settled);
    return AddClip{added};
  }

  // A clip's file, relative to the scenario file; it must exist, and stand alone.
  std::string existingFile(const Node& item) {
    for (const char* key : {"frame_rate", "duration", "size"}) {
      if (item[key]) yaml_.fail(item[key], std::string("a clip from a file takes no ") + key);
    }
    const std::string given = yaml_.text(item["file"], "clip file");
    std::filesystem::path path(given);
    if (path.is_relative()) path = std::filesystem::path(yaml_.file()).parent_path() / path;
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
      yaml_.fail(item["file"], "no clip file " + path.string());
    }
    if (std::filesystem::file_size(path, error) > kLargestClipFile) {
      yaml_.fail(item["file"],
                 "clip file " + path.string() + " is larger than a clip can be (200 MiB)");
    }
    return std::filesystem::absolute(path, error).string();
  }

  void size(const Node& node, Clip& clip) {
    static const std::regex kSize(R"((\d{2,4})x(\d{2,4}))");
    std::smatch parts;
    const std::string text = yaml_.text(node, "size");
    if (!std::regex_match(text, parts, kSize)) yaml_.fail(node, "size should read as 1280x720");
    clip.width = std::stoi(parts[1]);
    clip.height = std::stoi(parts[2]);
    if (clip.width < 16 || clip.height < 16 || clip.width > kLargestSide ||
        clip.height > kLargestSide || clip.width % 2 || clip.height % 2) {
      yaml_.fail(node, "a clip's width and height are even numbers from 16 to 4096");
    }
  }

  std::vector<host::Removal> removals(const Node& node) {
    if (!node.IsSequence()) yaml_.fail(node, "remove should be a list of classes and methods");
    std::vector<host::Removal> all;
    for (const Node& item : node) {
      host::Removal removal;
      const std::string text = yaml_.text(item, "remove");
      if (!host::parseRemoval(text, removal)) {
        yaml_.fail(item,
                   "remove takes a class (CAMCaptureController) or a method "
                   "(-[CAMCaptureController mogulFrameRate], +[Class selector]), not '" +
                       text + "'");
      }
      if (!host::isKnownHostClass(removal.className)) {
        yaml_.fail(item, "unknown host class '" + removal.className + "'");
      }
      all.push_back(removal);
    }
    return all;
  }

  PaneKind paneKind(const Node& node) {
    const std::string kind = yaml_.text(node, "pane");
    if (kind != "bundle" && kind != "plain") {
      yaml_.fail(node,
                 "pane is bundle (the package's) or plain (a specifier list), not '" + kind + "'");
    }
    return kind == "plain" ? PaneKind::Plain : PaneKind::Bundle;
  }

  // Steps.

  std::vector<Step> steps(const Node& node) {
    if (!node.IsSequence() || node.size() == 0) yaml_.fail(node, "steps should be a list of steps");
    std::vector<Step> all;
    for (const Node& item : node) all.push_back(step(item));
    return all;
  }

  Step step(const Node& item) {
    Node body;
    std::string name;
    if (item.IsScalar()) {
      name = item.Scalar();
    } else if (item.IsMap() && item.size() == 1) {
      name = item.begin()->first.Scalar();
      body = item.begin()->second;
    } else {
      yaml_.fail(item, "a step is one name with its fields, such as '- launch: Camera'");
    }
    Step step{yaml_.at(item), name, {}, stepLine(item)};
    if (name == "expect") {
      step.action = readExpect(yaml_, item, body);
    } else if (name == "settings") {
      if (item.IsScalar() || body.IsNull())
        yaml_.fail(item, "the settings step takes values, raw, file or none");
      const SettingsFile file = settings(body, "the settings step");
      if (file.kind == SettingsFile::Kind::File)
        step.written = stepLine(name, {}, {{"file", file.path}});
      step.action = ChangeSettings{file};
    } else if (name == "add_clip") {
      if (!body.IsMap())
        yaml_.fail(item, "add_clip takes a clip: {file: PATH} or {frame_rate, duration, size}");
      step.action = addedClip(body, step.written);
    } else {
      step.action = ordinaryStep(item, name, body, step.written);
    }
    return step;
  }

  Action ordinaryStep(const Node& item, const std::string& name, const Node& body,
                      std::string& written) {
    const auto& kinds = stepKinds();
    const auto kind =
        std::find_if(kinds.begin(), kinds.end(), [&](const StepKind& k) { return k.name == name; });
    if (kind == kinds.end()) {
      std::vector<std::string> known{"settings", "expect", "add_clip"};
      for (const StepKind& k : kinds) known.push_back(k.name);
      std::sort(known.begin(), known.end());
      yaml_.fail(item, "unknown step '" + name + "' (steps: " + listNames(known) + ")");
    }
    Fields fields{yaml_, item, name, {}, {}};
    if (body && body.IsMap()) {
      for (const auto& entry : body) {
        const std::string field = entry.first.Scalar();
        if (std::find(kind->fields.begin(), kind->fields.end(), field) == kind->fields.end()) {
          yaml_.fail(entry.first, "unknown field '" + field + "' in " + name +
                                      " (fields: " + listNames(kind->fields) + ")");
        }
        fields.given[field] = entry.second;
      }
    } else if (body && !yaml_.value(body).isNone()) {
      if (!body.IsScalar()) yaml_.fail(body, name + " takes " + kind->fields[0] + " or a map");
      fields.given[kind->fields[0]] = body;
    }
    for (const std::string& field : kind->required) {
      if (!fields.has(field)) yaml_.fail(item, "missing field '" + field + "' in " + name);
    }
    Action action = kind->build(fields);
    if (!fields.settled.empty()) written = stepLine(name, fields.given, fields.settled);
    return action;
  }

  const std::string& text_;
  YamlReading yaml_;
  const host::Catalog& catalog_;
  std::filesystem::path base_;
};

}  // namespace

std::optional<std::string> appName(const std::string& written) {
  if (written == "Photos") return host::kPhotosApp;
  if (!host::isKnownApp(written)) return std::nullopt;
  return written;
}

std::string unknownApp(const std::string& written) {
  return "unknown app '" + written + "' (apps: Camera, MobileSlideShow)";
}

Scenario readScenario(const std::string& path, const host::Catalog& catalog) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScenarioError(path + ": cannot be read");
  std::ostringstream text;
  text << in.rdbuf();
  return parseScenario(text.str(), path, catalog);
}

Scenario parseScenario(const std::string& text, const std::string& file,
                       const host::Catalog& catalog) {
  return Parser(text, file, catalog, std::filesystem::path(file).parent_path()).parse();
}

Step parseStep(const std::string& line, const Location& where, const std::string& base,
               const host::Catalog& catalog) {
  // Blank lines before the step make the reader's line numbers those of `where`.
  const std::string text =
      std::string(static_cast<std::size_t>(std::max(0, where.line - 1)), '\n') + line;
  return Parser(text, where.file, catalog, base).parseStep();
}

host::Device catalogDevice(const host::Catalog& catalog, const std::string& name,
                           const std::string& system) {
  const host::Device* found = catalog.device(name);
  if (found == nullptr) throw ScenarioError(unknownDevice(catalog, name));
  host::Device device = *found;
  if (system.empty()) return device;
  const host::SystemRelease* release = catalog.system(system);
  if (release == nullptr) throw ScenarioError(unknownSystem(catalog, system));
  device.system = *release;
  return device;
}

}  // namespace qv::sim

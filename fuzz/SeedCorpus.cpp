// Writes the fuzz targets' seed corpora into OUT/<target>/ with the project's own writers: the
// settings files of every shipped scenario as the settings pane writes them, in XML and binary;
// the shipped scenarios, their steps as lines, the device catalog's files; and short clips as the
// camera records them.
//
//   quorvane-fuzz-seeds OUT
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "host/devices/Catalog.h"
#include "platform/AVFoundation/Media.h"
#include "sim/language/ScenarioParser.h"
#include "sim/settings/SettingsPane.h"
#include "sim/supervisor/Sandbox.h"

namespace {

namespace fs = std::filesystem;
using qv::sim::SettingsFile;

const fs::path kSourceDir = QUORVANE_SOURCE_DIR;

class Corpus {
 public:
  Corpus(const fs::path& out, const std::string& target) : folder_(out / target) {
    fs::create_directories(folder_);
  }
  void add(const std::string& bytes) {
    std::ofstream(folder_ / ("seed-" + std::to_string(++count_)), std::ios::binary) << bytes;
  }
  void copy(const fs::path& file) { fs::copy_file(file, folder_ / file.filename(), overwrite); }
  const fs::path& folder() const { return folder_; }

 private:
  static constexpr auto overwrite = fs::copy_options::overwrite_existing;
  fs::path folder_;
  int count_ = 0;
};

std::string contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<fs::path> yamlFiles(const fs::path& folder) {
  std::vector<fs::path> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".yaml") files.push_back(entry.path());
  }
  return files;
}

// Every settings file a scenario leaves: its setup's and each settings change's.
std::vector<SettingsFile> settingsFilesOf(const qv::sim::Scenario& scenario) {
  std::vector<SettingsFile> files{scenario.settings};
  for (const qv::sim::Step& step : scenario.steps) {
    if (const auto* change = std::get_if<qv::sim::ChangeSettings>(&step.action)) {
      files.push_back(change->file);
    }
  }
  return files;
}

// Each settings file as the pane writes it; a file of values in both formats.
void addSettingsFiles(const std::vector<SettingsFile>& files, Corpus& settings) {
  const qv::sim::Sandbox sandbox(std::nullopt);
  for (SettingsFile file : files) {
    if (file.kind == SettingsFile::Kind::Absent) continue;
    for (const SettingsFile::Format format :
         {SettingsFile::Format::Xml, SettingsFile::Format::Binary}) {
      file.format = format;
      qv::sim::writeSettingsFile(sandbox, file);
      settings.add(contents(sandbox.hostPath(qv::sim::kSettingsPath)));
      if (file.kind != SettingsFile::Kind::Values) break;
    }
  }
  std::error_code ignored;
  fs::remove_all(sandbox.root(), ignored);
}

void writeScenarioSeeds(const fs::path& out, const qv::host::Catalog& catalog) {
  Corpus scenarios(out, "ScenarioFuzz");
  Corpus lines(out, "ShellStepFuzz");
  std::vector<SettingsFile> settingsFiles;
  for (const fs::path& file : yamlFiles(kSourceDir / "scenarios")) {
    scenarios.copy(file);
    try {
      const qv::sim::Scenario scenario = qv::sim::readScenario(file.string(), catalog);
      for (const qv::sim::Step& step : scenario.steps) lines.add(step.written);
      for (SettingsFile& settings : settingsFilesOf(scenario)) settingsFiles.push_back(settings);
    } catch (const qv::sim::ScenarioError&) {
      // The scenarios that show how bad files are refused are seeds as they are.
    }
  }
  Corpus settings(out, "SettingsFuzz");
  addSettingsFiles(settingsFiles, settings);
  fs::copy(settings.folder(), Corpus(out, "PropertyListFuzz").folder(),
           fs::copy_options::overwrite_existing);
}

void writeCatalogSeeds(const fs::path& out) {
  Corpus catalog(out, "DeviceCatalogFuzz");
  for (const fs::path& file : yamlFiles(qv::host::defaultCatalogFolder())) catalog.copy(file);
}

// Clips of a few frames: the rates the camera records at, with and without sound.
void writeVideoSeeds(const fs::path& out) {
  Corpus videos(out, "VideoFuzz");
  const qv::media::ClipSpec clips[] = {
      {30, 0.1, 16, 16, true},
      {119.88, 0.05, 16, 16, false},
      {240, 0.025, 32, 16, true},
  };
  int number = 0;
  for (const qv::media::ClipSpec& clip : clips) {
    qv::media::writeClip((videos.folder() / ("clip-" + std::to_string(++number) + ".mov")).string(),
                         clip);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUT\n", argv[0]);
    return 2;
  }
  try {
    const fs::path out = argv[1];
    const qv::host::Catalog catalog = qv::host::Catalog::load(qv::host::defaultCatalogFolder());
    writeScenarioSeeds(out, catalog);
    writeCatalogSeeds(out);
    writeVideoSeeds(out);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", argv[0], e.what());
    return 1;
  }
  return 0;
}

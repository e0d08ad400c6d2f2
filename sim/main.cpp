// quorvane-sim: runs the libraries in simulated Camera and Photos apps from scenario files.
#include <CLI/CLI.hpp>

#include <iostream>
#include <sstream>

#include "host/devices/Catalog.h"
#include "sim/Observables.h"
#include "sim/ScenarioParser.h"
#include "sim/Supervisor.h"

namespace {

using namespace qv::sim;

std::string languageSummary() {
  std::ostringstream out;
  out << "\nScenario steps (docs/scenarios.md has the whole language):\n";
  for (const StepUsage& step : stepUsages()) out << "  " << step.usage << '\n';
  out << "\nState an expect step checks:\n";
  for (const Observable& observable : observables()) {
    out << "  " << observable.key
        << std::string(20 - std::min<std::size_t>(19, observable.key.size()), ' ')
        << observable.help << '\n';
  }
  out << "\nOutput: a trace on standard output, one event a line (virtual seconds, process, "
         "event),\n"
         "or JSON lines with --json; a progress line on standard error for long steps.\n"
         "Exit status: 0 every expectation held; 1 an expectation or step failed, or an app\n"
         "crashed; 2 the scenario cannot be read (file, line and reason) and nothing ran.\n";
  return out.str();
}

int listDevices(const qv::host::Catalog& catalog) {
  for (const qv::host::Device& device : catalog.devices()) {
    std::cout << device.name << " (iOS " << device.system.version << ", "
              << (device.idiom == qv::host::Idiom::Pad ? "pad" : "phone") << ")\n";
  }
  return kPassed;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "quorvane-sim: runs the Quorvane libraries in simulated Camera and Photos apps "
      "from scenario files."};
  app.require_subcommand(1);
  app.footer(languageSummary());

  std::string scenarioFile;
  std::string library;
  RunOptions options;
  options.libraryFolder = QUORVANE_LIBRARY_DIR;
  CLI::App* run = app.add_subcommand("run", "run a scenario file");
  run->add_option("scenario", scenarioFile, "the scenario (YAML)")->required();
  run->add_flag("--json", options.json, "write the trace as JSON lines");
  run->add_option("--snapshots", options.snapshots,
                  "write snapshots into this folder "
                  "(default: snapshots in the root)");
  run->add_option("--root", options.root,
                  "the device's file system: this folder, kept "
                  "(default: a new temporary folder, kept)");
  run->add_flag("--realtime", options.realtime, "pace virtual time with the wall clock");
  run->add_option("--library", library, "map this library whatever the system: ios7 or ios8")
      ->check(CLI::IsMember({"ios7", "ios8"}));
  run->footer(languageSummary());
  CLI::App* devices = app.add_subcommand("devices", "list the device catalog");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? kPassed : kCannotRun;
  }

  if (library == "ios7") options.library = qv::host::LibraryChoice::iOS7;
  if (library == "ios8") options.library = qv::host::LibraryChoice::iOS8;
  std::optional<Scenario> scenario;
  try {
    const qv::host::Catalog catalog = qv::host::Catalog::load(qv::host::defaultCatalogFolder());
    if (devices->parsed()) return listDevices(catalog);
    scenario = readScenario(scenarioFile, catalog);
  } catch (const std::runtime_error& e) {  // a scenario or catalog that cannot be read
    std::cerr << e.what() << '\n';
    return kCannotRun;
  }
  return runScenario(*scenario, options, std::cout);
}

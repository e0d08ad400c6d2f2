// quorvane-sim: runs the libraries in simulated Camera and Photos apps from scenario files.
#include <CLI/CLI.hpp>

#include <iostream>
#include <sstream>

#include "host/devices/Catalog.h"
#include "platform/dispatch/Clock.h"
#include "sim/front/Monkey.h"
#include "sim/front/Report.h"
#include "sim/front/Serve.h"
#include "sim/front/Shell.h"
#include "sim/language/Help.h"
#include "sim/language/ScenarioParser.h"
#include "sim/supervisor/Supervisor.h"

namespace {

using namespace qv::sim;

std::string languageSummary() {
  std::ostringstream out;
  out << "\nScenario steps (docs/scenarios.md has the whole language):\n" << stepsHelp();
  out << "\nState an expect step checks:\n" << stateHelp();
  out << "\nOutput: a trace on standard output, one event a line (virtual seconds, process, "
         "event),\n"
         "or JSON lines with --json; a progress line on standard error for long steps;\n"
         "with --report, the same trace and every snapshot on one HTML page.\n"
         "Exit status: 0 every expectation held; 1 an expectation or step failed, or an app\n"
         "crashed; 2 the scenario cannot be read (file, line and reason) and nothing ran.\n"
         "quorvane-sim shell takes the steps typed one a line (help lists its commands).\n";
  return out.str();
}

std::string monkeyHelp() {
  return "\nEach episode starts a fresh root on a random catalog device and takes random but "
         "valid\n"
         "user actions, each a step line of the scenario language: modes, previews, recording,\n"
         "taps and double taps on the indicator, typing and alert buttons, opening, playing,\n"
         "editing and exporting clips, settings changes that end the apps, launches, quits and\n"
         "waits. After every step: no app crashed; every notice hides within its time and no\n"
         "other overlay stays up; no file of the album is lost or changed; the logs hold only\n"
         "the library's installation lines. Exit status: 0 every invariant held; 1 one broke:\n"
         "the seed, the violation and the shortest step list that still breaks it, written as\n"
         "a scenario file that quorvane-sim run replays to the same failure; 2 cannot run.\n";
}

int listDevices(const qv::host::Catalog& catalog) {
  for (const qv::host::Device& device : catalog.devices()) {
    std::cout << device.name << " (iOS " << device.system.version << ", "
              << (device.idiom == qv::host::Idiom::Pad ? "pad" : "phone") << ")\n";
  }
  return kPassed;
}

// The options that `run` and `shell` share.
struct DeviceFlags {
  RunOptions options;
  std::string library;
  std::optional<std::string> report;

  DeviceFlags() { options.libraryFolder = QUORVANE_LIBRARY_DIR; }

  void addTo(CLI::App& command) {
    command.add_option("--snapshots", options.snapshots,
                       "write snapshots into this folder (default: snapshots in the root)");
    addFilesTo(command);
    command.add_flag("--realtime", options.realtime, "pace virtual time with the wall clock");
    command.add_option("--report", report,
                       "write the trace and the snapshots as one HTML page to this file");
  }

  // The device's file system and the library it maps: what serve takes too.
  void addFilesTo(CLI::App& command) {
    command.add_option("--root", options.root,
                       "the device's file system: this folder, kept "
                       "(default: a new temporary folder, kept)");
    command.add_option("--library", library, "map this library whatever the system: ios7 or ios8")
        ->check(CLI::IsMember({"ios7", "ios8"}));
  }

  RunOptions resolved() const {
    RunOptions resolved = options;
    if (library == "ios7") resolved.library = qv::host::LibraryChoice::iOS7;
    if (library == "ios8") resolved.library = qv::host::LibraryChoice::iOS8;
    return resolved;
  }
};

// A command that starts a session of the shell or serve on the catalog's device it names.
CLI::App* addSessionCommand(CLI::App& app, const std::string& name, const std::string& description,
                            std::string& device, std::string& system) {
  CLI::App* command = app.add_subcommand(name, description);
  command->add_option("--device", device, "a device of the catalog")->capture_default_str();
  command->add_option("--system", system,
                      "a system version of the catalog for the device to run (\"8.1\")");
  return command;
}

// A scenario file that cannot be read still gets its page, so that a report left from an
// earlier run is not taken for this one's.
void reportUnreadable(const std::string& path, const std::string& title, const std::string& error) {
  try {
    Report report(path, title);
    report.add({0, "sim", "rejected", error, {}});
    report.write();
  } catch (const std::runtime_error& e) {
    std::cerr << "quorvane-sim: " << e.what() << '\n';
  }
}

int runFile(const std::string& file, const DeviceFlags& flags, bool json,
            const qv::host::Catalog& catalog) {
  Scenario scenario;
  try {
    scenario = readScenario(file, catalog);
  } catch (const std::runtime_error& e) {
    std::cerr << e.what() << '\n';
    if (flags.report) reportUnreadable(*flags.report, file, e.what());
    return kCannotRun;
  }
  RunOptions options = flags.resolved();
  options.json = json;
  Trace trace(std::cout, json, qv::Clock::kVirtualStart);
  std::optional<Report> report;
  try {
    if (flags.report) report.emplace(*flags.report, file);
  } catch (const std::runtime_error& e) {
    std::cerr << "quorvane-sim: " << e.what() << '\n';
    return kCannotRun;
  }
  if (report) report->listenTo(trace);
  const int status = runScenario(scenario, options, trace);
  return report && !report->write() ? std::max(status, kFailed) : status;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "quorvane-sim: runs the Quorvane libraries in simulated Camera and Photos apps "
      "from scenario files."};
  app.require_subcommand(1);
  app.footer(languageSummary());

  std::string scenarioFile;
  bool json = false;
  DeviceFlags runFlags;
  CLI::App* run = app.add_subcommand("run", "run a scenario file");
  run->add_option("scenario", scenarioFile, "the scenario (YAML)")->required();
  run->add_flag("--json", json, "write the trace as JSON lines");
  runFlags.addTo(*run);
  run->footer(languageSummary());

  ShellOptions shellOptions;
  DeviceFlags shellFlags;
  CLI::App* shell = addSessionCommand(
      app, "shell", "an interactive session: type steps one a line, each taken at once",
      shellOptions.device, shellOptions.system);
  shellFlags.addTo(*shell);
  shell->footer(
      "\nEach line is one step of the scenario language (launch: Camera, expect: {preview: "
      "running}),\ntaken at once, with its trace printed as it happens. Besides the steps:\n"
      "show KEY [APP], save FILE, help, exit. Reads plainly, with no prompt, when standard\n"
      "input is not a terminal. docs/scenarios.md has the whole language.\n");

  ServeOptions serveOptions;
  DeviceFlags serveFlags;
  CLI::App* serve = addSessionCommand(
      app, "serve", "the device in a web page on this machine: click to tap, type, watch the trace",
      serveOptions.device, serveOptions.system);
  serveFlags.addFilesTo(*serve);
  serve->add_option("--port", serveOptions.port, "the port on 127.0.0.1; 0 takes a free one")
      ->capture_default_str()
      ->check(CLI::Range(0, 65535));
  serve->footer(
      "\nPrints \"serving on http://127.0.0.1:PORT/\" and serves the page there, on the loopback\n"
      "address only: the front screen (a click is a tap, a double click a double tap, keys go\n"
      "to the text field in front), a home row for Camera, Photos and Settings, the clock,\n"
      "the trace and the front app's state; \"Save as scenario\" writes what was done as a\n"
      "file that run replays. One page drives the device; others watch. Ctrl-C ends the\n"
      "server and its apps. docs/scenarios.md has more.\n");

  MonkeyOptions monkeyOptions;
  monkeyOptions.libraryFolder = QUORVANE_LIBRARY_DIR;
  std::string monkeyLibrary = "ios8";
  CLI::App* monkey = app.add_subcommand(
      "monkey", "drive both apps with random valid actions, checking invariants after each step");
  monkey->add_option("--seed", monkeyOptions.seed, "the seed of the random actions")
      ->capture_default_str();
  monkey->add_option("--steps", monkeyOptions.steps, "steps in all, across the episodes")
      ->capture_default_str()
      ->check(CLI::Range(1, 1'000'000));
  monkey->add_option("--library", monkeyLibrary, "the library the devices map: ios7 or ios8")
      ->check(CLI::IsMember({"ios7", "ios8"}))
      ->capture_default_str();
  monkey->add_option("--root", monkeyOptions.root,
                     "the episodes' folders and the reproduction go here "
                     "(default: a new temporary folder)");
  monkey->footer(monkeyHelp());

  CLI::App* devices = app.add_subcommand("devices", "list the device catalog");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int status = app.exit(e);
    return status == 0 ? kPassed : kCannotRun;
  }

  std::optional<qv::host::Catalog> catalog;
  try {
    catalog.emplace(qv::host::Catalog::load(qv::host::defaultCatalogFolder()));
  } catch (const std::runtime_error& e) {  // a catalog that cannot be read
    std::cerr << e.what() << '\n';
    return kCannotRun;
  }
  if (devices->parsed()) return listDevices(*catalog);
  if (monkey->parsed()) {
    if (monkeyLibrary == "ios7") monkeyOptions.library = qv::host::LibraryChoice::iOS7;
    return runMonkey(monkeyOptions, *catalog, std::cout);
  }
  if (serve->parsed()) {
    serveOptions.run = serveFlags.resolved();
    return runServe(serveOptions, *catalog);
  }
  if (shell->parsed()) {
    shellOptions.run = shellFlags.resolved();
    shellOptions.report = shellFlags.report;
    return runShell(shellOptions, *catalog);
  }
  return runFile(scenarioFile, runFlags, json, *catalog);
}

#include "sim/front/Shell.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <sstream>

#include "host/App.h"
#include "platform/dispatch/Clock.h"
#include "sim/front/LineReader.h"
#include "sim/front/Report.h"
#include "sim/front/Session.h"
#include "sim/language/Help.h"
#include "sim/language/ScenarioParser.h"
#include "sim/language/YamlWriting.h"

namespace qv::sim {
namespace {

// What the locations of typed lines name, as a file's name does for its lines.
constexpr const char* kShellFile = "shell";
constexpr const char* kPrompt = "quorvane> ";

class Shell;

struct Command {
  const char* name;
  const char* usage;
  void (Shell::*take)(const std::string& argument, const Location& where);
};

class Shell {
 public:
  Shell(const ShellOptions& options, const host::Catalog& catalog)
      : options_(options), catalog_(catalog), trace_(std::cout, false, Clock::kVirtualStart) {
    setup_.file = kShellFile;
    setup_.device = catalogDevice(catalog, options.device, options.system);
    if (options.report) {
      report_.emplace(*options.report, "quorvane-sim shell on " + setup_.device.name);
      report_->listenTo(trace_);
    }
    session_ = std::make_unique<Session>(setup_, options.run, trace_);
  }

  void read(LineReader& reader) {
    if (isatty(STDIN_FILENO)) {
      std::cout << "quorvane-sim shell on " << setup_.device.name << " (iOS "
                << setup_.device.system.version
                << "): one step a line; help lists them, exit or end of input ends the session.\n";
    }
    for (int number = 1; !ended_; ++number) {
      const std::optional<std::string> line = reader.next();
      if (!line) break;
      take(*line, {kShellFile, number});
    }
    if (!ended_ && isatty(STDIN_FILENO)) std::cout << '\n';
  }

  int finish() {
    int status = session_->finish("the session ended");
    if (report_ && !report_->write()) status = std::max(status, kFailed);
    return status;
  }

  static const std::vector<Command>& commands() {
    static const std::vector<Command> all{
        {"show", "show KEY [APP]     print one piece of observable state (APP: Camera)",
         &Shell::show},
        {"save", "save FILE          write the steps so far as a scenario file that run replays",
         &Shell::save},
        {"help", "help               this list", &Shell::help},
        {"exit", "exit               end the session and its apps, as the end of input does",
         &Shell::exit},
    };
    return all;
  }

 private:
  void take(const std::string& line, const Location& where) {
    const std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') return;
    const std::size_t end = line.find_last_not_of(" \t");
    const std::string text = line.substr(start, end - start + 1);
    const std::string word = text.substr(0, text.find_first_of(" \t"));
    for (const Command& command : commands()) {
      if (word != command.name) continue;
      const std::size_t rest = text.find_first_not_of(" \t", word.size());
      (this->*command.take)(rest == std::string::npos ? "" : text.substr(rest), where);
      return;
    }
    step(text, where);
  }

  void step(const std::string& text, const Location& where) {
    Step step;
    try {
      step = parseStep(text, where, "", catalog_);
    } catch (const ScenarioError& e) {
      refuse(e.what());
      return;
    }
    session_->take(step);
    taken_.push_back(step.written);
  }

  // A line that could not be taken: its error, as a scenario file's line would get it.
  void refuse(const std::string& message) {
    std::cerr << message << '\n';
    session_->refuse(message);
  }

  void show(const std::string& argument, const Location& where) {
    std::istringstream words(argument);
    std::string key, app, extra;
    words >> key >> app >> extra;
    if (app.empty()) app = host::kCameraApp;
    const Observable* observable = findObservable(key);
    if (key.empty() || !extra.empty()) {
      return refuse(where.describe() + ": show takes a state and an app: show KEY [APP]");
    }
    if (observable == nullptr) {
      std::string known;
      for (const Observable& o : observables()) known += (known.empty() ? "" : ", ") + o.key;
      return refuse(where.describe() + ": unknown state '" + key + "' (known: " + known + ")");
    }
    const std::optional<std::string> process = appName(app);
    if (!process) return refuse(where.describe() + ": " + unknownApp(app));
    std::string problem;
    const Value value = session_->look(*observable, *process, problem);
    const std::string subject = key + (observable->scope == Scope::Device ? "" : " of " + *process);
    trace_.event(session_->now(), "sim", "show",
                 where.describe() + ": " + subject +
                     (problem.empty() ? " is " + toText(value) : ": " + problem),
                 {{"state", key}, {"value", value}});
  }

  void save(const std::string& argument, const Location& where) {
    if (argument.empty()) return refuse(where.describe() + ": save takes a file: save FILE");
    if (taken_.empty()) return refuse(where.describe() + ": no step to save yet");
    const std::filesystem::path file = std::filesystem::absolute(argument).lexically_normal();
    std::error_code error;
    if (std::filesystem::exists(file, error) && saved_.count(file.string()) == 0) {
      return refuse(where.describe() + ": " + file.string() +
                    " exists; save to a new file (the session overwrites only its own)");
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << scenarioText();
    out.close();
    if (!out) return refuse(where.describe() + ": cannot write " + file.string());
    saved_.insert(file.string());
    std::cout << "saved " << taken_.size() << (taken_.size() == 1 ? " step" : " steps") << " to "
              << file.string() << '\n';
  }

  // The setup and the steps taken, as a file that `run` replays to the same result.
  std::string scenarioText() const {
    return savedScenario("typed in quorvane-sim shell", setup_.device.name, options_.system,
                         options_.run.library, taken_);
  }

  void help(const std::string&, const Location&) {
    std::cout << "Each line is one step, as in a scenario file (docs/scenarios.md):\n"
              << stepsHelp() << "\nCommands of the shell:\n";
    for (const Command& command : commands()) std::cout << "  " << command.usage << '\n';
    std::cout << "\nState that show prints and expect checks:\n" << stateHelp();
  }

  void exit(const std::string&, const Location&) { ended_ = true; }

  const ShellOptions& options_;
  const host::Catalog& catalog_;
  Scenario setup_;
  Trace trace_;
  std::optional<Report> report_;
  std::unique_ptr<Session> session_;
  std::vector<std::string> taken_;  // the steps taken, as `save` writes them
  std::set<std::string> saved_;     // files this session wrote
  bool ended_ = false;
};

Completions completions() {
  Completions words;
  for (const StepUsage& step : stepUsages()) words.commands.push_back(step.name);
  for (const Command& command : Shell::commands()) words.commands.push_back(command.name);
  for (const Observable& observable : observables()) words.keys.push_back(observable.key);
  return words;
}

}  // namespace

int runShell(const ShellOptions& options, const host::Catalog& catalog) {
  const std::unique_ptr<Shell> shell = startSession<Shell>(options, catalog);
  if (shell == nullptr) return kCannotRun;
  const std::unique_ptr<LineReader> reader = openStandardInput(kPrompt, completions());
  shell->read(*reader);
  return shell->finish();
}

}  // namespace qv::sim

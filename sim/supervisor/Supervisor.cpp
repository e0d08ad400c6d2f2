#include "sim/supervisor/Supervisor.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "host/App.h"
#include "host/AppWindow.h"
#include "host/ios8/PhotoLibrary.h"
#include "platform/AVFoundation/Media.h"
#include "platform/CoreFoundation/CoreFoundation.h"
#include "platform/Seams.h"
#include "platform/System/FileSystem.h"
#include "platform/dispatch/Clock.h"
#include "sim/settings/SettingsPane.h"
#include "sim/settings/SettingsScreen.h"
#include "sim/supervisor/AppDefaults.h"
#include "sim/supervisor/Device.h"
#include "sim/supervisor/DeviceSetup.h"
#include "sim/supervisor/Sandbox.h"
#include "sim/supervisor/StepDescriptions.h"

namespace qv::sim {
namespace {

class Runner {
 public:
  Runner(const Scenario& scenario, const RunOptions& options, Sandbox& sandbox, Trace& trace)
      : options_(options),
        sandbox_(sandbox),
        trace_(trace),
        device_(
            {scenario.device, scenario.removals, options.library, sandbox.root(), options.realtime},
            trace, Clock::kVirtualStart),
        pane_(sandbox, host::screenSize(scenario.device.idiom)),
        // From iOS 8 on, Settings hands a plain pane's writes to cfprefsd, which writes the
        // file when it flushes; the package's bundle writes the file itself.
        throughDaemon_(scenario.pane == PaneKind::Plain &&
                       scenario.device.system.generation != host::HostGeneration::iOS7) {}

  void take(const Step& step) {
    ++steps_;
    trace_.event(device_.now(), "sim", "step", step.where.describe() + ": " + describe(step.action),
                 {{"step", step.name}, {"where", step.where.describe()}});
    perform(step);
  }

  Value look(const Observable& observable, const std::string& app, std::string& problem) {
    ValueMap live;
    if (observable.scope == Scope::Live) {
      problem = device_.observe(app, {observable.source}, live);
      if (!problem.empty()) return {};
    }
    return normalized(observable, actualValue(observable, app, live));
  }

  ValueMap lookAll(const std::string& app) {
    ValueList liveKeys;
    for (const Observable& observable : observables()) {
      if (observable.scope == Scope::Live && observable.source == observable.key) {
        liveKeys.push_back(observable.source);
      }
    }
    ValueMap live;
    const bool answered = !app.empty() && device_.observe(app, liveKeys, live).empty();
    ValueMap all;
    for (const Observable& observable : observables()) {
      // A key that reads another's state (log_includes reads log) adds nothing to a listing.
      if (observable.source != observable.key) continue;
      if (app.empty() && observable.scope != Scope::Device) continue;
      if (observable.scope == Scope::Live && !answered) continue;
      all.emplace_back(observable.key, normalized(observable, actualValue(observable, app, live)));
    }
    return all;
  }

  std::string drawScreen(const std::string& screen, const std::string& file, int scale) {
    if (screen == kSettingsScreen) return pane_.snapshot(file, scale);
    return device_.act(screen, "snapshot",
                       ValueMap{{"file", file}, {"scale", scale}, {"quick", true}});
  }

  void advance(double seconds) {
    device_.advanceTo(Clock::offset(device_.now(), Clock::toNanoseconds(seconds)));
  }

  std::int64_t now() const { return device_.now(); }

  void refuse(const std::string& problem) {
    ++refused_;
    trace_.aside(device_.now(), "sim", "rejected", problem);
  }

  int finish(const std::string& reason) {
    trace_.aside(device_.now(), "sim", "closing", "");
    device_.shutdown(reason);
    return summary();
  }

 private:
  void perform(const Step& step) {
    const std::string problem =
        std::visit(Overloaded{
                       [&](const Launch& s) { return launch(s.app); },
                       [&](const Quit& s) { return device_.quit(s.app); },
                       [&](const SetCameraMode& s) {
                         return device_.act(s.app, "camera_mode", static_cast<long long>(s.mode));
                       },
                       [&](const Preview& s) {
                         return device_.act(s.app, s.start ? "start_preview" : "stop_preview", {});
                       },
                       [&](const ChangeSettings& s) { return changeSettings(s.file); },
                       [&](const Wait& s) { return wait(step, s.seconds); },
                       [&](const Snapshot& s) { return snapshot(s); },
                       [&](const Expect& s) { return expect(s); },
                       [&](const AppStep& s) { return appStep(step, s); },
                       [&](const Record& s) { return record(step, s); },
                       [&](const StoreDefault& s) { return storeDefault(s); },
                       [&](const PaneStep& s) { return paneStep(s); },
                       [&](const AddClip& s) { return addClip(s.clip); },
                   },
                   step.action);
    if (!problem.empty()) fail(step.where, problem);
    device_.advanceTo(device_.now());  // what the step set off at this instant
  }

  void fail(const Location& where, const std::string& problem) {
    ++failures_;
    trace_.event(device_.now(), "sim", "failure", "FAILED " + where.describe() + ": " + problem,
                 {{"where", where.describe()}});
  }

  std::string changeSettings(const SettingsFile& file) {
    trace_.event(device_.now(), "settings", "settings", writeSettingsFile(sandbox_, file));
    postSettings();
    return "";
  }

  void postSettings() {
    trace_.event(device_.now(), "settings", "post", std::string("posted ") + kSettingsNotification);
    device_.post(kSettingsNotification);
  }

  // An app brought to the front puts the Settings screen away.
  std::string launch(const std::string& app) {
    if (pane_.isOpen()) {
      pane_.close();
      trace_.event(device_.now(), "settings", "pane", "the Settings screen went to the background");
    }
    return device_.launch(app);
  }

  std::string paneStep(const PaneStep& step) {
    std::string done;
    PaneChange change;
    std::string problem;
    switch (step.kind) {
      case PaneStep::Kind::Open:
        problem = pane_.open(done);
        break;
      case PaneStep::Kind::Close:
        pane_.close();
        done = "closed the Settings screen";
        break;
      case PaneStep::Kind::ScrollTo:
        problem = pane_.scrollTo(step.row);
        break;
      case PaneStep::Kind::Toggle:
        problem = pane_.toggle(step.row, change);
        break;
      case PaneStep::Kind::Type:
        problem = pane_.type(step.row, step.text, change);
        break;
      case PaneStep::Kind::Tap:
        problem = pane_.tap(CGPointMake(step.x, step.y), change, done);
        break;
      case PaneStep::Kind::Flush:
        return flushDaemon();
    }
    if (!problem.empty()) return problem;
    if (!done.empty()) trace_.event(device_.now(), "settings", "pane", done);
    problem = change.key.empty() ? "" : setFromPane(change);
    // The second tap of a double tap lands on what the first one left.
    if (step.kind == PaneStep::Kind::Tap && step.taps == 2 && problem.empty()) {
      PaneStep second = step;
      second.taps = 1;
      return paneStep(second);
    }
    return problem;
  }

  // Settings writes the key, or hands it to cfprefsd, then posts the pane's notification.
  std::string setFromPane(const PaneChange& change) {
    trace_.event(device_.now(), "settings", "pane", change.done);
    if (throughDaemon_) {
      held_.push_back(change);
      trace_.event(device_.now(), "settings", "cfprefsd",
                   "cfprefsd holds " + change.key + " " + toText(change.value) +
                       ": the file has it when cfprefsd flushes");
      postSettings();
      return "";
    }
    try {
      trace_.event(device_.now(), "settings", "settings",
                   setSettingsValue(sandbox_, change.key, change.value));
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    postSettings();
    return "";
  }

  std::string flushDaemon() {
    if (held_.empty()) {
      trace_.event(device_.now(), "settings", "cfprefsd", "cfprefsd holds nothing to write");
      return "";
    }
    try {
      for (const PaneChange& change : held_) {
        trace_.event(device_.now(), "settings", "cfprefsd",
                     "cfprefsd flushed: " + setSettingsValue(sandbox_, change.key, change.value));
      }
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    held_.clear();
    return "";
  }

  std::string addClip(const Clip& clip) {
    std::error_code error;
    if (std::filesystem::exists(sandbox_.hostPath(std::string(kAlbumPath) + "/" + clip.name),
                                error)) {
      return "add_clip: the album already has " + clip.name;
    }
    try {
      putInAlbum(clip, sandbox_, trace_, device_.now());
    } catch (const std::runtime_error& e) {
      return std::string("add_clip: ") + e.what();
    }
    device_.post(host::kAlbumChangedNotification);
    return "";
  }

  std::string storeDefault(const StoreDefault& step) {
    std::string problem;
    const std::string done = writeAppDefault(step.app, step.key, step.value, problem);
    if (problem.empty()) trace_.event(device_.now(), "sim", "defaults", done);
    return problem;
  }

  std::string wait(const Step& step, double seconds) {
    Progress progress("quorvane-sim: " + step.where.describe() + ": wait", seconds);
    device_.advanceTo(Clock::offset(device_.now(), Clock::toNanoseconds(seconds)), &progress);
    return "";
  }

  // What the app shows of long work on standard error is labelled with the step.
  static std::string progressLabel(const Step& step) {
    return "quorvane-sim: " + step.where.describe() + ": " + step.name;
  }

  std::string appStep(const Step& step, const AppStep& action) {
    return device_.act(action.app, action.action,
                       ValueMap{{"argument", action.argument}, {"label", progressLabel(step)}});
  }

  // Starts, lets the time pass as a wait does, and stops: the clip is written at the stop.
  std::string record(const Step& step, const Record& action) {
    std::string problem = device_.act(action.app, "start_recording", {});
    if (!problem.empty()) return problem;
    wait(step, action.seconds);
    return device_.act(action.app, "stop_recording", progressLabel(step));
  }

  std::string snapshot(const Snapshot& step) {
    const std::filesystem::path folder = options_.snapshots
                                             ? std::filesystem::path(*options_.snapshots)
                                             : sandbox_.hostPath("/snapshots");
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const std::string file = std::filesystem::absolute(folder / (step.name + ".png")).string();
    const std::string problem = step.app == kSettingsScreen
                                    ? pane_.snapshot(file)
                                    : device_.act(step.app, "snapshot", file);
    if (problem.empty()) {
      trace_.event(device_.now(), step.app, "snapshot", "snapshot " + file, {{"file", file}});
      snapshotFolder_ = std::filesystem::absolute(folder).string();
    }
    return problem;
  }

  // Expectations.

  std::string expect(const Expect& step) {
    ValueList liveKeys;
    for (const Expectation& check : step.checks) {
      if (check.observable->scope == Scope::Live) liveKeys.push_back(check.observable->source);
    }
    ValueMap live;
    const std::string liveProblem =
        liveKeys.empty() ? "" : device_.observe(step.app, liveKeys, live);
    for (const Expectation& check : step.checks) {
      const Observable& observable = *check.observable;
      const std::string subject =
          observable.key + (observable.scope == Scope::Device ? "" : " of " + step.app);
      ++checks_;
      if (observable.scope == Scope::Live && !liveProblem.empty()) {
        fail(check.where, subject + ": " + liveProblem);
        continue;
      }
      const Value actual = normalized(observable, actualValue(observable, step.app, live));
      const bool passed = matches(check.expected, actual, observable.match);
      const ValueMap fields{{"where", check.where.describe()},
                            {"state", observable.key},
                            {"expected", check.expected},
                            {"actual", actual},
                            {"passed", passed}};
      if (passed) {
        trace_.event(device_.now(), "sim", "expect", "ok: " + subject + " is " + toText(actual),
                     fields);
      } else {
        ++failures_;
        trace_.event(device_.now(), "sim", "expect",
                     "FAILED " + check.where.describe() + ": " + subject + ": expected " +
                         toText(check.expected) + ", got " +
                         toText(lookedAt(check.expected, actual, observable.match)),
                     fields);
      }
    }
    return "";
  }

  Value actualValue(const Observable& observable, const std::string& app, const ValueMap& live) {
    if (observable.scope == Scope::Live) {
      for (const auto& [key, value] : live) {
        if (key == observable.source) return value;
      }
      return {};
    }
    if (observable.source == "running") {
      const std::vector<std::string> names = device_.runningApps();
      return ValueList(names.begin(), names.end());
    }
    if (observable.source == "apps") {
      ValueMap states;
      for (const char* name : {host::kCameraApp, host::kPhotosApp}) {
        const AppRecord* record = device_.latest(name);
        states.emplace_back(name, record ? record->state : "not launched");
      }
      return states;
    }
    if (observable.source == "settings_file") return readSettingsFile(sandbox_);
    if (observable.source == "settings_pane") return pane_.shown();
    if (observable.source == "album") return albumFiles();
    const AppRecord* record = device_.latest(app);
    if (observable.source == "library") {
      return record && !record->library.empty() ? Value(record->library) : Value();
    }
    if (observable.source == "log") {
      return record ? ValueList(record->log.begin(), record->log.end()) : ValueList{};
    }
    return {};
  }

  Value albumFiles() const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry :
         std::filesystem::directory_iterator(sandbox_.hostPath(kAlbumPath), error)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return ValueList(names.begin(), names.end());
  }

  int summary() {
    const int crashes = device_.crashes();
    const bool passed = failures_ == 0 && crashes == 0 && refused_ == 0;
    const auto count = [](std::size_t n, const char* one, const char* many) {
      return std::to_string(n) + " " + (n == 1 ? one : many);
    };
    const std::string text =
        std::string(passed ? "passed: " : "FAILED: ") + count(steps_, "step", "steps") + ", " +
        count(checks_, "check", "checks") + ", " + count(failures_, "failure", "failures") + ", " +
        count(crashes, "crash", "crashes") +
        (refused_ > 0 ? ", " + count(refused_, "line refused", "lines refused") : "");
    trace_.event(device_.now(), "sim", "summary", text,
                 {{"passed", passed},
                  {"failures", failures_},
                  {"crashes", crashes},
                  {"refused", refused_},
                  {"root", sandbox_.root()},
                  {"snapshots", snapshotFolder_.empty() ? Value() : Value(snapshotFolder_)}});
    trace_.event(device_.now(), "sim", "root", "the device's files are kept in " + sandbox_.root());
    if (!snapshotFolder_.empty()) {
      trace_.event(device_.now(), "sim", "snapshots", "snapshots are in " + snapshotFolder_);
    }
    return passed ? kPassed : kFailed;
  }

  const RunOptions& options_;
  Sandbox& sandbox_;
  Trace& trace_;
  Device device_;
  SettingsScreen pane_;
  bool throughDaemon_;
  std::vector<PaneChange> held_;  // the plain pane's writes cfprefsd has not written yet
  int steps_ = 0;
  int refused_ = 0;
  int failures_ = 0;
  int checks_ = 0;
  std::string snapshotFolder_;
};

}  // namespace

struct Session::State {
  State(const Scenario& setup, const RunOptions& options, Trace& trace) : sandbox(options.root) {
    setFileSystemRoot(sandbox.root());  // the supervisor reads the device's files too
    setUp(setup, options, sandbox, trace);
    runner.emplace(setup, options, sandbox, trace);
  }
  Sandbox sandbox;
  std::optional<Runner> runner;
};

Session::Session(const Scenario& setup, const RunOptions& options, Trace& trace)
    : state_(std::make_unique<State>(setup, options, trace)) {}

Session::~Session() = default;

void Session::take(const Step& step) {
  state_->runner->take(step);
}

Value Session::look(const Observable& observable, const std::string& app, std::string& problem) {
  return state_->runner->look(observable, app, problem);
}

ValueMap Session::lookAll(const std::string& app) {
  return state_->runner->lookAll(app);
}

std::string Session::drawScreen(const std::string& screen, const std::string& file, int scale) {
  return state_->runner->drawScreen(screen, file, scale);
}

void Session::advance(double seconds) {
  state_->runner->advance(seconds);
}

const std::string& Session::root() const {
  return state_->sandbox.root();
}

std::int64_t Session::now() const {
  return state_->runner->now();
}

void Session::refuse(const std::string& problem) {
  state_->runner->refuse(problem);
}

int Session::finish(const std::string& reason) {
  return state_->runner->finish(reason);
}

int runScenario(const Scenario& scenario, const RunOptions& options, Trace& trace) {
  std::unique_ptr<Session> session;
  try {
    session = std::make_unique<Session>(scenario, options, trace);
  } catch (const std::runtime_error& e) {
    std::cerr << "quorvane-sim: " << e.what() << '\n';
    return kCannotRun;
  }
  for (const Step& step : scenario.steps) session->take(step);
  return session->finish();
}

int runScenario(const Scenario& scenario, const RunOptions& options, std::ostream& out) {
  Trace trace(out, options.json, Clock::kVirtualStart);
  return runScenario(scenario, options, trace);
}

}  // namespace qv::sim

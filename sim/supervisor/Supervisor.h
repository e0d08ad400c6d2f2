// The supervisor's run of one scenario: it lays out the device's file system, then takes the
// steps one by one, tracing what every process does and checking each expectation.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "host/loader/Loader.h"
#include "sim/language/Scenario.h"
#include "sim/supervisor/Trace.h"

namespace qv::sim {

struct RunOptions {
  bool json = false;
  bool realtime = false;
  std::optional<std::string> root;       // else a new temporary folder
  std::optional<std::string> snapshots;  // else "snapshots" in the root
  host::LibraryChoice library = host::LibraryChoice::BySystem;
  std::string libraryFolder;  // where the built libraries are
};

// Exit statuses.
inline constexpr int kPassed = 0;
inline constexpr int kFailed = 1;     // an expectation or a step failed, or an app crashed
inline constexpr int kCannotRun = 2;  // the scenario cannot be read or the device not set up

// One device, set up as a scenario says, taking steps one at a time: `run` gives it a file's
// steps, the shell the steps typed.
class Session {
 public:
  // Lays out the device's files and traces the setup. Raises std::runtime_error when the device
  // cannot be set up.
  Session(const Scenario& setup, const RunOptions& options, Trace& trace);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  void take(const Step& step);

  // What an expectation of the observable would see now; `problem` says why an app cannot answer.
  Value look(const Observable& observable, const std::string& app, std::string& problem);

  // Every observable of the app that `show` knows, by key, in the table's order: one exchange
  // with the app for all its live state (left out when it cannot answer), and the device's;
  // the device's alone when `app` is empty.
  ValueMap lookAll(const std::string& app);

  // Draws a screen (an app's window, or the Settings screen) into a PNG file at `scale` pixels a
  // point, written for speed over size, outside the trace; answers why it could not.
  std::string drawScreen(const std::string& screen, const std::string& file, int scale);

  // Lets virtual time pass outside any step, as a clock paced by the wall clock does.
  void advance(double seconds);

  // A line the shell could not take, with its error: it fails the session, and the trace's
  // listener hears of it (the error itself is the caller's to show).
  void refuse(const std::string& problem);

  // The device's virtual time.
  std::int64_t now() const;

  // The folder that holds the device's file system.
  const std::string& root() const;

  // Ends the apps still running, for `reason`, and traces the summary; answers the exit status.
  int finish(const std::string& reason = "the scenario ended");

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Runs the scenario's steps, tracing to `trace`; problems that keep the scenario from running go
// to standard error.
int runScenario(const Scenario& scenario, const RunOptions& options, Trace& trace);
// The same, tracing to `out`.
int runScenario(const Scenario& scenario, const RunOptions& options, std::ostream& out);

}  // namespace qv::sim

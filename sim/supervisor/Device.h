// The device's processes, as the supervisor runs them: it launches each app as a forked child
// over a socket pair, carries Darwin notifications between them, answers their `system`
// commands (killall ends its own app processes by process id), notices how each one ends, and
// owns the virtual time, which every app's clock follows in lock step.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/App.h"
#include "sim/supervisor/Protocol.h"
#include "sim/supervisor/Trace.h"

namespace qv::sim {

class Progress;

// An app's answer to a command, read in full.
struct Answer {
  Message type = Message::Done;  // Started, Done or Failed
  Value value;                   // Done: the result; Started: notes on the start
  std::string message;           // Failed: why; Started: why no library was mapped
  std::string library;           // Started: the mapped library's name
  std::string path;              // Started: its install path
};

// One launch of an app, from its start to its end; kept after the end for its log and fate.
struct AppRecord {
  std::string name;
  pid_t pid = -1;
  std::unique_ptr<Channel> channel;  // null once the process ended
  std::optional<std::int64_t> nextDeadline;
  std::string state = "running";  // or why it ended
  std::string library;            // the mapped library's name; empty when none
  std::vector<std::string> log;
  std::string crash;   // the message of a Crashed event
  std::string ending;  // set by whoever ends the process on purpose
  bool crashed = false;

  bool running() const { return channel != nullptr; }
};

struct DeviceOptions {
  host::Device device;
  std::vector<host::Removal> removals;
  host::LibraryChoice library = host::LibraryChoice::BySystem;
  std::string root;
  bool realtime = false;
};

class Device {
 public:
  Device(DeviceOptions options, Trace& trace, std::int64_t start);
  ~Device();

  // Ends the apps still running, for `reason`.
  void shutdown(const std::string& reason = "the scenario ended");
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  std::int64_t now() const { return now_; }

  // Each answers a problem for the step, or an empty text.
  std::string launch(const std::string& app);
  std::string quit(const std::string& app);
  std::string act(const std::string& app, const std::string& action, const Value& argument);
  // The live state of a running app under each key.
  std::string observe(const std::string& app, const ValueList& keys, ValueMap& state);

  // A Darwin notification for every process, delivered before time moves on.
  void post(const std::string& name);

  // Runs every app up to the instant, in lock step: each round takes all of them to the earliest
  // deadline among them, one after the other, and delivers the notifications posted meanwhile
  // before the next round. Work at one instant may thus answer a notification posted at that
  // same instant by another app.
  void advanceTo(std::int64_t target, Progress* progress = nullptr);

  // The latest launch of the app, or nullptr.
  const AppRecord* latest(const std::string& app) const;
  std::vector<std::string> runningApps() const;
  int crashes() const;

 private:
  // Sends the command (none: waits for the start) and handles the app's events until its
  // answer; nullopt when the app ended meanwhile.
  std::optional<Answer> exchange(AppRecord& app, const FrameWriter* command);
  std::optional<Answer> take(AppRecord& app, FrameReader& frame);
  void handleSystem(AppRecord& caller, const std::string& command);
  void end(AppRecord& app, int signal, const std::string& reason);
  void reap(AppRecord& app);
  AppRecord* running(const std::string& app);
  std::string notRunning(const std::string& app) const;
  void runApp(AppRecord& app, std::int64_t instant);
  void deliverPosts();
  // --realtime: waits until the wall clock reaches the instant, showing the progress of a wait
  // that began at `from`.
  void pace(std::int64_t instant, std::int64_t from, Progress* progress) const;
  void trace(const AppRecord& app, const std::string& kind, const std::string& text);

  DeviceOptions options_;
  Trace& trace_;
  std::int64_t start_;
  std::int64_t now_;
  std::chrono::steady_clock::time_point wallStart_;  // --realtime: when time 0 was
  std::vector<std::unique_ptr<AppRecord>> apps_;     // in launch order
  std::vector<std::string> posts_;
};

}  // namespace qv::sim

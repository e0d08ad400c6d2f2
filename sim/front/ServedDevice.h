// quorvane-sim serve's device: one session, driven by a web page. Every step runs on the
// thread that calls run(), as the shell's do on its only thread; the server's threads hand
// their requests over and wait, and read what the page shows from a published view.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/devices/Catalog.h"
#include "sim/language/Scenario.h"
#include "sim/supervisor/Supervisor.h"

namespace qv::sim {

struct ServeOptions {
  RunOptions run;
  std::string device = "iPhone 6";
  std::string system;  // empty: the device's own
  int port = 8420;
};

// A request's answer: 200, or a 4xx with a one-line reason, having changed nothing.
struct Outcome {
  int status = 200;
  std::string reason;
  bool ok() const { return status == 200; }
};

// What the page shows, as of one version.
struct DeviceView {
  long version = 0;
  std::string json;  // the members of a JSON object: clock, front screen, apps, state...
  std::shared_ptr<const std::string> screen;  // the front screen as PNG; null: none to show
  std::vector<std::string> trace;             // trace lines from the index asked for, as JSON
  std::size_t traceEnd = 0;                   // the index after the last line
};

// What a page may send as a file.
enum class Upload { Clip, Settings };

class ServedDevice {
 public:
  // Sets the device up as `shell` does; raises std::runtime_error when it cannot be.
  ServedDevice(const ServeOptions& options, const host::Catalog& catalog);
  ~ServedDevice();
  ServedDevice(const ServedDevice&) = delete;
  ServedDevice& operator=(const ServedDevice&) = delete;

  // The device's thread: takes the requests until stop(), then ends the apps; answers the exit
  // status, as `run` would for the steps taken.
  int run();
  // From any thread.
  void stop();

  // From the server's threads; each waits for the device's thread, and raises what the device
  // raised.
  // One step of the scenario language, as a line of a scenario file writes it.
  Outcome step(const std::string& line);
  // A file the page chose: a clip goes to the album under `name`, a settings file replaces the
  // pane's. Both are kept in the device's uploads folder, so that a saved scenario finds them.
  Outcome upload(Upload kind, const std::string& name, const std::string& bytes);
  Outcome setRealtime(bool on);
  // The steps so far as a scenario file; empty when there is none yet.
  std::string scenario();

  // The view once it is newer than `after`, or as it is when `timeout` passes; its trace from
  // line `traceFrom` on.
  DeviceView view(long after, std::size_t traceFrom, std::chrono::milliseconds timeout);

  const host::Device& device() const { return setup_.device; }

 private:
  bool call(const std::function<void()>& job);
  Outcome takeStep(const std::string& line, bool fromPage);
  void take(const Step& step);
  void keepPace();
  void flushPace();
  std::string frontScreen();
  void publish();
  void hear(const TraceEvent& event);

  const ServeOptions& options_;
  const host::Catalog& catalog_;
  Scenario setup_;
  Trace trace_;
  std::unique_ptr<Session> session_;
  std::string screenFile_;
  std::string uploads_;

  // The device's thread alone.
  std::vector<std::string> taken_;
  int lines_ = 0;
  std::string front_;  // the app last brought to the front
  bool realtime_ = false;
  std::chrono::steady_clock::time_point paced_;  // real time: the wall clock at the last pace
  std::int64_t unsavedMs_ = 0;  // real time: virtual time passed since the last step

  // The requests waiting for the device's thread.
  struct Job;
  std::mutex jobsMutex_;
  std::condition_variable jobsReady_;
  std::deque<std::shared_ptr<Job>> jobs_;
  bool stopping_ = false;

  // The published view.
  std::mutex viewMutex_;
  std::condition_variable viewChanged_;
  long version_ = 0;
  std::string stateJson_;  // the view's members but the screen's version, to tell a change
  std::string viewJson_;
  std::shared_ptr<const std::string> screen_;
  long screenVersion_ = 0;
  std::vector<std::string> traceLines_;
  bool closed_ = false;
};

}  // namespace qv::sim

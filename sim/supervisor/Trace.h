// What the simulator tells its user: one event per line, at the virtual time it happened, from
// the process it concerns; readable text, or JSON lines. A progress line for long steps goes to
// standard error.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>

#include "sim/language/Value.h"

namespace qv::sim {

// One event as the trace shows it.
struct TraceEvent {
  double seconds;      // virtual seconds since the start
  std::string source;  // an app's name, "sim" or "settings"
  std::string kind;    // "log", "ended"...: the JSON line's event
  std::string text;
  ValueMap fields;  // JSON only
};

// The event as a line of the readable trace: "    1.250  Camera          text".
std::string traceLine(const TraceEvent& event);

class Trace {
 public:
  // `start`: the virtual instant that shows as time 0.
  Trace(std::ostream& out, bool json, std::int64_t start) : out_(out), json_(json), start_(start) {}

  // `source`: an app's name, "sim" or "settings"; `kind` names the event in JSON ("log",
  // "ended"...); `fields` go to JSON only.
  void event(std::int64_t instant, const std::string& source, const std::string& kind,
             const std::string& text, const ValueMap& fields = {});

  // An event for the listener alone, which the trace's output does not show: a line the shell
  // refused (its error is on standard error already), the turn to the run's close.
  void aside(std::int64_t instant, const std::string& source, const std::string& kind,
             const std::string& text);

  // Hears every event once it is written, and every aside (the run report gathers them).
  void listen(std::function<void(const TraceEvent&)> listener) { listener_ = std::move(listener); }

 private:
  std::ostream& out_;
  bool json_;
  std::int64_t start_;
  std::function<void(const TraceEvent&)> listener_;
};

// Progress of one long step on standard error: nothing for the first second, then one update a
// second (rewritten in place on a terminal).
class Progress {
 public:
  Progress(std::string label, double total);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  void update(double done);

 private:
  using WallClock = std::chrono::steady_clock;
  std::string label_;
  double total_;
  WallClock::time_point started_ = WallClock::now();
  WallClock::time_point shown_{};
  bool terminal_;
  bool showing_ = false;
};

}  // namespace qv::sim

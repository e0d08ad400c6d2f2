// The run report: one HTML page with everything a run showed — the description, the trace with
// each line's time and source, failures marked, every snapshot inline at the step that took it,
// and the closing summary. Pictures and style are inside the page, so it opens from the file
// system with nothing to fetch.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "sim/supervisor/Trace.h"

namespace qv::sim {

// A trace event that failed the run: a failed step or expectation, a crash, a line that could
// not be read, a summary that did not pass.
bool isFailure(const TraceEvent& event);

// The page for the events, in order. The events before the first step describe the setup; a
// "step" event, or a shell's "show" or "rejected" line, opens a part of its own; a "closing"
// aside opens the run's close. Snapshot events' PNG files are read and embedded.
std::string reportPage(const std::string& title, const std::vector<TraceEvent>& events);

class Report {
 public:
  // Opens `path` at once, so that a report that cannot be written stops the run before it
  // starts. Raises std::runtime_error.
  Report(const std::string& path, std::string title);

  void add(const TraceEvent& event) { events_.push_back(event); }
  // Gathers the trace's events and asides.
  void listenTo(Trace& trace);

  // Writes the page; false, having said why on standard error, when it cannot.
  bool write();

 private:
  std::string path_;
  std::string title_;
  std::ofstream out_;
  std::vector<TraceEvent> events_;
};

}  // namespace qv::sim

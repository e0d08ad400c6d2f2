#include "sim/supervisor/Trace.h"

#include <unistd.h>

#include <cstdio>

namespace qv::sim {

std::string traceLine(const TraceEvent& event) {
  char stamp[48];
  std::snprintf(stamp, sizeof stamp, "%9.3f  %-15s ", event.seconds, event.source.c_str());
  return stamp + event.text;
}

void Trace::event(std::int64_t instant, const std::string& source, const std::string& kind,
                  const std::string& text, const ValueMap& fields) {
  const double seconds = static_cast<double>(instant - start_) / 1e9;
  if (json_) {
    std::string line = "{\"time\": " + toJson(seconds) + ", \"source\": " + jsonString(source) +
                       ", \"event\": " + jsonString(kind) + ", \"text\": " + jsonString(text);
    for (const auto& [key, value] : fields) line += ", " + jsonString(key) + ": " + toJson(value);
    out_ << line << "}\n";
  } else {
    out_ << traceLine({seconds, source, kind, text, {}}) << '\n';
  }
  out_.flush();
  if (listener_) listener_({seconds, source, kind, text, fields});
}

void Trace::aside(std::int64_t instant, const std::string& source, const std::string& kind,
                  const std::string& text) {
  if (listener_) listener_({static_cast<double>(instant - start_) / 1e9, source, kind, text, {}});
}

Progress::Progress(std::string label, double total)
    : label_(std::move(label)), total_(total), terminal_(isatty(2) != 0) {}

Progress::~Progress() {
  if (showing_ && terminal_) std::fputc('\n', stderr);
}

void Progress::update(double done) {
  const auto now = WallClock::now();
  if (now - started_ < std::chrono::seconds(1) || now - shown_ < std::chrono::seconds(1)) return;
  shown_ = now;
  showing_ = true;
  std::fprintf(stderr, terminal_ ? "\r%s: %.1f of %.1f s\x1b[K" : "%s: %.1f of %.1f s\n",
               label_.c_str(), done, total_);
  std::fflush(stderr);
}

}  // namespace qv::sim

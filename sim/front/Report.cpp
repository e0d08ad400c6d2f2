#include "sim/front/Report.h"

#include <glib.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <iterator>
#include <memory>
#include <stdexcept>

namespace qv::sim {
namespace {

constexpr const char* kStyle = R"(
:root { --failed: #b3261e; --failed-bg: #fdecea; --passed: #1e7b34; --muted: #5f6368; }
body { font: 14px/1.45 system-ui, sans-serif; margin: 0 auto; max-width: 72rem; padding: 1rem 2rem;
  color: #202124; }
h1 { font-size: 1.5rem; margin: 0.5rem 0; }
h2 { font-size: 1rem; margin: 0; padding: 0.4rem 0.6rem; background: #f1f3f4;
  border-radius: 4px 4px 0 0; font-family: ui-monospace, monospace; }
header p { margin: 0.25rem 0; }
.device { color: var(--muted); }
.result { font-weight: bold; }
.result.passed { color: var(--passed); }
.result.failed, .failures a { color: var(--failed); }
section { margin: 1rem 0; border: 1px solid #dadce0; border-radius: 4px; }
section.show > h2 { font-weight: normal; }
section.failed { border-color: var(--failed); }
section.failed > h2 { background: var(--failed-bg); color: var(--failed); }
ol.trace { list-style: none; margin: 0; padding: 0.3rem 0.6rem;
  font: 12.5px/1.5 ui-monospace, monospace; }
.event { display: grid; grid-template-columns: 5.5rem 9rem 1fr; column-gap: 0.6rem; }
.event .time { text-align: right; color: var(--muted); }
.event .text { white-space: pre-wrap; overflow-wrap: anywhere; }
.event.failed { background: var(--failed-bg); color: var(--failed); font-weight: bold; }
.event.failed .text::before { content: "\2717  "; }
figure { grid-column: 3; margin: 0.4rem 0 0.8rem; }
figure img { max-width: 100%; max-height: 70vh; border: 1px solid #dadce0; }
figcaption { color: var(--muted); }
.missing { grid-column: 3; color: var(--failed); }
)";

struct FreeGlib {
  void operator()(gchar* text) const { g_free(text); }
};
using GlibText = std::unique_ptr<gchar, FreeGlib>;

// Text as the page shows it. Trace text can hold any bytes (file names, what apps log): bytes that
// are not UTF-8 show as U+FFFD, which also keeps the escaper within the text.
std::string escaped(const std::string& text) {
  const GlibText valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
  const GlibText escaped(g_markup_escape_text(valid.get(), -1));
  return escaped.get();
}

std::string seconds(double value) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%.3f", value);
  return stamp;
}

// The PNG a snapshot event names, as a data: URI; empty when the file cannot be read.
std::string embeddedPng(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string data{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in.is_open() || data.empty()) return "";
  const GlibText encoded(
      g_base64_encode(reinterpret_cast<const guchar*>(data.data()), data.size()));
  return std::string("data:image/png;base64,") + encoded.get();
}

const std::string* textField(const TraceEvent& event, const char* key) {
  for (const auto& [name, value] : event.fields) {
    if (name == key) return value.text();
  }
  return nullptr;
}

std::string snapshotFigure(const TraceEvent& event) {
  const std::string* file = textField(event, "file");
  if (file == nullptr) return "";
  const std::string name = file->substr(file->find_last_of('/') + 1);
  const std::string uri = embeddedPng(*file);
  if (uri.empty()) {
    return "<p class=\"missing\">the snapshot " + escaped(*file) + " cannot be read</p>";
  }
  return "<figure class=\"snapshot\"><img src=\"" + uri + "\" alt=\"snapshot " + escaped(name) +
         "\"><figcaption>" + escaped(name) + "</figcaption></figure>";
}

std::string eventItem(const TraceEvent& event) {
  std::string item = "<li class=\"event" + std::string(isFailure(event) ? " failed" : "") +
                     "\" data-kind=\"" + escaped(event.kind) + "\"><span class=\"time\">" +
                     seconds(event.seconds) + "</span><span class=\"source\">" +
                     escaped(event.source) + "</span><span class=\"text\">" + escaped(event.text) +
                     "</span>";
  if (event.kind == "snapshot") item += snapshotFigure(event);
  return item + "</li>\n";
}

bool opensPart(const TraceEvent& event) {
  return event.kind == "step" || event.kind == "show" || event.kind == "rejected";
}

// A part of the page: the setup, a step with what followed it, or the close.
struct Part {
  std::string id;
  const TraceEvent* opener;  // the step or line the part is about; null for the setup and close
  std::string heading;
  std::vector<const TraceEvent*> events;
  bool failed = false;
};

std::vector<Part> partsOf(const std::vector<TraceEvent>& events) {
  std::vector<Part> parts{{"setup", nullptr, "Setup", {}}};
  bool closing = false;
  for (const TraceEvent& event : events) {
    if (event.kind == "closing") {
      parts.push_back({"end", nullptr, "End", {}});
      closing = true;
      continue;
    }
    const bool opens = !closing && opensPart(event);
    if (opens) {
      parts.push_back({"part-" + std::to_string(parts.size()),
                       &event,
                       seconds(event.seconds) + "  " + event.text,
                       {}});
    }
    Part& part = parts.back();
    if (!opens) part.events.push_back(&event);
    part.failed = part.failed || isFailure(event);
  }
  return parts;
}

std::string partSection(const Part& part) {
  std::string html = "<section id=\"" + part.id + "\" class=\"" +
                     (part.opener ? part.opener->kind : part.id) + (part.failed ? " failed" : "") +
                     "\">\n<h2>" + escaped(part.heading) + "</h2>\n";
  if (!part.events.empty()) {
    html += "<ol class=\"trace\">\n";
    for (const TraceEvent* event : part.events) html += eventItem(*event);
    html += "</ol>\n";
  }
  return html + "</section>\n";
}

const TraceEvent* lastOfKind(const std::vector<TraceEvent>& events, const std::string& kind) {
  for (auto event = events.rbegin(); event != events.rend(); ++event) {
    if (event->kind == kind) return &*event;
  }
  return nullptr;
}

std::string headerOf(const std::string& title, const std::vector<TraceEvent>& events,
                     const std::vector<Part>& parts) {
  std::string html = "<header>\n<h1>" + escaped(title) + "</h1>\n";
  if (const TraceEvent* description = lastOfKind(events, "description")) {
    html += "<p class=\"description\">" + escaped(description->text) + "</p>\n";
  }
  if (const TraceEvent* device = lastOfKind(events, "device")) {
    html += "<p class=\"device\">" + escaped(device->text) + "</p>\n";
  }
  bool failed = false;
  std::string failures;
  for (const Part& part : parts) {
    failed = failed || part.failed;
    for (const TraceEvent* event : part.events) {
      if (!isFailure(*event) || event->kind == "summary") continue;
      failures += "<li><a href=\"#" + part.id + "\">" + escaped(event->text) + "</a></li>\n";
    }
    if (part.opener && isFailure(*part.opener)) {  // a line that could not be taken
      failures += "<li><a href=\"#" + part.id + "\">" + escaped(part.opener->text) + "</a></li>\n";
    }
  }
  const TraceEvent* summary = lastOfKind(events, "summary");
  const std::string result = summary ? summary->text : failed ? "FAILED" : "no summary";
  html += std::string("<p class=\"result ") + (failed ? "failed" : "passed") + "\">" +
          escaped(result) + "</p>\n";
  if (!failures.empty()) {
    html += "<nav class=\"failures\"><ol>\n" + failures + "</ol></nav>\n";
  }
  return html + "</header>\n";
}

}  // namespace

bool isFailure(const TraceEvent& event) {
  for (const char* kind : {"failure", "crash", "rejected"}) {
    if (event.kind == kind) return true;
  }
  if (event.kind != "expect" && event.kind != "summary") return false;
  for (const auto& [name, value] : event.fields) {
    if (name == "passed") return std::get_if<bool>(&value.data) && !std::get<bool>(value.data);
  }
  return false;
}

std::string reportPage(const std::string& title, const std::vector<TraceEvent>& events) {
  const std::vector<Part> parts = partsOf(events);
  std::string html =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>" +
      escaped(title) + " — quorvane-sim</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
  html += headerOf(title, events, parts);
  html += "<main>\n";
  for (const Part& part : parts) {
    if (part.id != "setup" || !part.events.empty()) html += partSection(part);
  }
  return html + "</main>\n</body>\n</html>\n";
}

Report::Report(const std::string& path, std::string title)
    : path_(path), title_(std::move(title)), out_(path, std::ios::binary | std::ios::trunc) {
  if (!out_) {
    throw std::runtime_error("cannot write the report " + path + ": " + std::strerror(errno));
  }
}

void Report::listenTo(Trace& trace) {
  trace.listen([this](const TraceEvent& event) { add(event); });
}

bool Report::write() {
  out_ << reportPage(title_, events_);
  out_.close();
  if (!out_) std::cerr << "quorvane-sim: cannot write the report " << path_ << '\n';
  return static_cast<bool>(out_);
}

}  // namespace qv::sim

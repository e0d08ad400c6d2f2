// CoreFoundation on the stand-in: what every target declares (CFBase.h), the constant strings,
// and the C++ side of the log and the Darwin notification center.
//
// Seams for the simulator and the tests, each with a working default: the log sink (default:
// standard error), the Darwin post handler (default: deliver in this process) and the process's
// suspension.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/CoreFoundation/CFBase.h"

// CFSTR("text"): a constant string. It is Foundation's "text"_ns, so the caller includes
// platform/Foundation/Foundation.h.
#define CFSTR(text) (reinterpret_cast<CFStringRef>(text##_ns))

namespace qv {

// Every line CFLog wrote in this process, oldest first.
std::vector<std::string> processLog();
void clearProcessLog();

// Seam: where CFLog's lines go besides the process log. The default writes each to standard
// error; an empty function restores it.
using LogSink = std::function<void(int level, const std::string& message)>;
void setLogSink(LogSink sink);

// What a library the platform uses says of itself (libav's diagnostics): never in the process
// log, which holds the lines of the platform, the apps and the tweak, but at the debug level in
// the simulator's trace. By default each goes to standard error.
void logDiagnostic(const std::string& message);

// Seam: where diagnostics go. An empty function restores standard error.
using DiagnosticSink = std::function<void(const std::string& message)>;
void setDiagnosticSink(DiagnosticSink sink);

// Seam for the simulator's supervisor, which carries a post to every process, the poster
// included: when set, posts go to the handler instead of being delivered here. An empty
// function restores local delivery.
void setDarwinPostHandler(std::function<void(const std::string& name)> handler);

// Delivers a Darwin notification that arrived from outside, as a local post does.
void deliverDarwinNotification(const std::string& name);

// While the process is suspended, each observer's behaviour decides: Drop loses the
// notification, Coalesce keeps one per name, Hold keeps each, DeliverImmediately delivers it.
// Resuming delivers what was kept, in the order it arrived.
void setProcessSuspended(bool suspended);

}  // namespace qv

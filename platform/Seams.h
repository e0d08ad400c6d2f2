// The stand-in's seams: every point where the simulator, the hosts and the tests replace what
// the platform does, each with a working default. They belong to the stand-in alone: the tweak
// builds against the port contract (port/), whose include path has no platform/ folder, so a
// tweak source that calls one fails the contract check (tests/port/) on Linux as the device
// build would fail it.
//
// The clock's pace (qv::Clock::setRealtime in platform/dispatch/Clock.h) is a seam too: it stays
// with the clock it belongs to.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace qv {

// CFLog (platform/CoreFoundation/CFLog.cpp).

// Where CFLog's lines go besides the process log. The default writes each to standard error; an
// empty function restores it.
using LogSink = std::function<void(int level, const std::string& message)>;
void setLogSink(LogSink sink);

// Where the diagnostics of the libraries the platform uses go (qv::logDiagnostic). An empty
// function restores standard error.
using DiagnosticSink = std::function<void(const std::string& message)>;
void setDiagnosticSink(DiagnosticSink sink);

// The Darwin notification center (platform/CoreFoundation/DarwinNotifyCenter.cpp).

// For the simulator's supervisor, which carries a post to every process, the poster included:
// when set, posts go to the handler instead of being delivered here. An empty function restores
// local delivery.
void setDarwinPostHandler(std::function<void(const std::string& name)> handler);

// Delivers a Darwin notification that arrived from outside, as a local post does.
void deliverDarwinNotification(const std::string& name);

// While the process is suspended, each observer's behaviour decides: Drop loses the
// notification, Coalesce keeps one per name, Hold keeps each, DeliverImmediately delivers it.
// Resuming delivers what was kept, in the order it arrived.
void setProcessSuspended(bool suspended);

// The runtime (platform/objc/Runtime.cpp).

// Which methods the running system build has. The simulator models builds that lack a host
// method by answering false here before the host makes its classes; such a method is never
// added, as if the build never had it. By default every method is made.
using MethodFilter =
    std::function<bool(std::string_view className, std::string_view selector, bool classMethod)>;
void setMethodFilter(MethodFilter keep);

// The system (platform/System/).

// Receives every command passed to qv::system and answers its exit status. An empty function
// removes the handler: commands then do nothing and succeed.
void setSystemHandler(std::function<int(const std::string& command)> handler);

// The file-system root every absolute path is resolved under (qv::fileSystemRoot). An empty path
// goes back to the default: QUORVANE_ROOT, else "/".
void setFileSystemRoot(const std::string& path);

// libMobileGestalt (platform/MobileGestalt/): the device's answers, set by the host when the app
// starts. MGGetBoolAnswer answers NO to every question until then.
void setGestaltAnswers(std::map<std::string, bool> answers);

}  // namespace qv

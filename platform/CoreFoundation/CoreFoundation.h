// CoreFoundation on the stand-in: what every target declares (port/CoreFoundation/), and the
// process log that tests and the simulator read. Its seams (the log and diagnostic sinks, the
// Darwin post handler, the process's suspension) are in platform/Seams.h.
#pragma once

#include <string>
#include <vector>

#include "port/CoreFoundation/CoreFoundation.h"

namespace qv {

// Every line CFLog wrote in this process, oldest first.
std::vector<std::string> processLog();
void clearProcessLog();

// What a library the platform uses says of itself (libav's diagnostics): never in the process
// log, which holds the lines of the platform, the apps and the tweak, but at the debug level in
// the simulator's trace. By default each goes to standard error.
void logDiagnostic(const std::string& message);

}  // namespace qv

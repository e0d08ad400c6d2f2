// quorvane-sim serve: the device of `shell` in a web page on the loopback address, touched
// with the mouse: the front screen, a home row, the clock, the trace and the state.
#pragma once

#include "host/devices/Catalog.h"
#include "sim/front/ServedDevice.h"

namespace qv::sim {

// Serves until interrupted (Ctrl-C, SIGTERM), then ends the apps; answers the exit status: that
// of `run` for the steps taken, 2 when the device cannot be set up or the port not taken.
int runServe(const ServeOptions& options, const host::Catalog& catalog);

}  // namespace qv::sim

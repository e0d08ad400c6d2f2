// The device's files as a scenario sets them up, before any app starts: the libraries, the
// settings pane, the settings file and the album's clips, each traced.
#pragma once

#include <cstdint>

#include "sim/language/Scenario.h"
#include "sim/supervisor/Sandbox.h"
#include "sim/supervisor/Supervisor.h"
#include "sim/supervisor/Trace.h"

namespace qv::sim {

// Raises std::runtime_error when the device cannot be set up.
void setUp(const Scenario& scenario, const RunOptions& options, const Sandbox& sandbox,
           Trace& trace);

// Puts the clip in the album at `instant`, for the setup and for add_clip. Raises
// std::runtime_error when a clip's file cannot be copied.
void putInAlbum(const Clip& clip, const Sandbox& sandbox, Trace& trace, std::int64_t instant);

}  // namespace qv::sim

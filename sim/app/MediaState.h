// What the app side keeps of its media steps for the observables.
#pragma once

#include <optional>

#include "host/ios8/MediaClasses.h"
#include "host/ios8/PhotosActions.h"

namespace qv::sim::app {

struct MediaState {
  std::optional<host::PlaybackPlan> playback;  // of the open clip, once played
  std::optional<host::ExportResult> exported;  // the last export
};

MediaState& mediaState();

}  // namespace qv::sim::app

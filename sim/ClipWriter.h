// Clips in the album, made as the camera would have recorded them: real QuickTime files with an
// MPEG-4 video track at the clip's frame rate, duration and size.
#pragma once

#include <filesystem>

#include "sim/Scenario.h"

namespace qv::sim {

// Raises std::runtime_error with libav's reason when the file cannot be made.
void writeClip(const std::filesystem::path& file, const Clip& clip);

}  // namespace qv::sim

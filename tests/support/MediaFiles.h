// Media files for tests, made with libav as another tool would make them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::test {

// A copy of the file's sound track alone, as a QuickTime file without video.
void writeAudioOnlyCopy(const std::string& source, const std::string& destination);

// The first `share` of the file (a file cut short), or its bytes scrambled (a corrupt file).
void writeTruncatedCopy(const std::string& source, const std::string& destination, double share);
void writeScrambledCopy(const std::string& source, const std::string& destination);

// The luma plane of every decoded video frame, in order; empty when nothing decodes.
using LumaFrame = std::vector<std::uint8_t>;
std::vector<LumaFrame> decodeLuma(const std::string& path);

// The mean absolute difference of two frames of one size.
double lumaDistance(const LumaFrame& a, const LumaFrame& b);

}  // namespace qv::test

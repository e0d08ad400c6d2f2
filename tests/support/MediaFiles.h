// Media files for tests, made with libav as another tool would make them.
#pragma once

#include <string>

namespace qv::test {

// A copy of the file's sound track alone, as a QuickTime file without video.
void writeAudioOnlyCopy(const std::string& source, const std::string& destination);

// The first `share` of the file (a file cut short), or its bytes scrambled (a corrupt file).
void writeTruncatedCopy(const std::string& source, const std::string& destination, double share);
void writeScrambledCopy(const std::string& source, const std::string& destination);

}  // namespace qv::test
